// The split-screen view renderer and the projection tables it draws from: one player's
// view is the scrolling panorama, the road row by row with curves bent in, both cars,
// the start lights, the off-road arrows and the dashboard digits.
#include "main.h"

#include "assets.h"
#include "sim.h"

#include <algorithm>
#include <cmath>
#include <cstring>

float tableZ[TABLEZ_ROWS];
Mip mips[ROAD_ROWS];
unsigned char color320[16][SCREEN_W];

namespace {

// Panorama pixels per full turn, and its scroll per road unit across, in headings.
constexpr int PANORAMA_PIXELS_PER_TURN = PANORAMA_W;
constexpr double PANORAMA_HEADINGS_PER_UNIT = 0.4;

// Projected columns are clamped to this range before they become ints: far beyond the
// view, still exact inside it, and never an out-of-range conversion.
constexpr double COLUMN_LIMIT = 1.0e6;

int clampedColumn(double v) {
    if (!(v > -COLUMN_LIMIT)) return static_cast<int>(-COLUMN_LIMIT); // also NaN
    if (v > COLUMN_LIMIT) return static_cast<int>(COLUMN_LIMIT);
    return static_cast<int>(v); // truncates toward zero
}

// The step record at trunc(p) mod N. Positions outside the loop are folded into it first,
// which gives the same record for every position the race can reach.
unsigned int stepAt(double p, unsigned int n) {
    if (n == 0) return 0;
    if (!std::isfinite(p)) p = 0;
    if (p < 0 || p >= n) {
        p = std::fmod(p, static_cast<double>(n));
        if (p < 0) p += n;
    }
    unsigned int i = static_cast<unsigned int>(p);
    return track[i < n ? i : 0];
}

// Copies picture rows first..last of a 32-wide start-light picture to the lamp position.
void drawLampBand(unsigned char* fb, const unsigned char* pic, int first, int last) {
    const ViewPos at = VIEW_LAYOUT.lights;
    drawRect(fb + first * SCREEN_W, pic + first * LIGHTS_W, LIGHTS_W, last - first + 1, at.x, at.y);
}

// Which lamps are lit in light phases 1..4: upper red, lower red, green. Phase 0 (and any
// other) means the light panel is gone.
constexpr bool LAMPS_LIT[4][3] = {
    {false, false, false}, // 1: all dark
    {true, false, false},  // 2: one red
    {true, true, false},   // 3: two red
    {false, false, true},  // 4: green, go
};
// Picture rows first..last of each lamp.
constexpr int LAMP_ROWS[3][2] = {{0, 23}, {24, 45}, {46, 69}};

void drawLights(unsigned char* fb) {
    int phase = getLights();
    if (phase < 1 || phase > 4) return;
    for (int b = 0; b < 3; ++b)
        drawLampBand(fb, LAMPS_LIT[phase - 1][b] ? lightsOnData : lightsOffData, LAMP_ROWS[b][0],
                     LAMP_ROWS[b][1]);
}

} // namespace

// ---------------------------------------------------------------------------------
// Projection tables
// ---------------------------------------------------------------------------------

void initTableZ() {
    // t is rounded to a float before the division: the table's depths depend on it.
    for (int i = 0; i < TABLEZ_ROWS; ++i) {
        float t = static_cast<float>((ROAD_TOP - HORIZON_ROW + i) * VERTICAL_SCALE / FOCAL);
        tableZ[i] = static_cast<float>(CAMERA_HEIGHT / t);
    }
}

void initMips() {
    for (int k = 0; k < ROAD_ROWS; ++k) {
        Mip& m = mips[k];
        double z = tableZ[k];
        int width =
            static_cast<int>(ROAD_EDGE / z * FOCAL) - static_cast<int>(-ROAD_EDGE / z * FOCAL);
        m.width = static_cast<uint16_t>(width);
        for (int p = 0; p < TLIS_ROWS; ++p) {
            m.texels[p].reset(new unsigned char[width]);
            for (int j = 0; j < width; ++j)
                m.texels[p][j] = tlis[p][j * TLIS_W / width];
        }
    }
}

