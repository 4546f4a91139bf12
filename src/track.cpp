// Tracks: the road patterns and the expansion of a compiled-in layout into one packed
// step record per unit of track length.
#include "main.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

unsigned char tlis[TLIS_ROWS][TLIS_W];

Track boulTrack, suburbTrack, ironTrack;
unsigned int* track = nullptr;
unsigned int trackSize = 0;

// ---------------------------------------------------------------------------------
// Road patterns
// ---------------------------------------------------------------------------------

namespace {

constexpr unsigned char ROAD_GREY = 8;
constexpr unsigned char WHITE = 15;
constexpr unsigned char LIGHT_RED = 12;
constexpr unsigned char RED = 4;

// A painted band across one road pattern, texels first..last inclusive.
struct Band {
    int row;
    int first, last;
    unsigned char colour;
};

// Texel 0 is the road's left edge, 511 its right edge (64 texels per road unit).
constexpr Band ROAD_BANDS[] = {
    // row 0: edge lines and the first chequer row of the start/finish line
    {0, 16, 31, WHITE},
    {0, 480, 495, WHITE},
    {0, 64, 127, WHITE},
    {0, 192, 255, WHITE},
    {0, 320, 383, WHITE},
    // row 1: edge lines and the complementary chequer row
    {1, 16, 31, WHITE},
    {1, 480, 495, WHITE},
    {1, 128, 191, WHITE},
    {1, 256, 319, WHITE},
    {1, 384, 447, WHITE},
    // row 2: plain road with edge lines
    {2, 16, 31, WHITE},
    {2, 480, 495, WHITE},
    // row 3: edge lines and the centre dash
    {3, 16, 31, WHITE},
    {3, 480, 495, WHITE},
    {3, 244, 267, WHITE},
    // rows 4 to 6: kerbs in white, light red and red
    {4, 0, 47, WHITE},
    {4, 464, 511, WHITE},
    {5, 0, 47, LIGHT_RED},
    {5, 464, 511, LIGHT_RED},
    {6, 0, 47, RED},
    {6, 464, 511, RED},
};

} // namespace

void generateTlis() {
    std::memset(tlis, ROAD_GREY, sizeof tlis);
    for (const Band& b : ROAD_BANDS)
        std::memset(&tlis[b.row][b.first], b.colour, b.last - b.first + 1);
}

// ---------------------------------------------------------------------------------
// Track expansion
// ---------------------------------------------------------------------------------

namespace {

constexpr uint8_t STRAIGHT = 0;
constexpr uint8_t CURVE = 1;

// Kerb stripes of a curve: light red, white, red, white.
constexpr unsigned char KERB_SEQUENCE[4] = {5, 4, 6, 4};

// The road pattern of step l (counted from 0 within its segment) for a marking.
unsigned int patternFor(uint8_t marking, int l) {
    switch (marking) {
    case 0:
        return 0; // first chequer row
    case 1:
        return l % 6 < 3 ? 2 : 3; // a three-step centre dash every six steps
    case 2:
        return KERB_SEQUENCE[l % 4];
    case 3:
        return 1; // second chequer row
    default:
        return 0;
    }
}

// Checks the curve angles: each within a half turn, in 5-degree units, and all of them
// together a whole number of turns. Returns TRACK_OK or the failing result code.
int validateLayout(const TrSegm* segm, unsigned short count) {
    long sum = 0;
    for (unsigned i = 0; i < count; i++) {
        if (segm[i].type != CURVE) continue;
        int v = segm[i].value;
        if (v < -180 || v > 180) return TRACK_BAD_ANGLE;
        if (v % 5 != 0) return TRACK_NOT_MULTIPLE_OF_5;
        sum += v;
    }
    // A net turn of -360 closes the loop as well as +360 does.
    return sum % 360 == 0 ? TRACK_OK : TRACK_NOT_CLOSED;
}

// Steps a segment contributes: a curve one per 5 degrees; a straight its length, less
// the whole part of a fifth of it for each curve it meets; any other type none.
long segmentSteps(const TrSegm& s, const TrSegm& prev, const TrSegm& next) {
    if (s.type == CURVE) return std::abs(s.value) / 5;
    if (s.type != STRAIGHT) return 0;
    const long q = std::abs(s.value / 5);
    long n = s.value;
    if (prev.type == CURVE) n = std::max(0L, n - q);
    if (next.type == CURVE) n = std::max(0L, n - q);
    return n;
}

// Heading change per step of a segment, which is also its curvature: a curve of positive
// angle bends left (-1, the heading decreasing), a negative one right (+1).
int curvature(const TrSegm& s) {
    if (s.type != CURVE) return 0;
    return s.value >= 0 ? -1 : 1;
}

unsigned int stepRecord(uint8_t ground, long heading, int curve, unsigned int pattern) {
    return static_cast<unsigned int>(ground) << 24 | static_cast<unsigned int>(heading) << 16 |
           static_cast<unsigned int>(static_cast<uint8_t>(curve)) << 8 | pattern;
}

} // namespace

int generateTrack(unsigned int* values, unsigned int* pos, const TrSegm* segm,
                  unsigned short count) {
    if (count == 0) return TRACK_EMPTY;
    int rc = validateLayout(segm, count);
    if (rc != TRACK_OK) return rc;

    // Heading in 5-degree units, starting ten full turns up; records keep its non-negative
    // remainder modulo a full turn, however far the layout turns.
    long heading = 720;
    for (unsigned j = 0; j < count; j++) {
        const TrSegm& s = segm[j];
        const long n = segmentSteps(s, segm[(j + count - 1) % count], segm[(j + 1) % count]);
        const int curve = curvature(s);
        for (long l = 0; l < n; l++) {
            long h = heading % HEADINGS_PER_TURN;
            if (h < 0) h += HEADINGS_PER_TURN;
            if (values)
                values[*pos] =
                    stepRecord(s.ground, h, curve, patternFor(s.marking, static_cast<int>(l)));
            ++*pos;
            heading += curve;
        }
    }
    return TRACK_OK;
}

int expandTrack(Track& t, const TrSegm* segm, unsigned short count) {
    t.steps.reset();
    t.size = 0;
    const int rc = generateTrack(nullptr, &t.size, segm, count);
    if (rc != TRACK_OK) return rc; // a failed count leaves the size at 0
    t.steps.reset(new unsigned int[t.size]);
    t.size = 0;
    return generateTrack(t.steps.get(), &t.size, segm, count);
}
