// Sprite decoding (runs, colour variants, mirroring, car sizes), the blitters and the
// start-up images built from the compiled-in art.
#include "main.h"

#include "assets.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr unsigned char T = 0xFF; // transparent

// A picture written as text: '.' transparent, a hex digit that colour.
std::vector<signed char> picture(const std::vector<std::string>& rows) {
    std::vector<signed char> px;
    for (const std::string& r : rows)
        for (char c : r)
            px.push_back(c == '.'
                             ? -1
                             : static_cast<signed char>(std::stoi(std::string(1, c), nullptr, 16)));
    return px;
}

struct Span {
    int x, y, length;
    bool operator==(const Span& o) const { return x == o.x && y == o.y && length == o.length; }
};
std::ostream& operator<<(std::ostream& os, const Span& r) {
    return os << "(" << r.x << ", " << r.y << ", " << r.length << ")";
}

std::vector<Span> runsOf(const Sprite& s) {
    std::vector<Span> out;
    for (int i = 0; i < s.runCount; ++i)
        out.push_back({s.runs[i].x, s.runs[i].y, s.runs[i].length});
    return out;
}

unsigned char pixel(const Sprite& s, int x, int y) {
    return s.pixels[y * s.width + x];
}

// Draws s pixel by pixel, the obvious way, as the reference for the run blitters.
void drawReference(std::vector<unsigned char>& fb, int origin, int clipW, int clipH,
                   const Sprite& s, long long x, long long y) {
    for (int sy = 0; sy < s.height; ++sy)
        for (int sx = 0; sx < s.width; ++sx) {
            long long c = x + sx, r = y + sy;
            unsigned char v = pixel(s, sx, sy);
            if (v != T && c >= 0 && c < clipW && r >= 0 && r < clipH)
                fb[origin + r * SCREEN_W + c] = v;
        }
}

constexpr unsigned char SENTINEL = 0xEE;

} // namespace

// ---------------------------------------------------------------------------------
// Span tables
// ---------------------------------------------------------------------------------

TEST(SpriteRuns, AreMaximalOpaqueSpansRowByRow) {
    struct Case {
        std::vector<std::string> rows;
        std::vector<Span> runs;
    };
    const Case cases[] = {
        {{"....."}, {}},
        {{"12345"}, {{0, 0, 5}}},
        {{"1.1"}, {{0, 0, 1}, {2, 0, 1}}},
        {{"..00", "0..0", "....", ".00."}, {{2, 0, 2}, {0, 1, 1}, {3, 1, 1}, {1, 3, 2}}},
    };
    for (const Case& c : cases) {
        std::vector<signed char> src = picture(c.rows);
        int w = static_cast<int>(c.rows[0].size()), h = static_cast<int>(c.rows.size());
        Sprite s;
        initSprite(s, src.data(), w, h, T, T);
        EXPECT_EQ(runsOf(s), c.runs) << c.rows[0];

        // The counting pass alone gives the same count and writes nothing.
        Sprite counted;
        counted.width = s.width;
        counted.height = s.height;
        counted.pixels.reset(new unsigned char[w * h]);
        std::memcpy(counted.pixels.get(), s.pixels.get(), w * h);
        initSpriteRun(counted);
        EXPECT_EQ(counted.runCount, c.runs.size());
        EXPECT_EQ(counted.runs, nullptr);
    }
}

TEST(SpriteDecode, ReplacesBodyShadesUnlessAskedToKeepThem) {
    const std::vector<signed char> src = picture({"19F.5"});
    struct Case {
        unsigned char c1, c2;
        std::vector<unsigned char> expect;
    };
    const Case cases[] = {
        {4, 12, {4, 12, 15, T, 5}},
        {T, T, {1, 9, 15, T, 5}},
        {T, 3, {1, 3, 15, T, 5}},
        {14, 14, {14, 14, 15, T, 5}},
    };
    for (const Case& c : cases) {
        Sprite s;
        initSprite(s, src.data(), 5, 1, c.c1, c.c2);
        EXPECT_EQ(std::vector<unsigned char>(s.pixels.get(), s.pixels.get() + 5), c.expect)
            << int(c.c1) << "/" << int(c.c2);
        EXPECT_EQ(s.row, 0);
    }
}

TEST(SpriteDecode, MirroredSpriteReversesEveryRowAndItsRuns) {
    const std::vector<signed char> src = picture({"1234.", "..9.."});
    Sprite s;
    initSpriteHflip(s, src.data(), 5, 2, 7, T);
    EXPECT_EQ(std::vector<unsigned char>(s.pixels.get(), s.pixels.get() + 10),
              (std::vector<unsigned char>{T, 4, 3, 2, 7, T, T, 9, T, T}));
    EXPECT_EQ(runsOf(s), (std::vector<Span>{{1, 0, 4}, {2, 1, 1}}));
}

