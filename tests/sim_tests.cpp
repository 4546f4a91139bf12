// The race simulation: tables, motion, drift, laps, collisions, the race timeline with
// its sounds, and whole races between two scripted drivers on the real tracks.
#include "assets.h"
#include "doubles/fake_keys.h"
#include "doubles/fake_sound.h"
#include "main.h"
#include "race_driver.h"
#include "sdltk.h"
#include "sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float INF = std::numeric_limits<float>::infinity();

Player makePlayer(float x, float z, float speed = 0.0f, int steer = 0) {
    Player p{};
    p.x = x;
    p.z = z;
    p.speed = speed;
    p.steer = steer;
    return p;
}

// A straight loop of n steps, with curvature bytes set where asked.
std::vector<unsigned int> straightTrack(unsigned int n) {
    return std::vector<unsigned int>(n, 0x02000002u);
}

void setCurve(std::vector<unsigned int>& t, unsigned int k, unsigned int curveByte) {
    t[k] = (t[k] & ~0xFF00u) | curveByte << 8;
}

} // namespace

// ---------------------------------------------------------------------------------
// Tables
// ---------------------------------------------------------------------------------

TEST(SimTables, SinCosAreSixDecimalRounding) {
    const double pi = std::acos(-1.0);
    for (int k = 0; k <= 90; k++) {
        double rad = k * pi / 180.0;
        EXPECT_EQ(tableSin[k], static_cast<float>(std::round(std::sin(rad) * 1e6) / 1e6)) << k;
        EXPECT_EQ(tableCos[k], static_cast<float>(std::round(std::cos(rad) * 1e6) / 1e6)) << k;
    }
    EXPECT_EQ(tableSin[1], 0.017452f);
    EXPECT_EQ(tableCos[1], 0.999848f);
    EXPECT_EQ(tableSin[30], 0.5f);
    EXPECT_EQ(tableCos[45], 0.707107f);
}

TEST(SimTables, MotorFnumFollowsTheGearbox) {
    for (int i = 0; i < MOTOR_FNUM_COUNT; i++) {
        double hz = 0.216 * i;
        for (double ratio : {0.3, 0.45, 0.9})
            if (ratio * i < 75.0) hz = ratio * i;
        hz = std::max(35.0, hz);
        EXPECT_EQ(motorFnum[i], static_cast<uint16_t>(std::floor(hz * 524288.0 / 49716.0))) << i;
    }
    const struct {
        int i;
        uint16_t fnum;
    } known[] = {{0, 369},   {38, 369},  {39, 370},  {40, 379},  {83, 787},  {84, 398}, {85, 403},
                 {166, 787}, {167, 528}, {200, 632}, {249, 787}, {250, 569}, {399, 908}};
    for (auto k : known)
        EXPECT_EQ(motorFnum[k.i], k.fnum) << k.i;
}

// ---------------------------------------------------------------------------------
// Steering, speed and the move of one step
// ---------------------------------------------------------------------------------

TEST(SimStepTurn, RatesLimitsAndReturnToStraight) {
    const struct {
        int steer, left, right, expected;
    } cases[] = {
        {0, 1, 0, 3},
        {0, 0, 1, -3},
        {42, 1, 0, 45},
        {45, 1, 0, 45},
        {-45, 0, 1, -45},
        {9, 1, 1, 9},
        {-9, 1, 1, -9},
        {9, 0, 0, 6},
        {-9, 0, 0, -6},
        {0, 0, 0, 0},
        {3, 0, 0, 0},
        {-3, 0, 0, 0},
        {45, 0, 1, 42},
        {-45, 1, 0, -42},
        {30, 7, 0, 33},
        {90, 0, 0, 45},
        {-2000000000, 0, 1, -45},
    };
    for (auto c : cases) {
        Player p = makePlayer(0, 0, 0, c.steer);
        simStepTurn(p, c.left, c.right);
        EXPECT_EQ(p.steer, c.expected) << c.steer << " " << c.left << c.right;
    }
    // From full lock back to straight in 15 steps.
    Player p = makePlayer(0, 0, 0, 45);
    for (int i = 0; i < 15; i++)
        simStepTurn(p, 0, 0);
    EXPECT_EQ(p.steer, 0);
}

