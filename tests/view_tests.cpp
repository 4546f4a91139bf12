// The projection tables and the split-screen view renderer: road rows and curves, the
// panorama, both cars in depth order, lights, arrows, dashboard digits and finish
// pictures, clipping to the view, and golden pictures of whole race frames.
//
// Golden pictures live in tests/data/golden_*.png. After an intended change to the
// renderer or the art, rewrite them with
//     ZOTIK_UPDATE_GOLDEN=1 ./view_tests --gtest_filter='Golden*'
// look at them (convert -scale 200%), and commit them with the change.
#include "main.h"

#include "assets.h"
#include "doubles/fake_lights.h"
#include "indexed_png.h"
#include "sim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr unsigned char SENTINEL = 0xEE;
constexpr int FB_ROW = SCREEN_W;

unsigned int record(unsigned pattern, int curve, unsigned heading, unsigned ground) {
    return (ground << 24) | (heading << 16) | ((static_cast<unsigned>(curve) & 0xFF) << 8) |
           pattern;
}

Player player(float x, float z, int laps = 1, int lean = 0, int place = 0) {
    Player p{};
    p.x = x;
    p.z = z;
    p.laps = laps;
    p.lean = lean;
    p.place = place;
    return p;
}

// A solid w x h sprite of one colour.
void solidSprite(Sprite& s, int w, int h, unsigned char colour) {
    std::vector<signed char> px(w * h, static_cast<signed char>(colour));
    initSprite(s, px.data(), w, h, 0xFF, 0xFF);
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // inclusive
    int count = 0;
    bool empty() const { return count == 0; }
};

// Bounding box of the pixels of one colour in columns 0..width-1 of a view.
Box boxOf(const std::vector<unsigned char>& fb, unsigned char colour, int origin = 0,
          int width = VIEW_W) {
    Box b;
    for (int r = 0; r < SCREEN_H; ++r)
        for (int c = 0; c < width; ++c)
            if (fb[origin + r * FB_ROW + c] == colour) {
                b.left = std::min(b.left, c);
                b.right = std::max(b.right, c);
                b.top = std::min(b.top, r);
                b.bottom = std::max(b.bottom, r);
                ++b.count;
            }
    return b;
}

bool rectEquals(const std::vector<unsigned char>& fb, ViewPos at, const unsigned char* pic, int w,
                int h) {
    for (int r = 0; r < h; ++r)
        if (std::memcmp(&fb[(at.y + r) * FB_ROW + at.x], pic + r * w, w) != 0) return false;
    return true;
}

bool inRect(int x, int y, ViewPos at, int w, int h) {
    return x >= at.x && x < at.x + w && y >= at.y && y < at.y + h;
}

// Track steps for a test: records the test fills, installed as the current track.
class ViewTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        generateTlis();
        precompute();
    }
    void SetUp() override {
        // Tests may swap sprites for plain markers; every test starts from the real ones.
        initSprites();
        fakeLights = 0;
        backg = backgs[0].get();
        useTrack(std::vector<unsigned int>(100, record(2, 0, 0, 2)));
    }
    void useTrack(std::vector<unsigned int> steps) {
        steps_ = std::move(steps);
        track = steps_.data();
        trackSize = static_cast<unsigned int>(steps_.size());
    }
    // A compiled-in layout, expanded the way the game does.
    void useTrack(const TrSegm* segm, unsigned short count) {
        ASSERT_EQ(expandTrack(layout_, segm, count), TRACK_OK);
        track = layout_.steps.get();
        trackSize = layout_.size;
    }
    std::vector<unsigned char> render(const Player& me, const Player& other, const SpriteSet& mine,
                                      const CarSprite& others) {
        std::vector<unsigned char> fb(SCREEN_BYTES, SENTINEL);
        drawProto2(fb.data(), me, other, mine, others);
        return fb;
    }
    // A view with no cars, for looking at the road and the panorama.
    std::vector<unsigned char> renderRoad(const Player& me) {
        return render(me, player(0, me.z - 20), SpriteSet{}, noCar);
    }
    std::vector<unsigned int> steps_;
    Track layout_;
    CarSprite noCar;
};

// The road row k as it should look: ground, then the pattern from column left on.
std::vector<unsigned char> expectedRoadRow(int k, int left, unsigned pattern,
                                           unsigned char ground) {
    std::vector<unsigned char> row(VIEW_W, ground);
    const Mip& m = mips[k];
    for (int i = 0; i < m.width; ++i) {
        int c = left + i;
        if (c >= 0 && c < VIEW_W) row[c] = m.texels[pattern][i];
    }
    return row;
}