TEST(SpriteDecode, BuildingASpriteAgainReplacesItsArrays) {
    // Under AddressSanitizer a leak of the first arrays fails this test.
    const std::vector<signed char> big = picture({"1111", "1.11"});
    const std::vector<signed char> small = picture({"2"});
    Sprite s;
    initSprite(s, big.data(), 4, 2, T, T);
    initSprite(s, small.data(), 1, 1, T, T);
    EXPECT_EQ(s.width, 1);
    EXPECT_EQ(runsOf(s), (std::vector<Span>{{0, 0, 1}}));
}

// ---------------------------------------------------------------------------------
// Blitters
// ---------------------------------------------------------------------------------

class Blitters : public ::testing::Test {
  protected:
    // Holes and a run at each edge, so that every clipping branch shows.
    void SetUp() override {
        const std::vector<signed char> src = picture({
            "12.3456.",
            "........",
            "7.89ABCD",
            "EDCBA987",
        });
        initSprite(sprite, src.data(), 8, 4, T, T);
    }
    Sprite sprite;
};

TEST_F(Blitters, SafeDrawMatchesPixelByPixelClippingAtAnyPosition) {
    // The clip rectangle sits inside a larger buffer so that a stray write shows.
    const int origin = 50 * SCREEN_W + 100, clipW = 30, clipH = 12;
    std::vector<std::pair<int, int>> positions = {
        {0, 0},
        {-5, 0},
        {-3, -2},
        {25, 10},
        {29, 0},
        {30, 0},
        {-8, 0},
        {-7, 0},
        {0, -4},
        {0, -3},
        {0, 12},
        {0, 11},
        {-9, -9},
        {40, 40},
        {INT_MIN, 0},
        {INT_MAX, 0},
        {0, INT_MIN},
        {0, INT_MAX},
        {INT_MAX, INT_MAX},
        {INT_MIN, INT_MIN},
        {INT_MAX - 3, 2},
        {INT_MIN + 3, 2},
    };
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-12, 40);
    for (int i = 0; i < 300; ++i)
        positions.push_back({coord(rng), coord(rng)});

    for (auto [x, y] : positions) {
        std::vector<unsigned char> got(SCREEN_BYTES, SENTINEL), want(SCREEN_BYTES, SENTINEL);
        drawSpriteSafe(got.data() + origin, clipW, clipH, sprite, x, y);
        drawReference(want, origin, clipW, clipH, sprite, x, y);
        ASSERT_EQ(got, want) << "at (" << x << ", " << y << ")";
    }
}

TEST_F(Blitters, SafeDrawLeftOfTheEdgeTakesPixelsFromTheCutColumnOn) {
    std::vector<unsigned char> fb(SCREEN_BYTES, SENTINEL);
    drawSpriteSafe(fb.data(), 159, 152, sprite, -5, 0);
    // Row 2 is "7.89ABCD": columns 5.. are B C D.
    EXPECT_EQ(fb[2 * SCREEN_W + 0], 0xB);
    EXPECT_EQ(fb[2 * SCREEN_W + 1], 0xC);
    EXPECT_EQ(fb[2 * SCREEN_W + 2], 0xD);
    EXPECT_EQ(fb[2 * SCREEN_W + 3], SENTINEL);
    // Row 0 "12.3456.": column 5 onward is 5 6, then transparent.
    EXPECT_EQ(fb[0], 5);
    EXPECT_EQ(fb[1], 6);
    EXPECT_EQ(fb[2], SENTINEL);
}

TEST_F(Blitters, FastDrawCopiesOnlyOpaquePixels) {
    std::vector<unsigned char> got(SCREEN_BYTES, SENTINEL), want(SCREEN_BYTES, SENTINEL);
    drawSpriteFast(got.data() + 161, sprite, 40, 100);
    drawReference(want, 161, 159, 200, sprite, 40, 100);
    EXPECT_EQ(got, want);
}

TEST(DrawRect, CopiesEveryRowOpaquelyAtTheFramebufferStride) {
    const unsigned char src[3 * 2] = {1, 2, 3, 4, 5, 6};
    std::vector<unsigned char> fb(SCREEN_BYTES, SENTINEL);
    drawRect(fb.data(), src, 3, 2, 10, 7);
    std::vector<unsigned char> want(SCREEN_BYTES, SENTINEL);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            want[(7 + r) * SCREEN_W + 10 + c] = src[r * 3 + c];
    EXPECT_EQ(fb, want);
}