TEST(UpdateSpeed, ForcesOnAndOffTheRoad) {
    EXPECT_FLOAT_EQ(airDrag(10.0f, true), 900.0f);
    EXPECT_FLOAT_EQ(airDrag(10.0f, false), 2000.0f);
    EXPECT_EQ(rollDrag(true), 600.0f);
    EXPECT_EQ(rollDrag(false), 4800.0f);
    EXPECT_EQ(brakeForce, 9000.0f);

    const struct {
        float x, speed;
        bool accelerate, brake;
        float expected;
    } cases[] = {
        {0.0f, 0.0f, true, false, 0.27f},       // from standstill
        {0.0f, 10.0f, false, false, 9.925f},    // coasting on the road
        {3.4999f, 10.0f, false, false, 9.925f}, // still on the road
        {3.5f, 10.0f, false, false, 9.66f},     // the edge itself is off the road
        {-3.5f, 10.0f, false, false, 9.66f},
        {0.0f, 10.0f, true, true, 9.775f},  // both pedals: -3000 before drag
        {0.0f, 10.0f, false, true, 9.475f}, // braking
        {0.0f, 0.1f, false, true, 0.0f},    // stops, never reverses
        {0.0f, 0.0f, false, false, 0.0f},   // stays stopped
        {0.0f, NaN, true, false, 0.0f},     // a broken speed ends at rest
        {0.0f, FLT_MAX, true, false, 0.0f},
    };
    for (auto c : cases) {
        Player p = makePlayer(c.x, 0, c.speed);
        updateSpeed(p, c.accelerate, c.brake);
        EXPECT_NEAR(p.speed, c.expected, 1e-5) << c.x << " " << c.speed;
    }
    Player p = makePlayer(0, 0);
    updateSpeed(p, true, false);
    EXPECT_EQ(p.speed, 0.27f);
}

TEST(UpdateSpeed, TopSpeedsAndCoastingToRest) {
    Player onRoad = makePlayer(0, 0), offRoad = makePlayer(5, 0);
    for (int i = 0; i < 2000; i++) {
        updateSpeed(onRoad, true, false);
        updateSpeed(offRoad, true, false);
    }
    EXPECT_NEAR(onRoad.speed, std::sqrt(600.0), 1e-3);
    EXPECT_NEAR(offRoad.speed, std::sqrt(60.0), 1e-3);
    for (int i = 0; i < 2000; i++)
        updateSpeed(onRoad, false, false);
    EXPECT_EQ(onRoad.speed, 0.0f);
}

TEST(AdvancePos, ForwardAndSidewaysMoveAndPose) {
    const struct {
        int steer;
        float speed;
        float dz, dx;
        int lean;
    } cases[] = {
        {0, 20.0f, 1.0f, 0.0f, 0},
        {15, 20.0f, 0.96593f, -0.20833333f, -1}, // sideways speed 5.18 is over the limit
        {-15, 20.0f, 0.96593f, 0.20833333f, 1},
        {30, 10.0f, 0.43301f, -0.20833333f, -2},
        {30, 5.0f, 0.21651f, -0.125f, -1},
        {30, 2.0f, 0.08660f, -0.05f, 0}, // too slow to show the turn
        {-6, 24.0f, 1.19343f, 0.12543f, 0},
        {45, 5.0f, 0.17678f, -0.17678f, -2},
        {45, 6.0f, 0.21213f, -0.20833333f, -2},
        {-45, 24.0f, 0.84853f, 0.20833333f, 2},
        {12, 20.0f, 0.97815f, -0.20791f, -1},
        {21, 6.0f, 0.28007f, -0.10751f, -1}, // hard angle, sideways ratio under 0.7
        {27, 0.0f, 0.0f, 0.0f, 0},           // standing still: no move, no pose
        {-45, 0.0f, 0.0f, 0.0f, 0},
    };
    for (auto c : cases) {
        Player p = makePlayer(1.0f, 100.0f, c.speed, c.steer);
        advancePos(p);
        EXPECT_NEAR(p.z - 100.0f, c.dz, 2e-5) << c.steer << " @ " << c.speed;
        EXPECT_NEAR(p.x - 1.0f, c.dx, 2e-5) << c.steer << " @ " << c.speed;
        EXPECT_EQ(p.lean, c.lean) << c.steer << " @ " << c.speed;
        EXPECT_EQ(p.speed, c.speed);
    }
}