std::vector<unsigned char> viewRow(const std::vector<unsigned char>& fb, int r) {
    return std::vector<unsigned char>(fb.begin() + r * FB_ROW, fb.begin() + r * FB_ROW + VIEW_W);
}

} // namespace

// ---------------------------------------------------------------------------------
// Projection tables
// ---------------------------------------------------------------------------------

TEST_F(ViewTest, DepthTableMatchesTheCameraAtItsKeyRows) {
    EXPECT_EQ(tableZ[0], 22.222223f);
    EXPECT_EQ(tableZ[64], 3.5087721f);
    EXPECT_EQ(tableZ[71], 3.2128515f);
    EXPECT_EQ(tableZ[79], 2.930403f);
    for (int i = 1; i < TABLEZ_ROWS; ++i)
        EXPECT_LT(tableZ[i], tableZ[i - 1]);
}

TEST_F(ViewTest, RoadRowsSpanTheProjectedRoadAtTheirDepth) {
    for (int k = 0; k < ROAD_ROWS; ++k) {
        // The road's edges at this depth, each cut to a whole pixel towards the centre.
        const double exact = 2 * FOCAL * ROAD_EDGE / tableZ[k];
        EXPECT_LE(mips[k].width, exact) << "row " << k;
        EXPECT_GT(mips[k].width, exact - 2) << "row " << k;
        EXPECT_EQ(mips[k].width % 2, 0) << "row " << k << " is not symmetric about the centre";
        if (k > 0) {
            EXPECT_GE(mips[k].width, mips[k - 1].width) << "row " << k;
        }
    }
    // The farthest row shows the whole road inside the view, the nearest fits the screen.
    EXPECT_EQ(mips[0].width, 46);
    EXPECT_EQ(mips[ROAD_ROWS - 1].width, 318);
    // Where the exact edge falls on a whole pixel, the single-precision depth of tableZ puts
    // it just inside: widths worked out from exact depths would be two wider here.
    EXPECT_EQ(mips[13].width, 94);
    EXPECT_EQ(mips[38].width, 190);
    EXPECT_EQ(mips[63].width, 286);
}

TEST_F(ViewTest, ResampledPatternsStartAtTheRoadEdgeAndKeepTheirMarkings) {
    for (int k = 0; k < ROAD_ROWS; ++k)
        for (int p = 0; p < TLIS_ROWS; ++p) {
            EXPECT_EQ(mips[k].texels[p][0], tlis[p][0]);
            // Kerbs reach the far edge too.
            if (p >= 4) {
                EXPECT_EQ(mips[k].texels[p][mips[k].width - 1], tlis[p][511]);
            }
        }
    // The farthest row: edge lines and the centre dash survive at 46 pixels.
    std::vector<unsigned char> row0(mips[0].texels[3].get(), mips[0].texels[3].get() + 46);
    std::vector<unsigned char> want(46, 8);
    for (int j : {2, 22, 23, 24, 44})
        want[j] = 15;
    EXPECT_EQ(row0, want);
}

TEST_F(ViewTest, GroundOfAnyColourFillsTheWholeRowBesideTheRoad) {
    arrowLeft = Sprite{}; // off the road to the right, but only the ground is looked at here
    for (unsigned ground = 0; ground < 32; ++ground) { // the high bits are no colour
        useTrack(std::vector<unsigned int>(100, record(2, 0, 0, ground)));
        auto fb = renderRoad(player(100, 50)); // the road far off to the side
        for (int k = 0; k < ROAD_ROWS; ++k)
            ASSERT_EQ(viewRow(fb, ROAD_TOP + k),
                      std::vector<unsigned char>(VIEW_W, static_cast<unsigned char>(ground & 15)))
                << "ground " << ground << " row " << k;
    }
}

// ---------------------------------------------------------------------------------
// Road and ground
// ---------------------------------------------------------------------------------