// ---------------------------------------------------------------------------------
// Car sizes
// ---------------------------------------------------------------------------------

class CarSizes : public ::testing::Test {
  protected:
    // Every column of the half has its own value and rows differ with their index, so a
    // pixel taken from a neighbouring row or column shows. The last row has both shades.
    void SetUp() override {
        half.resize(CAR_HALF_W * CAR_H);
        for (int r = 0; r < CAR_H; ++r)
            for (int j = 0; j < CAR_HALF_W; ++j)
                half[r * CAR_HALF_W + j] = static_cast<signed char>(20 + j + 30 * (r % 4));
        for (int j = 0; j < CAR_HALF_W; ++j)
            half[(CAR_H - 1) * CAR_HALF_W + j] = j % 2 ? 9 : 1;
        half[0] = -1; // a transparent corner
        initCarSprite(car, half.data(), 4, 12);
    }
    unsigned char source(int j, int r) const {
        unsigned char v = static_cast<unsigned char>(half[r * CAR_HALF_W + j]);
        return v == 1 ? 4 : v == 9 ? 12 : v;
    }
    std::vector<signed char> half;
    CarSprite car;
};

TEST_F(CarSizes, FullSizeIsTheRecolouredHalfMirroredAboutTheCentre) {
    const Sprite& full = car.sizes[CAR_FULL_SIZE];
    ASSERT_EQ(full.width, 60);
    ASSERT_EQ(full.height, 50);
    EXPECT_EQ(full.row, 64);
    for (int r = 0; r < 50; ++r)
        for (int j = 0; j < 30; ++j) {
            EXPECT_EQ(pixel(full, j, r), source(j, r)) << j << "," << r;
            EXPECT_EQ(pixel(full, 59 - j, r), source(j, r)) << j << "," << r;
        }
}

TEST_F(CarSizes, SmallestSizeSamplesTheTopLeftPixelOfEachCell) {
    const Sprite& s = car.sizes[0];
    const Sprite& full = car.sizes[CAR_FULL_SIZE];
    ASSERT_EQ(s.width, 9);
    ASSERT_EQ(s.height, 7);
    const int cols[9] = {0, 6, 13, 20, 26, 33, 40, 46, 53};
    const int rows[7] = {0, 7, 14, 21, 28, 35, 42};
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            EXPECT_EQ(pixel(s, x, y), pixel(full, cols[x], rows[y])) << x << "," << y;
}

TEST_F(CarSizes, EverySizeHasItsTableGeometryAndRunsThatDrawItsPixels) {
    for (int i = 0; i < CAR_SIZE_COUNT; ++i) {
        const Sprite& s = car.sizes[i];
        EXPECT_EQ(s.row, 4 * i);
        EXPECT_EQ(s.row, CAR_SIZES[i][0]);
        EXPECT_EQ(s.width, CAR_SIZES[i][1]);
        EXPECT_EQ(s.height, CAR_SIZES[i][2]);
        std::vector<unsigned char> got(SCREEN_BYTES, SENTINEL), want(SCREEN_BYTES, SENTINEL);
        drawSpriteFast(got.data(), s, 3, 2);
        drawReference(want, 0, SCREEN_W, SCREEN_H, s, 3, 2);
        EXPECT_EQ(got, want) << "size " << i;
    }
    // Sizes grow with the road row they serve.
    for (int i = 1; i < CAR_SIZE_COUNT; ++i) {
        EXPECT_GT(CAR_SIZES[i][1], CAR_SIZES[i - 1][1]);
        EXPECT_GT(CAR_SIZES[i][2], CAR_SIZES[i - 1][2]);
    }
}

// ---------------------------------------------------------------------------------
// The game's own sprites, from the compiled-in art
// ---------------------------------------------------------------------------------

class GameSprites : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        initSprites();
        initBackg();
    }
};

TEST_F(GameSprites, ArrowHasOneRunPerRowAndItsMirrorPointsRight) {
    const std::vector<Span> left = {{5, 0, 3},  {4, 1, 4},  {3, 2, 5},  {2, 3, 6},  {1, 4, 19},
                                    {0, 5, 20}, {0, 6, 20}, {0, 7, 20}, {1, 8, 19}, {2, 9, 6},
                                    {3, 10, 5}, {4, 11, 4}, {5, 12, 3}};
    EXPECT_EQ(runsOf(arrowLeft), left);
    std::vector<Span> right;
    for (const Span& r : left)
        right.push_back({20 - r.x - r.length, r.y, r.length});
    EXPECT_EQ(runsOf(arrowRight), right);
    EXPECT_EQ(right[0], (Span{12, 0, 3}));
    EXPECT_EQ(right[4], (Span{0, 4, 19}));
}