TEST(AdvancePos, StrayStateStaysInsideTheTables) {
    // Out-of-range steering is read as full lock, a huge speed moves a finite amount.
    Player p = makePlayer(0, 0, 10.0f, -2147483647 - 1);
    advancePos(p);
    EXPECT_TRUE(std::isfinite(p.x));
    Player q = makePlayer(0, 0, FLT_MAX, 45);
    advancePos(q);
    EXPECT_FLOAT_EQ(q.x, -0.20833333f);
}

// ---------------------------------------------------------------------------------
// Curve drift, wrap and laps
// ---------------------------------------------------------------------------------

class Drift : public ::testing::Test {
  protected:
    // Ten steps: 2 and 3 bend right (+1), 5 bends left (-1), 9 bends right.
    void SetUp() override {
        setCurve(track, 2, 0x01);
        setCurve(track, 3, 0x01);
        setCurve(track, 5, 0xFF);
        setCurve(track, 9, 0x01);
        setCurve(track, 7, 0x02); // other values count as straight
    }
    std::vector<unsigned int> track = straightTrack(10);
};

TEST_F(Drift, IntegratesCurvatureOverTheMove) {
    const struct {
        float from, to, dx;
    } cases[] = {
        {2.0f, 3.0f, -0.6f},   {2.0f, 2.5f, -0.3f},   {2.5f, 2.0f, 0.3f},   {1.5f, 4.5f, -1.2f},
        {4.5f, 6.0f, 0.6f},    {2.25f, 5.5f, -0.75f}, {6.0f, 9.0f, 0.0f},   {9.5f, 10.5f, -0.3f},
        {-0.5f, 0.5f, -0.3f},  {3.0f, 3.0f, 0.0f},    {0.0f, 30.0f, -3.6f}, // three whole laps
        {-20.0f, 3.0f, -3.0f}, // two laps and three steps
    };
    for (auto c : cases) {
        float x = 1.0f;
        adjustX(x, c.from, c.to, track.data(), 10);
        EXPECT_NEAR(x - 1.0f, c.dx, 1e-5) << c.from << " -> " << c.to;
    }
    // A whole step exactly.
    float x = 0.0f;
    adjustX(x, 2.0f, 3.0f, track.data(), 10);
    EXPECT_EQ(x, -0.6f);
}

TEST_F(Drift, ExtremePositionsNeitherHangNorBreak) {
    const struct {
        float from, to;
    } cases[] = {
        {0.0f, 1e30f}, {-FLT_MAX, FLT_MAX}, {1e30f, 1e30f + 1e24f},  {NaN, 3.0f}, {3.0f, NaN},
        {INF, 3.0f},   {-INF, INF},         {-1e20f, -1e20f + 1e13f}};
    for (auto c : cases) {
        float x = 1.0f;
        adjustX(x, c.from, c.to, track.data(), 10);
        EXPECT_TRUE(std::isfinite(x)) << c.from << " -> " << c.to;
    }
    float x = 1.0f;
    adjustX(x, NaN, 3.0f, track.data(), 10);
    EXPECT_EQ(x, 1.0f);
    adjustX(x, 0.0f, 3.0f, nullptr, 0);
    EXPECT_EQ(x, 1.0f);
}

TEST_F(Drift, WrapCountsLineCrossingsAndDrifts) {
    const unsigned int n = 10;
    const struct {
        float zOld, z;
        int laps;
        float zAfter, dx;
    } cases[] = {
        {n - 4.05f, n - 3.95f, 1, n - 3.95f, 0.03f}, // over the line
        {n - 4.0f, n - 3.5f, 0, n - 3.5f, 0.0f},     // starting on the line is not crossing it
        {n - 4.5f, n - 4.0f, 1, n - 4.0f, 0.3f},     // reaching it is
        {n - 0.1f, n + 0.2f, 0, 0.2f, -0.06f},       // end of the table: wraps, no lap
        {n - 0.5f, n + 0.0f, 0, 0.0f, -0.3f},        // landing exactly on the end
        {-5.0f, -4.5f, 0, n - 4.5f, 0.3f},           // first step of a race
        {-4.2f, -3.9f, 1, n - 3.9f, 0.12f},          // the first crossing
        {1.5f, 2.5f, 0, 2.5f, -0.3f},                // drift of a normal move
        {3.0f, 3.0f, 0, 3.0f, 0.0f},                 // standing still
    };
    for (auto c : cases) {
        Player p = makePlayer(1.0f, c.z);
        simStepAdjustEnd(p, c.zOld, track.data(), n);
        EXPECT_EQ(p.laps, c.laps) << c.zOld << " -> " << c.z;
        EXPECT_NEAR(p.z, c.zAfter, 1e-5) << c.zOld << " -> " << c.z;
        EXPECT_GE(p.z, 0.0f);
        EXPECT_LT(p.z, static_cast<float>(n));
        EXPECT_NEAR(p.x - 1.0f, c.dx, 1e-5) << c.zOld << " -> " << c.z;
        EXPECT_EQ(p.finished, 0);
    }
}

