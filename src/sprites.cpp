// Sprites: decoding the compiled-in pictures into run-encoded sprites at start-up, the
// car sizes and colour variants, the background panoramas, and the blitters.
#include "main.h"

#include "assets.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------------
// Globals
// ---------------------------------------------------------------------------------

CarSprite cars[CAR_VARIANTS];
Sprite carsL[CAR_VARIANTS], carsLL[CAR_VARIANTS], carsR[CAR_VARIANTS], carsRR[CAR_VARIANTS];
SpriteSet spriteSet[CAR_VARIANTS];
Sprite arrowLeft, arrowRight;

std::unique_ptr<unsigned char[]> backgs[3];
unsigned char* backg = nullptr;

// First road row, width and height of each car size; the other car is drawn at road row
// k with size k / 4. Widths and heights follow the road's width at that row.
const uint8_t CAR_SIZES[CAR_SIZE_COUNT][3] = {
    {0, 9, 7},    //
    {4, 13, 10},  //
    {8, 16, 13},  //
    {12, 19, 15}, //
    {16, 22, 18}, //
    {20, 26, 21}, //
    {24, 28, 23}, //
    {28, 31, 25}, //
    {32, 34, 28}, //
    {36, 38, 31}, //
    {40, 41, 34}, //
    {44, 44, 36}, //
    {48, 48, 40}, //
    {52, 51, 42}, //
    {56, 53, 44}, //
    {60, 56, 46}, //
    {64, 60, 50}, // full size, built directly from the two mirrored halves
    {68, 63, 52}, //
    {72, 66, 55}, //
    {76, 69, 57}, //
};

// Body colours of the six variants, 2 x car + player: the light shade replaces 9 and the
// dark shade 1, in the race sprites and the menu pictures alike.
//                                        skoda A,B  trabant A,B  beetle A,B
const unsigned char carColorL[CAR_VARIANTS] = {12, 11, 9, 14, 10, 13};
const unsigned char carColorD[CAR_VARIANTS] = {4, 3, 1, 14, 2, 5};

namespace {

constexpr unsigned char TRANSPARENT = 0xFF;
constexpr unsigned char DARK_SHADE = 1;
constexpr unsigned char LIGHT_SHADE = 9;
constexpr int CAR_W = 2 * CAR_HALF_W;
// Columns of a CAR_SIZES row.
constexpr int SIZE_FIRST_ROW = 0, SIZE_W = 1, SIZE_H = 2;

// The turning poses of each car: its picture for a turn and for a hard turn.
struct TurnArt {
    const signed char* turn;
    int turnW;
    const signed char* hard;
    int hardW;
};
const TurnArt TURN_ART[3] = {
    {skoda1_d, SKODA1_W, skoda2_d, SKODA2_W},
    {trabant1_d, TRABANT1_W, trabant2_d, TRABANT2_W},
    {beetle1_d, BEETLE1_W, beetle2_d, BEETLE2_W},
};
const signed char* const CAR_HALVES[3] = {skoda0_d, trabant0_d, beetle0_d};

// Releases whatever a sprite holds before it is built again.
void clearSprite(Sprite& s) {
    s.pixels.reset();
    s.runs.reset();
    s.runCount = 0;
}

// Makes s an empty w x h picture (pixels allocated, no runs yet) serving road row row.
void allocSprite(Sprite& s, int w, int h, int row) {
    clearSprite(s);
    s.width = static_cast<uint8_t>(w);
    s.height = static_cast<uint8_t>(h);
    s.row = static_cast<uint8_t>(row);
    s.pixels.reset(new unsigned char[w * h]);
}

// Counts the runs of s, allocates them and fills them in.
void buildRuns(Sprite& s) {
    s.runs.reset();
    initSpriteRun(s);
    s.runs.reset(new SpriteRun[s.runCount]);
    initSpriteRun(s);
}

unsigned char recolour(unsigned char v, unsigned char c1, unsigned char c2) {
    if (v == DARK_SHADE && c1 != TRANSPARENT) return c1;
    if (v == LIGHT_SHADE && c2 != TRANSPARENT) return c2;
    return v;
}

// Shared body of initSprite and initSpriteHflip.
void decodeSprite(Sprite& s, const signed char* src, int w, int h, unsigned char c1,
                  unsigned char c2, bool mirror) {
    allocSprite(s, w, h, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int sx = mirror ? w - 1 - x : x;
            s.pixels[y * w + x] = recolour(static_cast<unsigned char>(src[y * w + sx]), c1, c2);
        }
    }
    buildRuns(s);
}