TEST_F(ViewTest, StraightRoadIsCentredAndClippedToTheView) {
    // Ground byte 0x12: only its low four bits are a colour.
    useTrack(std::vector<unsigned int>(100, record(3, 0, 0, 0x12)));
    auto fb = renderRoad(player(0, 50));
    EXPECT_EQ(viewRow(fb, 80), expectedRoadRow(0, 56, 3, 2)); // columns 56..101
    // The own car's row is wider than the view: it starts 66 pixels into the pattern.
    std::vector<unsigned char> row64 = viewRow(fb, 144);
    const unsigned char* pattern = mips[64].texels[3].get();
    EXPECT_EQ(row64, std::vector<unsigned char>(pattern + 66, pattern + 66 + VIEW_W));
    for (int k = 0; k < ROAD_ROWS; ++k) {
        const int half = mips[k].width / 2;
        EXPECT_EQ(viewRow(fb, 80 + k), expectedRoadRow(k, 79 - half, 3, 2)) << "row " << k;
    }
}

TEST_F(ViewTest, CurveOffsetsBendTheFarRoadAndVanishAtTheOwnCar) {
    struct Case {
        int curve;
        float sign;
    };
    const int keys[] = {0, 10, 40, 63, 64, 65, 71, 79};
    const double values[] = {222.684, 140.005, 31.605, 0.702, 0, -0.656, -3.658, -5.346};
    for (Case c : {Case{-1, 1.0f}, Case{1, -1.0f}, Case{0, 0.0f}}) {
        useTrack(std::vector<unsigned int>(100, record(2, c.curve, 0, 2)));
        float xoff[TABLEZ_ROWS];
        curveOffsets(player(0, 37.25f), xoff);
        for (int i = 0; i < 8; ++i)
            EXPECT_NEAR(xoff[keys[i]], c.sign * values[i], 1e-3) << c.curve << " row " << keys[i];
    }
}

TEST_F(ViewTest, CurvesOnlyBendTheRowsBeyondThem) {
    // A straight under the camera, a left bend from step 60 on: rows that show steps before
    // 60 are not bent relative to each other.
    std::vector<unsigned int> steps(100, record(2, 0, 0, 2));
    for (int i = 60; i < 100; ++i)
        steps[i] = record(2, -1, 0, 2);
    useTrack(steps);
    float xoff[TABLEZ_ROWS];
    curveOffsets(player(0, 50), xoff);
    for (int k = 0; k < TABLEZ_ROWS; ++k) {
        const bool beyond = tableZ[k] + 50 - CAM_DIST >= 60;
        if (beyond) {
            EXPECT_GT(xoff[k], 0.0f) << k;
        } else {
            EXPECT_EQ(xoff[k], 0.0f) << k;
        }
    }
}

TEST_F(ViewTest, RoadLeftEdgeFollowsTheCurveOffsets) {
    // With the car on the left edge the road starts at 79 - trunc(xoff): truncation toward
    // zero, and rows bent out of the view start inside the pattern.
    useTrack(std::vector<unsigned int>(100, record(2, -1, 0, 6)));
    const Player me = player(-4, 20);
    float xoff[TABLEZ_ROWS];
    curveOffsets(me, xoff);
    auto fb = renderRoad(me);
    for (int k = 0; k < ROAD_ROWS; ++k) {
        const int left = 79 - static_cast<int>(xoff[k]);
        EXPECT_EQ(viewRow(fb, 80 + k), expectedRoadRow(k, left, 2, 6)) << "row " << k;
    }
    EXPECT_EQ(79 - static_cast<int>(xoff[65]), 79); // -0.656 truncates to 0
    EXPECT_EQ(79 - static_cast<int>(xoff[71]), 82);
}

TEST_F(ViewTest, EachRowShowsTheStepAtItsDepth) {
    // Ground colour = step index mod 16 tells which step a row came from.
    std::vector<unsigned int> steps(100);
    for (unsigned i = 0; i < 100; ++i)
        steps[i] = record(i % 7, 0, 0, i % 16);
    useTrack(steps);
    struct Case {
        float z;
        int k;
        unsigned step;
    };
    const Case cases[] = {
        {10.5f, 0, 29},  // 22.22 - 3.51 steps ahead of the car
        {10.5f, 64, 10}, // the own car's row is its own step
        {10.5f, 71, 10}, // just behind the car, still the same step
        {10.2f, 71, 9},  // ... or the one before
        {-5.0f, 64, 95}, // the start position wraps to the end of the loop
        {99.9f, 0, 18},  // beyond the end of the loop
    };
    for (const Case& c : cases) {
        auto fb = renderRoad(player(100, c.z)); // road far off to the side: ground only
        EXPECT_EQ(fb[(80 + c.k) * FB_ROW], c.step % 16) << "z " << c.z << " row " << c.k;
        EXPECT_EQ(fb[(80 + c.k) * FB_ROW + 158], c.step % 16);
    }
    // And the pattern comes from that step too.
    auto fb = renderRoad(player(0, 10.5f));
    EXPECT_EQ(viewRow(fb, 80), expectedRoadRow(0, 56, 29 % 7, 29 % 16));
}