TEST_F(Drift, FourthCrossingFinishes) {
    Player p = makePlayer(0, 6.1f);
    p.laps = 3;
    simStepAdjustEnd(p, 5.9f, track.data(), 10);
    EXPECT_EQ(p.laps, 4);
    EXPECT_EQ(p.finished, 1);
    // Further crossings count on; finished stays.
    p.z = 6.1f;
    simStepAdjustEnd(p, 5.9f, track.data(), 10);
    EXPECT_EQ(p.laps, 5);
    EXPECT_EQ(p.finished, 1);
}

TEST_F(Drift, PositionsFarOutsideTheLoopComeBackIntoIt) {
    // On the shortest track a push can carry a car more than a lap on.
    for (float z : {12.3f, 123456.7f, -17.25f, 1e30f, -1e30f}) {
        Player p = makePlayer(0, z);
        simStepAdjustEnd(p, z - 0.5f, track.data(), 5);
        EXPECT_GE(p.z, 0.0f) << z;
        EXPECT_LT(p.z, 5.0f) << z;
        EXPECT_TRUE(std::isfinite(p.x)) << z;
    }
}

TEST(Speed2fnum, EnginePitchBySpeed) {
    const struct {
        float speed;
        int fnum;
    } cases[] = {{0.0f, 369},  {4.0f, 379},   {8.25f, 778}, {8.5f, 403},  {20.0f, 632},
                 {25.0f, 569}, {39.95f, 908}, {50.0f, 908}, {-1.0f, 369}, {-0.01f, 369},
                 {NaN, 369},   {INF, 908},    {-INF, 369},  {1e30f, 908}, {FLT_MAX, 908}};
    for (auto c : cases)
        EXPECT_EQ(speed2fnum(c.speed), c.fnum) << c.speed;
}

// ---------------------------------------------------------------------------------
// Collisions
// ---------------------------------------------------------------------------------

class Collisions : public ::testing::Test {
  protected:
    void SetUp() override { soundCalls.clear(); }
};

TEST_F(Collisions, CrashLoudnessByClosingSpeed) {
    const struct {
        float dv;
        int vol;
    } cases[] = {{4.0f, 40}, {8.0f, 51}, {12.0f, 63}, {15.0f, 63}, {-5.0f, 40},  {5.0f, 42},
                 {NaN, 40},  {INF, 63},  {-INF, 40},  {1e30f, 63}, {-1e30f, 40}, {0.0f, 40}};
    for (auto c : cases)
        EXPECT_EQ(crashSpeedToVol(c.dv), c.vol) << c.dv;
}

TEST_F(Collisions, RearEndPushesExchangesSpeedsAndCrashes) {
    Player a = makePlayer(0.0f, 11.0f, 20.0f), b = makePlayer(1.0f, 14.5f, 5.0f);
    collide(a, 0.0f, 10.0f, b, 1.0f, 14.25f, 1000);
    EXPECT_FLOAT_EQ(b.z, 15.1f);
    EXPECT_FLOAT_EQ(b.speed, 12.0f);
    EXPECT_FLOAT_EQ(a.speed, 3.0f);
    EXPECT_EQ(a.z, 11.0f);
    EXPECT_EQ(a.x, 0.0f); // 4.1 apart now: no side push
    EXPECT_EQ(b.x, 1.0f);
    ASSERT_EQ(soundCalls.size(), 1u);
    EXPECT_EQ(soundCalls[0], (SoundCall{SoundOp::Crash, 63, 0}));

    // The second car running into the first works the same way.
    soundCalls.clear();
    Player c = makePlayer(0.0f, 20.0f, 6.0f), d = makePlayer(-1.0f, 16.5f, 14.0f);
    collide(c, 0.0f, 19.7f, d, -1.0f, 15.8f, 1000);
    EXPECT_FLOAT_EQ(c.z, 20.6f);
    EXPECT_FLOAT_EQ(c.speed, 8.4f);
    EXPECT_FLOAT_EQ(d.speed, 3.6f);
    ASSERT_EQ(soundCalls.size(), 1u);
    EXPECT_EQ(soundCalls[0], (SoundCall{SoundOp::Crash, 51, 0}));
}