TEST_F(GameSprites, EachLeanShowsItsVariantsCarTurningThatWayInItsColours) {
    // Dark and light body colour of each variant, 2 x car + player.
    const unsigned char colours[CAR_VARIANTS][2] = {{4, 12},  {3, 11}, {1, 9},
                                                    {14, 14}, {2, 10}, {5, 13}};
    const signed char* halves[3] = {skoda0_d, trabant0_d, beetle0_d};
    const signed char* turns[3] = {skoda1_d, trabant1_d, beetle1_d};
    const signed char* hards[3] = {skoda2_d, trabant2_d, beetle2_d};
    const int turnW[3] = {SKODA1_W, TRABANT1_W, BEETLE1_W};
    const int hardW[3] = {SKODA2_W, TRABANT2_W, BEETLE2_W};

    for (int v = 0; v < CAR_VARIANTS; ++v) {
        const int car = v / 2;
        auto paint = [&](signed char sv) {
            unsigned char u = static_cast<unsigned char>(sv);
            return u == 1 ? colours[v][0] : u == 9 ? colours[v][1] : u;
        };
        // The picture the art gives for a lean: straight ahead the half and its mirror
        // image; turning, the turn (or hard turn) as drawn for the left, mirrored for the
        // right.
        for (int lean = -2; lean <= 2; ++lean) {
            SCOPED_TRACE(testing::Message() << "variant " << v << " lean " << lean);
            const Sprite* pose = spriteSet[v].poses[lean + 2];
            ASSERT_NE(pose, nullptr);
            const signed char* src = lean == 0             ? halves[car]
                                     : std::abs(lean) == 1 ? turns[car]
                                                           : hards[car];
            const int w = lean == 0             ? 2 * CAR_HALF_W
                          : std::abs(lean) == 1 ? turnW[car]
                                                : hardW[car];
            ASSERT_EQ(pose->width, w);
            ASSERT_EQ(pose->height, CAR_H);
            for (int r = 0; r < CAR_H; ++r)
                for (int x = 0; x < w; ++x) {
                    signed char art;
                    if (lean == 0)
                        art = src[r * CAR_HALF_W + (x < CAR_HALF_W ? x : w - 1 - x)];
                    else
                        art = src[r * w + (lean < 0 ? x : w - 1 - x)];
                    ASSERT_EQ(pixel(*pose, x, r), paint(art)) << "(" << x << ", " << r << ")";
                }
        }
        // The cars are painted at all: the art uses both body shades.
        int shaded = 0;
        for (int i = 0; i < CAR_HALF_W * CAR_H; ++i)
            shaded += halves[car][i] == 1 || halves[car][i] == 9;
        EXPECT_GT(shaded, 0) << "car " << car;
    }
    // The other player's car, seen from behind, is the same straight-ahead picture.
    for (int v = 0; v < CAR_VARIANTS; ++v)
        EXPECT_EQ(0, std::memcmp(cars[v].sizes[CAR_FULL_SIZE].pixels.get(),
                                 spriteSet[v].poses[2]->pixels.get(), 2 * CAR_HALF_W * CAR_H));
}

TEST_F(GameSprites, BackgroundsRepeatTheirFirst160ColumnsAfterColumn600) {
    const unsigned char* sources[3] = {bkg_boul_d, bkg_sub_d, bkg_iron_d};
    for (int i = 0; i < 3; ++i) {
        const unsigned char* img = backgs[i].get();
        ASSERT_NE(img, nullptr);
        for (int r = 0; r < BACKG_H; ++r) {
            ASSERT_EQ(0, std::memcmp(img + r * BACKG_W, sources[i] + r * PANORAMA_W, 600));
            ASSERT_EQ(0, std::memcmp(img + r * BACKG_W + 600, img + r * BACKG_W, 160));
        }
    }
}

TEST(Dashboard, IsDrawnAtBothViewsAndNowhereElse) {
    std::vector<unsigned char> fb(SCREEN_BYTES, SENTINEL), want(SCREEN_BYTES, SENTINEL);
    initialHudDraw(fb.data());
    const ViewPos at = VIEW_LAYOUT.hud;
    for (int origin : {at.x, RIGHT_VIEW_OFFSET + at.x})
        for (int r = 0; r < HUD_H; ++r)
            std::memcpy(&want[(at.y + r) * SCREEN_W + origin], hudData + r * HUD_W, HUD_W);
    EXPECT_EQ(fb, want);
}