TEST_F(ViewTest, LapBoundaryDrawsTwoChequerRowsOfOppositePhase) {
    std::vector<unsigned int> steps(100, record(2, 0, 0, 2));
    steps[99] = record(1, 0, 0, 2);
    steps[0] = record(0, 0, 0, 2);
    useTrack(steps);
    auto fb = renderRoad(player(0, 97.5f));
    std::vector<int> found;
    for (int k = 0; k < ROAD_ROWS; ++k) {
        auto row = viewRow(fb, 80 + k);
        for (unsigned p : {0u, 1u})
            if (row == expectedRoadRow(k, 79 - mips[k].width / 2, p, 2)) found.push_back(p);
    }
    // Nearer rows (larger k) show the last step (pattern 1) first, then step 0 beyond.
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.front(), 0);
    EXPECT_EQ(found.back(), 1);
}

// ---------------------------------------------------------------------------------
// Panorama
// ---------------------------------------------------------------------------------

TEST_F(ViewTest, PanoramaScrollsWithHeadingCurveAndLateralPosition) {
    // Random bytes: every window of the panorama is distinct.
    std::vector<unsigned char> pano(PANORAMA_W * PANORAMA_H);
    std::mt19937 rng(5);
    for (unsigned char& v : pano)
        v = static_cast<unsigned char>(rng());
    std::unique_ptr<unsigned char[]> img(initBackg(pano.data()));
    backg = img.get();

    struct Case {
        unsigned heading;
        int curve;
        float z, x;
        int column;
    };
    const Case cases[] = {
        {0, 0, 5.0f, 0, 0},
        {36, 0, 5.0f, 0, 300},
        {1, -1, 5.5f, 0, 4},
        {10, 1, 5.25f, 0, 85},
        {0, 0, 5.0f, -1, 596},
        {0, 0, 5.0f, 1, 3},
        {71, 0, 5.0f, 2.5f, 0},
        /* a full turn */ {0, 0, 5.0f, -180.5f, 598},
        {0, 0, 5.0f, 1e30f, -1},
        {0, 0, 5.0f, -1e30f, -1},
        {0, 0, 5.0f, std::numeric_limits<float>::infinity(), -1},
    };
    for (const Case& c : cases) {
        useTrack(std::vector<unsigned int>(100, record(2, c.curve, c.heading, 2)));
        auto fb = renderRoad(player(c.x, c.z));
        int column = -1;
        for (int o = 0; o < PANORAMA_W && column < 0; ++o)
            if (std::memcmp(&fb[0], img.get() + o, VIEW_W) == 0) column = o;
        ASSERT_GE(column, 0) << "no panorama window found, x " << c.x;
        if (c.column >= 0) {
            EXPECT_EQ(column, c.column) << "heading " << c.heading << " x " << c.x;
        }
        for (int r = 0; r < BACKG_H; ++r)
            ASSERT_EQ(0, std::memcmp(&fb[r * FB_ROW], img.get() + r * BACKG_W + column, VIEW_W));
    }
}

// ---------------------------------------------------------------------------------
// Cars
// ---------------------------------------------------------------------------------

class CarPlacement : public ViewTest {
  protected:
    static constexpr unsigned char OWN = 0xA0, OTHER = 0xB0;
    void SetUp() override {
        ViewTest::SetUp();
        solidSprite(own, 60, 50, OWN);
        for (const Sprite*& p : mine.poses)
            p = &own;
        std::vector<signed char> half(CAR_HALF_W * CAR_H, static_cast<signed char>(OTHER));
        initCarSprite(other, half.data(), 4, 12);
    }
    Sprite own;
    SpriteSet mine;
    CarSprite other;
};