TEST_F(Collisions, RearEndAcrossTheEndOfTheLoop) {
    Player a = makePlayer(0.5f, 998.5f, 20.0f), b = makePlayer(-0.5f, 2.0f, 10.0f);
    collide(a, 0.5f, 997.5f, b, -0.5f, 1.5f, 1000);
    EXPECT_FLOAT_EQ(b.z, 2.6f);
    EXPECT_FLOAT_EQ(b.speed, 12.0f);
    EXPECT_FLOAT_EQ(a.speed, 6.0f);
    EXPECT_EQ(soundCalls.size(), 1u);
}

TEST_F(Collisions, NoRearEndWithoutContact) {
    const struct {
        const char* what;
        float ax, azOld, az, bx, bz;
    } cases[] = {
        {"nose short of the car ahead", 0.0f, 10.0f, 11.0f, 1.0f, 16.0f},
        {"already close at the start", 0.0f, 10.6f, 11.0f, 1.0f, 14.5f},
        {"side by side in x", 0.0f, 10.0f, 11.0f, 1.7f, 14.5f},
        {"far apart along the loop", 0.0f, 10.0f, 10.0f, 0.0f, 14.5f},
    };
    for (auto c : cases) {
        soundCalls.clear();
        Player a = makePlayer(c.ax, c.az, 20.0f), b = makePlayer(c.bx, c.bz, 5.0f);
        collideZ(a, c.azOld, b, c.bz, 1000);
        collideZ(b, c.bz, a, c.azOld, 1000);
        EXPECT_EQ(b.z, c.bz) << c.what;
        EXPECT_EQ(a.speed, 20.0f) << c.what;
        EXPECT_TRUE(soundCalls.empty()) << c.what;
    }
}

TEST_F(Collisions, SideContact) {
    const struct {
        const char* what;
        float azOld, az, axOld, ax, bzOld, bz, bxOld, bx;
        float axAfter, bxAfter;
    } cases[] = {
        {"overlapping", 50, 50, 0.0f, 0.0f, 50, 50, 1.0f, 1.0f, -0.35f, 1.35f},
        {"same x: b goes right", 50, 50, 0.5f, 0.5f, 50, 50, 0.5f, 0.5f, -0.35f, 1.35f},
        {"b on the left", 50, 50, 1.0f, 1.0f, 50, 50, 0.0f, 0.0f, 1.35f, -0.35f},
        {"crossed over: b back to the right", 50, 50, 0.0f, 1.0f, 50, 50, 2.0f, 0.9f, 0.1f, 1.8f},
        {"just apart", 50, 50, 0.0f, 0.0f, 50, 50, 1.7f, 1.7f, 0.0f, 1.7f},
        {"beside and overlapping, a started close behind", 10.6f, 11.0f, 0.0f, 0.0f, 14.5f, 14.5f,
         1.0f, 1.0f, -0.35f, 1.35f},
        {"more than a car length apart", 50, 50, 0.0f, 0.0f, 54.5f, 54.5f, 0.0f, 0.0f, 0.0f, 0.0f},
        {"close across the end of the loop", 999, 999, 0.0f, 0.0f, 2.5f, 2.5f, 0.0f, 0.0f, -0.85f,
         0.85f},
    };
    for (auto c : cases) {
        soundCalls.clear();
        Player a = makePlayer(c.ax, c.az, 10.0f), b = makePlayer(c.bx, c.bz, 10.0f);
        collide(a, c.axOld, c.azOld, b, c.bxOld, c.bzOld, 1000);
        EXPECT_NEAR(a.x, c.axAfter, 1e-6) << c.what;
        EXPECT_NEAR(b.x, c.bxAfter, 1e-6) << c.what;
        EXPECT_EQ(a.speed, 10.0f) << c.what;
        EXPECT_EQ(b.speed, 10.0f) << c.what;
        EXPECT_TRUE(soundCalls.empty()) << c.what;
    }
}