// The full-size car: the left half and its mirror image. Both body shades are always
// replaced (every variant has real colours, so 0xFF does not mean "keep" here).
void buildFullSizeCar(Sprite& full, const signed char* half, unsigned char c1, unsigned char c2) {
    allocSprite(full, CAR_W, CAR_H, CAR_SIZES[CAR_FULL_SIZE][SIZE_FIRST_ROW]);
    for (int r = 0; r < CAR_H; ++r) {
        for (int j = 0; j < CAR_HALF_W; ++j) {
            unsigned char v = static_cast<unsigned char>(half[r * CAR_HALF_W + j]);
            if (v == DARK_SHADE)
                v = c1;
            else if (v == LIGHT_SHADE)
                v = c2;
            full.pixels[r * CAR_W + j] = v;
            full.pixels[r * CAR_W + CAR_W - 1 - j] = v;
        }
    }
}

// Car size i: each pixel is the top-left source pixel of its cell of the full picture.
void buildScaledCar(Sprite& s, const Sprite& full, int i) {
    const uint8_t* size = CAR_SIZES[i];
    allocSprite(s, size[SIZE_W], size[SIZE_H], size[SIZE_FIRST_ROW]);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            s.pixels[y * s.width + x] =
                full.pixels[(CAR_H * y / s.height) * CAR_W + CAR_W * x / s.width];
}

} // namespace

// ---------------------------------------------------------------------------------
// Decoding
// ---------------------------------------------------------------------------------

void initSpriteRun(Sprite& s) {
    s.runCount = 0;
    for (int y = 0; y < s.height; ++y) {
        const unsigned char* row = s.pixels.get() + y * s.width;
        int start = -1;
        // Column width counts as transparent, closing a run that reaches the right edge.
        for (int x = 0; x <= s.width; ++x) {
            bool opaque = x < s.width && row[x] != TRANSPARENT;
            if (opaque && start < 0) {
                start = x;
            } else if (!opaque && start >= 0) {
                if (s.runs)
                    s.runs[s.runCount] = {static_cast<uint8_t>(start), static_cast<uint8_t>(y),
                                          static_cast<uint8_t>(x - start)};
                ++s.runCount;
                start = -1;
            }
        }
    }
}

void initSprite(Sprite& s, const signed char* src, int w, int h, unsigned char c1,
                unsigned char c2) {
    decodeSprite(s, src, w, h, c1, c2, false);
}

void initSpriteHflip(Sprite& s, const signed char* src, int w, int h, unsigned char c1,
                     unsigned char c2) {
    decodeSprite(s, src, w, h, c1, c2, true);
}

void initCarSprite(CarSprite& cs, const signed char* src, unsigned char c1, unsigned char c2) {
    Sprite& full = cs.sizes[CAR_FULL_SIZE];
    buildFullSizeCar(full, src, c1, c2);
    for (int i = 0; i < CAR_SIZE_COUNT; ++i)
        if (i != CAR_FULL_SIZE) buildScaledCar(cs.sizes[i], full, i);
    for (Sprite& s : cs.sizes)
        buildRuns(s);
}

void initSpriteSet(SpriteSet* sets) {
    for (int v = 0; v < CAR_VARIANTS; ++v) {
        sets[v].poses[0] = &carsLL[v];
        sets[v].poses[1] = &carsL[v];
        sets[v].poses[2] = &cars[v].sizes[CAR_FULL_SIZE];
        sets[v].poses[3] = &carsR[v];
        sets[v].poses[4] = &carsRR[v];
    }
}