TEST_F(CarPlacement, OtherCarRowSizeAndDepthOrder) {
    struct Case {
        float dz, dx, xoff;
        int size; // -1: not drawn
        int qx, qy;
        bool otherOnTop;
    };
    const float n = 100;
    const Case cases[] = {
        {0, 1, 0, 16, 86, 94, false},               // level: row 64, the own car covers it
        {-0.06f, 1, 0, 16, 87, 95, true},           // just behind: row 65, drawn over the own car
        {10, 0, 0, 1, 74, 77, true},                // ten steps ahead: row 7, 13 x 10
        {10, 0, 10.6f, 1, 64, 77, true},            // a bend shifts it left by trunc(10.6)
        {10 - n, 0, 0, 1, 74, 77, true},            // ahead across the end of the loop
        {-0.57f, 0, 0, 19, 46, 101, true},          // row 78, the largest size, cut at row 151
        {-4, 0, 0, -1, 0, 0, false},                // behind the camera
        {n / 2 + 1, 0, 0, -1, 0, 0, false},         // more than half a lap ahead counts as behind
        {-CAM_DIST + 1e-6f, 0, 0, -1, 0, 0, false}, // at the camera: beyond the last row
        {-0.62f, 0, 0, -1, 0, 0, false},            // row 80, just below the road
    };
    for (const Case& c : cases) {
        float xoff[TABLEZ_ROWS];
        for (float& v : xoff)
            v = c.xoff;
        const Player me = player(0.5f, 40), them = player(0.5f + c.dx, 40 + c.dz);
        std::vector<unsigned char> fb(SCREEN_BYTES, SENTINEL);
        drawCars(fb.data(), VIEW_W, DASHBOARD_TOP, me, them, mine, other, xoff,
                 static_cast<unsigned>(n));

        Box o = boxOf(fb, OWN);
        EXPECT_EQ(o.left, 50);
        EXPECT_EQ(o.top, 94);
        Box b = boxOf(fb, OTHER);
        if (c.size < 0) {
            EXPECT_TRUE(b.empty()) << "dz " << c.dz;
            EXPECT_EQ(o.count, 60 * 50);
            continue;
        }
        const int w = CAR_SIZES[c.size][1], h = CAR_SIZES[c.size][2];
        const int bottom = std::min(c.qy + h - 1, 151);
        ASSERT_FALSE(b.empty()) << "dz " << c.dz;
        EXPECT_EQ(b.right, c.qx + w - 1) << "dz " << c.dz;
        EXPECT_EQ(b.bottom, bottom) << "dz " << c.dz;
        if (c.otherOnTop) {
            EXPECT_EQ(b.left, c.qx) << "dz " << c.dz;
            EXPECT_EQ(b.top, c.qy) << "dz " << c.dz;
            EXPECT_EQ(b.count, w * (bottom - c.qy + 1)) << "dz " << c.dz;
        } else {
            EXPECT_EQ(o.count, 60 * 50) << "dz " << c.dz; // the own car is whole
            EXPECT_LT(b.count, w * h);
        }
        // Nothing below the road.
        for (int r = DASHBOARD_TOP; r < SCREEN_H; ++r)
            for (int col = 0; col < SCREEN_W; ++col)
                ASSERT_EQ(fb[r * FB_ROW + col], SENTINEL);
    }
}

TEST_F(CarPlacement, OwnCarPoseFollowsLeanAndStandsOnRow143) {
    Sprite poses[5];
    const int widths[5] = {86, 66, 60, 64, 74};
    const int heights[5] = {50, 49, 50, 48, 50};
    SpriteSet set;
    for (int i = 0; i < 5; ++i) {
        solidSprite(poses[i], widths[i], heights[i], static_cast<unsigned char>(0xC0 + i));
        set.poses[i] = &poses[i];
    }
    for (int lean = -2; lean <= 2; ++lean) {
        std::vector<unsigned char> fb(SCREEN_BYTES, SENTINEL);
        float xoff[TABLEZ_ROWS] = {};
        drawCars(fb.data(), VIEW_W, DASHBOARD_TOP, player(0, 10, 1, lean), player(0, 60), set,
                 other, xoff, 100);
        const int i = lean + 2;
        Box b = boxOf(fb, static_cast<unsigned char>(0xC0 + i));
        EXPECT_EQ(b.left, 80 - widths[i] / 2) << lean;
        EXPECT_EQ(b.bottom, 143) << lean;
        EXPECT_EQ(b.count, widths[i] * heights[i]) << lean;
    }
}