void precompute() {
    initTableZ();
    initMips();
    initSprites();
    initBackg();
    for (int n = 0; n < 16; ++n)
        std::memset(color320[n], n, SCREEN_W);
}

// ---------------------------------------------------------------------------------
// View renderer
// ---------------------------------------------------------------------------------

float myAbs(float v) {
    return v < 0 ? -v : v;
}

void curveOffsets(const Player& me, float* xoff) {
    // Accumulated from the nearest row outwards, then pinned to zero at the own car's row.
    const float nf = static_cast<float>(trackSize);
    double bend = 0, offset = 0;
    for (int k = TABLEZ_ROWS - 1; k >= 0; --k) {
        float d = 3.0f / (k + 2);
        int curve = stepCurve(stepAt(tableZ[k] + me.z - CAM_DIST + nf, trackSize));
        if (curve == -1)
            bend += d;
        else if (curve == 1)
            bend -= d;
        offset += bend;
        xoff[k] = static_cast<float>(offset);
    }
    const float pin = xoff[OWN_ROW];
    for (int k = 0; k < TABLEZ_ROWS; ++k)
        xoff[k] -= pin;
}

void drawCars(unsigned char* fb, int clipW, int clipH, const Player& me, const Player& other,
              const SpriteSet& mine, const CarSprite& others, const float* xoff, unsigned int n) {
    // The shorter way round the loop from the own car to the other.
    const float loop = static_cast<float>(n);
    float dz = other.z - me.z;
    float g = myAbs(dz) > myAbs(dz + loop) ? dz + loop : dz;
    if (myAbs(g) > myAbs(dz - loop)) g = dz - loop;
    float zc = g + CAM_DIST;

    // Depth row of the other car, the inverse of tableZ. Below zero: not drawn; beyond 79:
    // nearer than the bottom of the road, not drawn either. A tiny depth would overflow
    // an int, so the row is clamped before the conversion.
    int k = -1;
    if (zc > 0) {
        double row = CAMERA_HEIGHT / zc * FOCAL / VERTICAL_SCALE - (ROAD_TOP - HORIZON_ROW);
        k = row >= TABLEZ_ROWS ? TABLEZ_ROWS : static_cast<int>(row);
    }

    // A pose outside -2..2 would index past the set: draw the nearest one instead.
    const Sprite* own = mine.poses[std::clamp(me.lean + 2, 0, 4)];
    bool otherVisible = k >= 0 && k < TABLEZ_ROWS;
    if (own && k > OWN_ROW)
        drawSpriteFast(fb, *own, CAR_CENTRE - own->width / 2, OWN_CAR_BOTTOM - own->height);
    if (otherVisible) {
        const Sprite& q = others.sizes[k / 4];
        int qx = clampedColumn(FOCAL * (static_cast<double>(other.x) - me.x) / zc - xoff[k]) +
                 CAR_CENTRE - q.width / 2;
        int qy = k + ROAD_TOP - q.height;
        drawSpriteSafe(fb, clipW, clipH, q, qx, qy);
    }
    if (own && k <= OWN_ROW)
        drawSpriteFast(fb, *own, CAR_CENTRE - own->width / 2, OWN_CAR_BOTTOM - own->height);

    drawLights(fb);
}