TEST_F(Collisions, CloseAlongTheLoop) {
    const struct {
        float pz, qz;
        bool close;
    } cases[] = {{50, 54, true},    {50, 54.01f, false}, {54, 50, true},  {998, 1.5f, true},
                 {1.5f, 998, true}, {997, 2, false},     {-4, 996, true}, {1001, 3, true}};
    for (auto c : cases) {
        Player p = makePlayer(0, c.pz), q = makePlayer(0, c.qz);
        EXPECT_EQ(isZClose(p, q, 1000), c.close) << c.pz << " " << c.qz;
    }
}

// ---------------------------------------------------------------------------------
// The race step
// ---------------------------------------------------------------------------------

namespace {

// The last two calls of every step set the engine pitch of both cars.
void expectEngineCalls(const std::vector<SoundCall>& calls, const Player& a, const Player& b) {
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], (SoundCall{SoundOp::MotorFreq, 0, speed2fnum(a.speed)}));
    EXPECT_EQ(calls[calls.size() - 1], (SoundCall{SoundOp::MotorFreq, 1, speed2fnum(b.speed)}));
}

} // namespace

class Race : public ::testing::Test {
  protected:
    void SetUp() override {
        releaseAllKeys();
        soundCalls.clear();
        a = makePlayer(-2.0f, -5.0f);
        b = makePlayer(2.0f, -5.0f);
        resetState();
    }
    void TearDown() override { releaseAllKeys(); }

    // One race step; returns the sound calls it made.
    std::vector<SoundCall> step() {
        soundCalls.clear();
        simStep(a, b, track.data(), static_cast<unsigned int>(track.size()));
        std::vector<SoundCall> calls = soundCalls;
        expectEngineCalls(calls, a, b);
        return calls;
    }
    void steps(int count) {
        for (int i = 0; i < count; i++)
            step();
    }

    std::vector<unsigned int> track = straightTrack(200);
    Player a{}, b{};
};

TEST_F(Race, CountdownLightsBeepsAndStart) {
    EXPECT_EQ(getLights(), 1);
    EXPECT_EQ(getExitToMenu(), 0);
    for (int i = 1; i <= 110; i++) {
        std::vector<SoundCall> calls = step();
        int lights = i < 21 ? 1 : i < 41 ? 2 : i < 61 ? 3 : i < 101 ? 4 : 0;
        EXPECT_EQ(getLights(), lights) << "step " << i;
        EXPECT_EQ(state, i < 61 ? 0 : 1) << "step " << i;
        if (i == 21 || i == 41 || i == 61) {
            ASSERT_EQ(calls.size(), 3u) << "step " << i;
            EXPECT_EQ(calls[0], (SoundCall{SoundOp::BeepLights, i == 61 ? 1 : 0, 0}));
        } else {
            EXPECT_EQ(calls.size(), 2u) << "step " << i; // engines only, idling
        }
    }
    EXPECT_EQ(a.speed, 0.0f);
    EXPECT_EQ(speed2fnum(a.speed), 369);
    EXPECT_EQ(getExitToMenu(), 0);
}

TEST_F(Race, PedalsCountFromTheStartSignal) {
    const struct {
        uint8_t key;
        bool firstCar;
    } accelerators[] = {{SC_W, true}, {SC_LSHIFT, true}, {SC_UP, false}, {SC_RSHIFT, false}};
    for (auto k : accelerators) {
        SetUp();
        fakeKeys[k.key] = 1;
        steps(60);
        EXPECT_EQ(a.speed, 0.0f);
        EXPECT_EQ(b.speed, 0.0f);
        EXPECT_EQ(a.z, -5.0f + 200.0f); // wrapped, not moved
        step();                         // the 61st step gives the start signal and drives
        const Player& mine = k.firstCar ? a : b;
        const Player& other = k.firstCar ? b : a;
        EXPECT_EQ(mine.speed, 0.27f) << int(k.key);
        EXPECT_EQ(other.speed, 0.0f) << int(k.key);
        fakeKeys[k.key] = 0;
    }

    const struct {
        uint8_t key;
        bool firstCar;
    } brakes[] = {{SC_S, true}, {SC_LCTRL, true}, {SC_DOWN, false}, {SC_RCTRL, false}};
    for (auto k : brakes) {
        SetUp();
        steps(61);
        a.speed = b.speed = 10.0f;
        fakeKeys[k.key] = 1;
        step();
        const Player& mine = k.firstCar ? a : b;
        const Player& other = k.firstCar ? b : a;
        EXPECT_FLOAT_EQ(mine.speed, 9.475f) << int(k.key);
        EXPECT_FLOAT_EQ(other.speed, 9.925f) << int(k.key);
        fakeKeys[k.key] = 0;
    }
}