TEST_F(CarPlacement, NothingIsDrawnOutsideTheViewWhateverThePositions) {
    // Whole views drawn from random and extreme positions, with the real sprites, into a
    // framebuffer whose other half is a sentinel; the divider columns must stay untouched.
    std::vector<unsigned int> steps(745);
    for (unsigned i = 0; i < steps.size(); ++i)
        steps[i] = record(i % 7, (i / 40) % 3 - 1, i % 72, 2 + i % 3);
    useTrack(steps);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float extremes[] = {0,     1e-30f, -1e-30f, 3.9f,  -3.9f,  12.01f, -12.01f, 1e4f,
                              -1e4f, 1e9f,   -1e9f,   3e38f, -3e38f, inf,    -inf,    nan};
    std::mt19937 rng(2026);
    std::uniform_real_distribution<float> lateral(-30, 30), along(-5, 745);
    std::uniform_int_distribution<int> pick(0, 15), coin(0, 3), lap(0, 5), lean(-2, 2);
    auto lateralValue = [&] { return coin(rng) ? lateral(rng) : extremes[pick(rng)]; };

    for (int i = 0; i < 3000; ++i) {
        Player me = player(lateralValue(), along(rng), lap(rng), lean(rng));
        float dz;
        switch (coin(rng)) {
        case 0:
            dz = -CAM_DIST + std::ldexp(1.0f, -(i % 40));
            break; // tiny depths
        case 1:
            dz = extremes[pick(rng)];
            break;
        default:
            dz = std::uniform_real_distribution<float>(-12, 30)(rng);
        }
        Player them = player(lateralValue(), me.z + dz, lap(rng));
        if (i % 50 == 0) me.z = extremes[pick(rng)];
        fakeLights = i % 6;

        const bool right = i % 2;
        const int origin = right ? RIGHT_VIEW_OFFSET : 0;
        std::vector<unsigned char> fb(SCREEN_BYTES, SENTINEL);
        drawProto2(fb.data() + origin, me, them, spriteSet[i % 6], cars[(i + 3) % 6]);
        for (int r = 0; r < SCREEN_H; ++r)
            for (int c = 0; c < SCREEN_W; ++c) {
                const bool inView = c >= origin && c < origin + VIEW_W;
                const int vc = c - origin;
                const bool digit = inRect(vc, r, VIEW_LAYOUT.lapDigit, DIGIT_W, DIGIT_H) ||
                                   inRect(vc, r, VIEW_LAYOUT.rankDigit, DIGIT_W, DIGIT_H);
                const bool drawn = inView && (r < DASHBOARD_TOP || digit);
                if (!drawn) {
                    ASSERT_EQ(fb[r * FB_ROW + c], SENTINEL)
                        << "(" << c << ", " << r << ") me.x " << me.x << " me.z " << me.z
                        << " other.x " << them.x << " other.z " << them.z;
                } else {
                    ASSERT_LT(fb[r * FB_ROW + c], 16) << "(" << c << ", " << r << ")";
                }
            }
    }
}

// ---------------------------------------------------------------------------------
// Lights, arrows, digits, finish
// ---------------------------------------------------------------------------------

TEST_F(ViewTest, StartLightsShowTheLampsOfEachPhase) {
    const Player me = player(0, 30), other = player(2, 40);
    fakeLights = 0;
    const auto base = render(me, other, spriteSet[0], cars[1]);
    const ViewPos at = VIEW_LAYOUT.lights;
    // Lamps lit per phase: upper red, lower red, green.
    const int bands[3][2] = {{0, 24}, {24, 46}, {46, 70}};
    struct Case {
        int phase;
        bool drawn;
        bool lit[3];
    };
    const Case cases[] = {
        {0, false, {}},
        {1, true, {false, false, false}},
        {2, true, {true, false, false}},
        {3, true, {true, true, false}},
        {4, true, {false, false, true}},
        {5, false, {}},
        {-1, false, {}},
    };
    for (const Case& c : cases) {
        fakeLights = c.phase;
        auto fb = render(me, other, spriteSet[0], cars[1]);
        if (!c.drawn) {
            EXPECT_EQ(fb, base) << "phase " << c.phase;
            continue;
        }
        for (int b = 0; b < 3; ++b) {
            const unsigned char* pic = c.lit[b] ? lightsOnData : lightsOffData;
            for (int r = bands[b][0]; r < bands[b][1]; ++r)
                ASSERT_EQ(
                    0, std::memcmp(&fb[(at.y + r) * FB_ROW + at.x], pic + r * LIGHTS_W, LIGHTS_W))
                    << "phase " << c.phase << " picture row " << r;
        }
        // Nothing else changes.
        for (int r = 0; r < SCREEN_H; ++r)
            for (int col = 0; col < SCREEN_W; ++col)
                if (!inRect(col, r, at, LIGHTS_W, LIGHTS_H)) {
                    ASSERT_EQ(fb[r * FB_ROW + col], base[r * FB_ROW + col]);
                }
    }
    // The two pictures differ in every lamp, or the phases could not be told apart.
    for (int b = 0; b < 3; ++b)
        EXPECT_NE(0, std::memcmp(lightsOnData + bands[b][0] * 32, lightsOffData + bands[b][0] * 32,
                                 (bands[b][1] - bands[b][0]) * 32));
}