namespace {

// The panorama: PANORAMA_PIXELS_PER_TURN pixels per full turn of the car's heading, scrolled
// further by its place across the road.
void drawPanorama(unsigned char* fb, const Player& me) {
    const unsigned int n = trackSize;
    float whole = std::floor(me.z);
    float f = me.z - whole;
    unsigned int s = stepAt(static_cast<double>(whole) + n, n);
    float angle =
        static_cast<float>(stepHeading(s) + f * stepCurve(s) + PANORAMA_HEADINGS_PER_UNIT * me.x);
    // fmod gives exactly what adding a full turn until non-negative gives, without looping
    // for ever on a huge lateral position.
    if (!std::isfinite(angle)) angle = 0;
    angle = std::fmod(angle, static_cast<float>(HEADINGS_PER_TURN));
    if (angle < 0) angle += HEADINGS_PER_TURN;
    int o = static_cast<int>(std::floor(angle / HEADINGS_PER_TURN * PANORAMA_PIXELS_PER_TURN)) %
            PANORAMA_PIXELS_PER_TURN;
    for (int r = 0; r < BACKG_H; ++r)
        std::memcpy(fb + r * SCREEN_W, backg + r * BACKG_W + o, VIEW_W);
}

// Ground and road, one row each: the row's ground colour across the view, then the road
// pattern of the row's step, resampled to its depth and shifted by the bend.
void drawRoad(unsigned char* fb, const Player& me, const float* xoff) {
    const unsigned int n = trackSize;
    const float nf = static_cast<float>(n);
    for (int k = 0; k < ROAD_ROWS; ++k) {
        const float z = tableZ[k];
        unsigned int s = stepAt(z + me.z - CAM_DIST + nf, n);
        unsigned char* row = fb + (ROAD_TOP + k) * SCREEN_W;
        std::memcpy(row, color320[stepGround(s) & 15], VIEW_W);

        const Mip& m = mips[k];
        // In double, like the road widths, so that the road stays centred on its column.
        int left = clampedColumn(FOCAL * (-static_cast<double>(me.x) - ROAD_EDGE) / z - xoff[k]) +
                   ROAD_CENTRE;
        int right = std::min(left + static_cast<int>(m.width), VIEW_W);
        int srcOff = 0, start = left;
        if (left < 0) {
            srcOff = -left;
            start = 0;
        }
        if (right - start > 0)
            std::memcpy(row + start, m.texels[stepPattern(s) % TLIS_ROWS].get() + srcOff,
                        right - start);
    }
}

// Off the road, an arrow points back towards it.
void drawOffRoadArrows(unsigned char* fb, const Player& me) {
    if (me.x < -OFF_ROAD_ARROW)
        drawSpriteFast(fb, arrowRight, VIEW_LAYOUT.arrowRight.x, VIEW_LAYOUT.arrowRight.y);
    if (me.x > OFF_ROAD_ARROW)
        drawSpriteFast(fb, arrowLeft, VIEW_LAYOUT.arrowLeft.x, VIEW_LAYOUT.arrowLeft.y);
}

// Distance travelled since the start/finish line, which lies FINISH_LINE_FROM_END steps
// before the end of the loop.
float sinceLine(float z, float nf) {
    float a = z + FINISH_LINE_FROM_END + nf;
    if (a >= nf) a = std::fmod(a, nf); // same as subtracting N until below it
    return a;
}

// The lap digit and the place in the race: laps decide, then the distance since the line;
// a tie shows both players as first.
void drawDashboard(unsigned char* fb, const Player& me, const Player& other) {
    const ViewPos lap = VIEW_LAYOUT.lapDigit, place = VIEW_LAYOUT.rankDigit;
    drawRect(fb, digitData[std::clamp(me.laps, 1, 3) - 1], DIGIT_W, DIGIT_H, lap.x, lap.y);
    const float nf = static_cast<float>(trackSize);
    int rank;
    if (me.laps != other.laps)
        rank = me.laps > other.laps ? 0 : 1;
    else
        rank = sinceLine(me.z, nf) < sinceLine(other.z, nf) ? 1 : 0;
    drawRect(fb, digitData[rank], DIGIT_W, DIGIT_H, place.x, place.y);
}

// Once the race is decided for this player, the winner's or the loser's picture covers the
// dashboard.
void drawFinishPicture(unsigned char* fb, const Player& me) {
    const ViewPos at = VIEW_LAYOUT.finish;
    if (me.place == 1)
        drawRect(fb, first_d, FINISH_W, FINISH_H, at.x, at.y);
    else if (me.place == 2)
        drawRect(fb, last_d, FINISH_W, FINISH_H, at.x, at.y);
}

} // namespace

void drawProto2(unsigned char* fb, const Player& me, const Player& other, const SpriteSet& mine,
                const CarSprite& others) {
    float xoff[TABLEZ_ROWS];
    curveOffsets(me, xoff);
    drawPanorama(fb, me);
    drawRoad(fb, me, xoff);
    drawCars(fb, VIEW_W, DASHBOARD_TOP, me, other, mine, others, xoff, trackSize);
    drawOffRoadArrows(fb, me);
    drawDashboard(fb, me, other);
    drawFinishPicture(fb, me);
}