void initSprites() {
    for (int v = 0; v < CAR_VARIANTS; ++v)
        initCarSprite(cars[v], CAR_HALVES[v / 2], carColorD[v], carColorL[v]);

    initSprite(arrowLeft, arrowLeftData, ARROW_W, ARROW_H, TRANSPARENT, TRANSPARENT);
    initSpriteHflip(arrowRight, arrowLeftData, ARROW_W, ARROW_H, TRANSPARENT, TRANSPARENT);

    // The turning poses as drawn (left) and mirrored (right).
    for (int v = 0; v < CAR_VARIANTS; ++v) {
        const TurnArt& art = TURN_ART[v / 2];
        const unsigned char c1 = carColorD[v], c2 = carColorL[v];
        initSprite(carsLL[v], art.hard, art.hardW, CAR_H, c1, c2);
        initSprite(carsL[v], art.turn, art.turnW, CAR_H, c1, c2);
        initSpriteHflip(carsRR[v], art.hard, art.hardW, CAR_H, c1, c2);
        initSpriteHflip(carsR[v], art.turn, art.turnW, CAR_H, c1, c2);
    }

    initSpriteSet(spriteSet);
}

unsigned char* initBackg(const unsigned char* src) {
    unsigned char* img = new unsigned char[BACKG_W * BACKG_H];
    for (int r = 0; r < BACKG_H; ++r) {
        unsigned char* dst = img + r * BACKG_W;
        const unsigned char* row = src + r * PANORAMA_W;
        std::memcpy(dst, row, PANORAMA_W);
        // The wrapped copy lets any window of up to 160 columns be one contiguous copy.
        std::memcpy(dst + PANORAMA_W, row, BACKG_W - PANORAMA_W);
    }
    return img;
}

void initBackg() {
    backgs[0].reset(initBackg(bkg_boul_d));
    backgs[1].reset(initBackg(bkg_sub_d));
    backgs[2].reset(initBackg(bkg_iron_d));
}

// ---------------------------------------------------------------------------------
// Blitters
// ---------------------------------------------------------------------------------

void drawSpriteFast(unsigned char* fb, const Sprite& s, int x, int y) {
    for (int i = 0; i < s.runCount; ++i) {
        const SpriteRun& run = s.runs[i];
        std::memcpy(fb + (y + run.y) * SCREEN_W + x + run.x,
                    s.pixels.get() + run.y * s.width + run.x, run.length);
    }
}

void drawSpriteSafe(unsigned char* fb, int clipW, int clipH, const Sprite& s, int x, int y) {
    // 64-bit positions: a sprite placed near the int limits must not wrap back into view.
    for (int i = 0; i < s.runCount; ++i) {
        const SpriteRun& run = s.runs[i];
        long long r = static_cast<long long>(y) + run.y;
        if (r < 0 || r >= clipH) continue;
        long long start = static_cast<long long>(x) + run.x;
        long long end = std::min<long long>(start + run.length, clipW);
        long long srcCol = run.x;
        if (start < 0) {
            srcCol = run.x - start; // skip the pixels left of column 0
            start = 0;
        }
        if (end - start > 0)
            std::memcpy(fb + r * SCREEN_W + start, s.pixels.get() + run.y * s.width + srcCol,
                        static_cast<size_t>(end - start));
    }
}

void drawRect(unsigned char* fb, const unsigned char* src, int w, int h, int x, int y) {
    for (int r = 0; r < h; ++r)
        std::memcpy(fb + (y + r) * SCREEN_W + x, src + r * w, w);
}

void initialHudDraw(unsigned char* fb) {
    const ViewPos at = VIEW_LAYOUT.hud;
    drawRect(fb, hudData, HUD_W, HUD_H, at.x, at.y);
    drawRect(fb, hudData, HUD_W, HUD_H, RIGHT_VIEW_OFFSET + at.x, at.y);
}