TEST_F(Race, SteeringDuringTheCountdownMovesNothing) {
    fakeKeys[SC_A] = 1;     // first car left
    fakeKeys[SC_RIGHT] = 1; // second car right
    steps(5);
    EXPECT_EQ(a.steer, 15);
    EXPECT_EQ(b.steer, -15);
    EXPECT_EQ(a.lean, 0);
    EXPECT_EQ(b.lean, 0);
    EXPECT_EQ(a.x, -2.0f);
    EXPECT_EQ(b.x, 2.0f);
    EXPECT_EQ(a.z, 195.0f);
    fakeKeys[SC_D] = 1; // both of the first car's keys: steering holds
    fakeKeys[SC_LEFT] = 1;
    step();
    EXPECT_EQ(a.steer, 15);
    EXPECT_EQ(b.steer, -15);
}

TEST_F(Race, FinishRunOutAndReturnToMenu) {
    fakeKeys[SC_W] = fakeKeys[SC_UP] = 1;
    steps(61);
    a.laps = b.laps = 3;
    a.z = 200 - 4.2f;
    b.z = 100.0f;
    a.speed = b.speed = 10.0f;
    step(); // F: the first car completes its third lap
    EXPECT_EQ(a.laps, 4);
    EXPECT_EQ(a.finished, 1);
    EXPECT_EQ(a.place, 1);
    EXPECT_EQ(b.finished, 0);
    EXPECT_EQ(b.place, 2);
    EXPECT_EQ(state, 2);
    EXPECT_EQ(stateTick, 1);

    // Pedals are ignored from now on: 19 steps of rolling, then the brake.
    fakeKeys[SC_S] = fakeKeys[SC_DOWN] = 1;
    for (int i = 1; i < 140; i++) {
        Player before = a;
        step();
        Player expected = before;
        updateSpeed(expected, false, i >= 20);
        EXPECT_FLOAT_EQ(a.speed, expected.speed) << "run-out step " << i;
        EXPECT_EQ(getExitToMenu(), 0) << "run-out step " << i;
        if (i == 19) {
            EXPECT_GT(a.speed, 8.0f); // rolled, not braked
        }
    }
    EXPECT_EQ(a.speed, 0.0f);
    EXPECT_EQ(b.speed, 0.0f);
    step(); // F + 140
    EXPECT_EQ(getExitToMenu(), 1);

    // Further steps change nothing but the tick, which stops at 1000.
    for (int i = 0; i < 1200; i++)
        step();
    EXPECT_EQ(getExitToMenu(), 1);
    EXPECT_EQ(stateTick, 1000);
    EXPECT_EQ(state, 2);
    EXPECT_EQ(a.place, 1);
    EXPECT_EQ(b.place, 2);

    resetState();
    EXPECT_EQ(getExitToMenu(), 0);
    EXPECT_EQ(getLights(), 1);
    EXPECT_EQ(state, 0);
}

TEST_F(Race, DeadHeatAndLateFinisher) {
    steps(61);
    a.laps = b.laps = 3;
    a.z = b.z = 200 - 4.2f;
    a.x = -3.0f;
    b.x = 3.0f;
    a.speed = b.speed = 10.0f;
    step();
    EXPECT_EQ(a.place, 1);
    EXPECT_EQ(b.place, 1);

    // A car that completes its laps in the run-out is only marked finished.
    SetUp();
    steps(61);
    a.laps = 3;
    a.z = 200 - 4.2f;
    a.speed = 10.0f;
    b.laps = 3;
    b.z = 100.0f;
    b.speed = 10.0f;
    step();
    ASSERT_EQ(b.place, 2);
    b.z = 200 - 4.2f;
    b.speed = 10.0f;
    step();
    EXPECT_EQ(b.laps, 4);
    EXPECT_EQ(b.finished, 1);
    EXPECT_EQ(b.place, 2);
    EXPECT_EQ(a.place, 1);
}

TEST_F(Race, CrashSoundComesBeforeTheEngines) {
    steps(61);
    a.x = b.x = 0.0f;
    a.z = 50.0f;
    b.z = 55.0f;
    a.speed = 24.0f;
    b.speed = 2.0f;
    std::vector<SoundCall> calls = step();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].op, SoundOp::Crash);
    EXPECT_EQ(calls[0].arg0, 63);
    EXPECT_NEAR(b.z - a.z, 4.1f, 1e-4);
}