TEST_F(ViewTest, OffRoadArrowPointsBackToTheRoad) {
    solidSprite(arrowLeft, 20, 13, 0xE1);
    solidSprite(arrowRight, 20, 13, 0xE2);
    struct Case {
        float x;
        unsigned char shown; // 0: none
        int left;
    };
    const ViewPos right = VIEW_LAYOUT.arrowRight, left = VIEW_LAYOUT.arrowLeft;
    const Case cases[] = {
        {-12.5f, 0xE2, right.x}, {12.5f, 0xE1, left.x}, {-12, 0, 0}, {12, 0, 0}, {0, 0, 0},
        {-1e30f, 0xE2, right.x}};
    for (const Case& c : cases) {
        auto fb = render(player(c.x, 30), player(0, 10), spriteSet[0], cars[1]);
        Box l = boxOf(fb, 0xE1), r = boxOf(fb, 0xE2);
        if (c.shown == 0) {
            EXPECT_TRUE(l.empty() && r.empty()) << c.x;
            continue;
        }
        Box b = c.shown == 0xE1 ? l : r;
        EXPECT_TRUE((c.shown == 0xE1 ? r : l).empty()) << c.x;
        EXPECT_EQ(b.left, c.left) << c.x;
        EXPECT_EQ(b.top, c.shown == 0xE1 ? left.y : right.y) << c.x;
        EXPECT_EQ(b.count, 20 * 13) << c.x;
    }
}

TEST_F(ViewTest, DashboardShowsLapAndRaceRank) {
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            ASSERT_NE(0, std::memcmp(digitData[i], digitData[j], DIGIT_W * DIGIT_H));
    struct Case {
        int laps, otherLaps;
        float z, otherZ;
        int lapDigit, rankDigit;
    };
    const float n = 100;
    const Case cases[] = {
        {0, 0, -5, -5, 1, 1},          // on the grid both are first
        {4, 3, 10, 50, 3, 1},          // laps decide before distance
        {2, 3, 90, 10, 2, 2},          //
        {2, 2, 30, 31, 2, 2},          // same lap: the one further on leads
        {2, 2, 31, 30, 2, 1},          //
        {2, 2, n - 3, n - 5, 2, 2},    // just past the line vs just before it: a lap behind
        {1, 1, n - 5, n - 4.5f, 1, 2}, // both before the line on the first lap
        {3, 3, 40, 40, 3, 1},          // a tie shows first
    };
    const ViewPos lap = VIEW_LAYOUT.lapDigit, rank = VIEW_LAYOUT.rankDigit;
    for (const Case& c : cases) {
        Player me = player(0, c.z, c.laps), other = player(2, c.otherZ, c.otherLaps);
        auto fb = render(me, other, spriteSet[0], cars[1]);
        EXPECT_TRUE(rectEquals(fb, lap, digitData[c.lapDigit - 1], DIGIT_W, DIGIT_H))
            << "laps " << c.laps;
        EXPECT_TRUE(rectEquals(fb, rank, digitData[c.rankDigit - 1], DIGIT_W, DIGIT_H))
            << "laps " << c.laps << "/" << c.otherLaps << " z " << c.z << "/" << c.otherZ;
    }
}