// ---------------------------------------------------------------------------------
// Whole races between two scripted drivers
// ---------------------------------------------------------------------------------

namespace {

// The scripted driver at the keyboard.
struct Driver {
    RaceDriver brain;
    uint8_t left, right, accelerate, brake;

    void drive(const Player& p, const unsigned int* track, unsigned int n) const {
        const DriverKeys keys = brain.decide(p, track, n);
        fakeKeys[accelerate] = keys.accelerate;
        fakeKeys[brake] = keys.brake;
        fakeKeys[left] = keys.left;
        fakeKeys[right] = keys.right;
    }
};

} // namespace

TEST(WholeRace, ScriptedDriversFinishThreeLapsOnEveryTrack) {
    struct Case {
        const char* name;
        const TrSegm* segm;
        unsigned short count;
    };
    const Case cases[] = {{"boul", boulSegm, BOUL_SEGMENTS},
                          {"suburb", suburbSegm, SUBURB_SEGMENTS},
                          {"iron", ironSegm, IRON_SEGMENTS}};
    const Driver drivers[2] = {{{-0.5f, 9.0f}, SC_A, SC_D, SC_W, SC_S},
                               {{0.5f, 8.5f}, SC_LEFT, SC_RIGHT, SC_UP, SC_DOWN}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Track loop;
        ASSERT_EQ(expandTrack(loop, c.segm, c.count), TRACK_OK);
        unsigned int* steps = loop.steps.get();
        const unsigned int n = loop.size;

        releaseAllKeys();
        Player p[2] = {makePlayer(-2.0f, -5.0f), makePlayer(2.0f, -5.0f)};
        resetState();
        std::vector<int> crossings[2];
        int crashes = 0, finishStep = 0, exitStep = 0;
        for (int s = 1; s <= 20 * 60 * 10 && !exitStep; s++) {
            drivers[0].drive(p[0], steps, n);
            drivers[1].drive(p[1], steps, n);
            int lapsBefore[2] = {p[0].laps, p[1].laps};
            soundCalls.clear();
            simStep(p[0], p[1], steps, n);
            for (const SoundCall& call : soundCalls)
                crashes += call.op == SoundOp::Crash;
            for (int i = 0; i < 2; i++) {
                ASSERT_TRUE(std::isfinite(p[i].x) && std::isfinite(p[i].z) &&
                            std::isfinite(p[i].speed))
                    << "car " << i << " step " << s;
                ASSERT_GE(p[i].z, 0.0f);
                ASSERT_LT(p[i].z, static_cast<float>(n));
                ASSERT_GE(p[i].speed, 0.0f);
                ASSERT_LT(std::fabs(p[i].x), 12.0f) << "car " << i << " step " << s;
                if (p[i].laps != lapsBefore[i]) crossings[i].push_back(s);
            }
            if (!finishStep && state == 2) finishStep = s;
            if (getExitToMenu()) exitStep = s;
        }
        ASSERT_NE(finishStep, 0) << "nobody finished";
        EXPECT_EQ(exitStep, finishStep + 140);
        EXPECT_EQ(p[0].place + p[1].place, 3); // one winner, one second
        EXPECT_EQ(p[0].speed, 0.0f);
        EXPECT_EQ(p[1].speed, 0.0f);

        const Player& winner = p[0].place == 1 ? p[0] : p[1];
        const std::vector<int>& laps = crossings[p[0].place == 1 ? 0 : 1];
        EXPECT_EQ(winner.laps, 4);
        ASSERT_GE(laps.size(), 4u);
        EXPECT_LE(laps[0], 61 + 20); // the first crossing comes right after the start
        std::printf("[ %-6s ] %u steps, winner car %d, crashes %d, lap times", c.name, n,
                    p[0].place == 1 ? 0 : 1, crashes);
        for (int lap = 1; lap <= 3; lap++) {
            double seconds = (laps[lap] - laps[lap - 1]) * 0.05;
            std::printf(" %.2f s", seconds);
            // At most top speed, and no slower than a crawl round the whole loop.
            EXPECT_GT(seconds, n / std::sqrt(600.0));
            EXPECT_LT(seconds, n / 4.0);
        }
        std::printf("\n");
    }
    releaseAllKeys();
}