TEST_F(ViewTest, FinishPictureCoversTheDashboardOnceThePlaceIsKnown) {
    for (int place : {0, 1, 2}) {
        auto fb = render(player(0, 30, 4, 0, place), player(0, 20, 3), spriteSet[0], cars[1]);
        if (place == 0) {
            EXPECT_EQ(fb[DASHBOARD_TOP * FB_ROW], SENTINEL);
            EXPECT_TRUE(rectEquals(fb, VIEW_LAYOUT.lapDigit, digitData[2], DIGIT_W, DIGIT_H));
        } else {
            EXPECT_TRUE(rectEquals(fb, VIEW_LAYOUT.finish, place == 1 ? first_d : last_d, FINISH_W,
                                   FINISH_H))
                << place;
        }
    }
}

// ---------------------------------------------------------------------------------
// Golden pictures of whole race frames
// ---------------------------------------------------------------------------------

namespace {

struct RaceScene {
    const char* name;
    int track; // 0 boul, 1 suburb, 2 iron
    int carA, carB;
    Player a, b;
    int lights;
};

void PrintTo(const RaceScene& scene, std::ostream* os) {
    *os << scene.name;
}

class Golden : public ViewTest, public ::testing::WithParamInterface<RaceScene> {};

} // namespace

TEST_P(Golden, RaceFrameMatchesTheCommittedPicture) {
    const RaceScene& scene = GetParam();
    static const TrSegm* const segms[3] = {boulSegm, suburbSegm, ironSegm};
    static const unsigned short counts[3] = {BOUL_SEGMENTS, SUBURB_SEGMENTS, IRON_SEGMENTS};
    useTrack(segms[scene.track], counts[scene.track]);
    backg = backgs[scene.track].get();
    fakeLights = scene.lights;

    // As the race loop draws a frame.
    std::vector<unsigned char> fb(SCREEN_BYTES, 0);
    initialHudDraw(fb.data());
    drawProto2(fb.data(), scene.a, scene.b, spriteSet[2 * scene.carA], cars[2 * scene.carB + 1]);
    drawProto2(fb.data() + RIGHT_VIEW_OFFSET, scene.b, scene.a, spriteSet[2 * scene.carB + 1],
               cars[2 * scene.carA]);
    for (unsigned char v : fb)
        ASSERT_LT(v, 16);

    const std::string path = std::string(ZOTIK_TEST_DATA) + "/golden_" + scene.name + ".png";
    const char* update = std::getenv("ZOTIK_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        ASSERT_TRUE(writeIndexedPng(path, fb.data(), SCREEN_W, SCREEN_H)) << path;
        GTEST_SKIP() << "rewrote " << path;
    }
    int w = 0, h = 0;
    std::vector<unsigned char> want;
    std::string why;
    ASSERT_TRUE(readIndexedPng(path, w, h, want, why))
        << path << ": " << why << "; make it with ZOTIK_UPDATE_GOLDEN=1";
    ASSERT_EQ(w, SCREEN_W);
    ASSERT_EQ(h, SCREEN_H);

    int differ = 0, first = -1;
    for (int i = 0; i < SCREEN_BYTES; ++i)
        if (fb[i] != want[i]) {
            if (first < 0) first = i;
            ++differ;
        }
    if (differ) {
        const std::string actual = std::string("golden_") + scene.name + ".actual.png";
        writeIndexedPng(actual, fb.data(), SCREEN_W, SCREEN_H);
        FAIL() << differ << " pixels differ from " << path << ", first at (" << first % SCREEN_W
               << ", " << first / SCREEN_W << "); this frame is in " << actual
               << "; if the change is intended, rewrite the goldens with ZOTIK_UPDATE_GOLDEN=1";
    }
}

INSTANTIATE_TEST_SUITE_P(
    RaceFrames, Golden,
    ::testing::Values(
        // On the grid, one red lamp lit: skoda against beetle on the boulevard.
        RaceScene{"grid", 0, 0, 2, player(-2, -5, 0), player(2, -5, 0), 2},
        // Into the iron track's 90-degree left bend: the trabant turning, the beetle
        // ahead and to the right, turning hard, already in the kerbs' part of the bend.
        RaceScene{"chase", 2, 1, 2, player(-0.8f, 211.4f, 2, -1), player(1.3f, 217.2f, 2, -2), 0},
        // Suburb, the race decided: the winner on the road, the loser off it to the right.
        RaceScene{"finish", 1, 2, 0, player(0.4f, 120.6f, 4, 0, 1), player(13.2f, 112.3f, 3, 2, 2),
                  0}),
    [](const ::testing::TestParamInfo<RaceScene>& p) { return std::string(p.param.name); });
