// The computer driver: whole races through simStep on the real tracks, alone and against a
// scripted driver; its pace against the fastest races found offline, keeping to the road,
// passing without running into the other car, replays, and the keys it takes over.
#include "assets.h"
#include "doubles/fake_keys.h"
#include "doubles/fake_sound.h"
#include "main.h"
#include "sdltk.h"
#include "sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr int START_SIGNAL = 61; // the race step that gives the start signal
constexpr int LAPS = 3;
constexpr int STEP_LIMIT = 20 * 60 * 5;

struct Course {
    const char* name;
    const TrSegm* segm;
    unsigned short count;
    // The fastest average lap of a three-lap race alone that tools/fastlap found (a beam
    // search over the four controls, see its header), in seconds; the command that found
    // it is beside each. Beams of 20000 to 100000, off the road allowed or not, were tried.
    double fastestLap;
};

const Course COURSES[] = {
    {"boul", boulSegm, BOUL_SEGMENTS, 23.300},       // fastlap --beam 100000 boul
    {"suburb", suburbSegm, SUBURB_SEGMENTS, 33.717}, // fastlap --beam 100000 suburb
    {"iron", ironSegm, IRON_SEGMENTS, 31.817},       // fastlap --road --beam 20000 iron
};

Track expanded(const Course& c) {
    Track t;
    EXPECT_EQ(expandTrack(t, c.segm, c.count), TRACK_OK) << c.name;
    return t;
}

bool onRoad(const Player& p) {
    return p.x > -ROAD_HALF_WIDTH && p.x < ROAD_HALF_WIDTH;
}

Player startingCar(float x) {
    Player p{};
    p.x = x;
    p.z = -5.0f;
    return p;
}

// A whole race as the simulation runs it, one simStep per frame until it asks for the menu.
struct RaceLog {
    std::vector<int> crossings[2]; // the steps on which each car crossed the line
    int offRoad[2] = {0, 0};       // racing steps each car ended off the road
    int racingSteps = 0;           // steps from the start signal to the finish
    int finishStep = 0;
    int exitStep = 0;
    int hitsBy[2] = {0, 0}; // rear-end hits each car caused by running into the other
    Player last[2] = {};

    // Average lap of car i from its first to its fourth line crossing, in seconds.
    double averageLap(int i) const {
        if (crossings[i].size() < LAPS + 1) return 0;
        return (crossings[i][LAPS] - crossings[i][0]) * 0.05 / LAPS;
    }
};

// Signed distance along the loop from a to b, in (-n/2, n/2].
float leadOf(const Player& a, const Player& b, unsigned int n) {
    double d = std::fmod(static_cast<double>(b.z) - a.z, static_cast<double>(n));
    if (d <= -0.5 * n) d += n;
    if (d > 0.5 * n) d -= n;
    return static_cast<float>(d);
}

template <typename BeforeStep>
RaceLog runRace(Player a, Player b, const Track& road, BeforeStep beforeStep) {
    const unsigned int n = road.size;
    RaceLog log;
    resetState();
    for (int s = 1; s <= STEP_LIMIT && !log.exitStep; s++) {
        beforeStep(a, b);
        const int lapsBefore[2] = {a.laps, b.laps};
        const float bLeads = leadOf(a, b, n);
        soundCalls.clear();
        simStep(a, b, road.steps.get(), n);
        for (const SoundCall& call : soundCalls) {
            // The car behind is the one that ran into the other.
            if (call.op == SoundOp::Crash) log.hitsBy[bLeads > 0 ? 0 : 1]++;
        }
        const Player* cars[2] = {&a, &b};
        for (int i = 0; i < 2; i++) {
            const Player& p = *cars[i];
            EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.z) && std::isfinite(p.speed))
                << "car " << i << " step " << s;
            if (p.laps != lapsBefore[i]) log.crossings[i].push_back(s);
            if (s >= START_SIGNAL && !log.finishStep && !onRoad(p)) log.offRoad[i]++;
        }
        if (!log.finishStep && state == 2) {
            log.finishStep = s;
            log.racingSteps = s - START_SIGNAL + 1;
        }
        if (getExitToMenu()) log.exitStep = s;
    }
    log.last[0] = a;
    log.last[1] = b;
    return log;
}

// The computer drives player B alone: player A's car stands far off the road, where the
// two can never touch.
RaceLog raceAlone(const Track& road, float startX) {
    Player parked = startingCar(100.0f);
    return runRace(parked, startingCar(startX), road, [](Player&, Player&) {});
}

class Computer : public ::testing::Test {
  protected:
    void SetUp() override {
        releaseAllKeys();
        setComputerDriver(0, false);
        setComputerDriver(1, true);
    }
    void TearDown() override {
        setComputerDriver(0, false);
        setComputerDriver(1, false);
        releaseAllKeys();
    }
};

// ---------------------------------------------------------------------------------
// Alone on the track
// ---------------------------------------------------------------------------------

TEST_F(Computer, RacesThreeLapsAloneWithinItsPaceBandAndOnTheRoad) {
    for (const Course& c : COURSES) {
        const Track road = expanded(c);
        for (float side : {2.0f, -2.0f}) {
            SCOPED_TRACE(::testing::Message() << c.name << ", starting at x " << side);
            RaceLog log = raceAlone(road, side);
            ASSERT_NE(log.finishStep, 0) << "the computer did not finish";
            EXPECT_EQ(log.last[1].laps, LAPS + 1);
            EXPECT_EQ(log.last[1].place, 1);
            EXPECT_EQ(log.exitStep, log.finishStep + 140);
            ASSERT_EQ(log.crossings[1].size(), static_cast<size_t>(LAPS + 1));

            const double lap = log.averageLap(1);
            const double offRoad = static_cast<double>(log.offRoad[1]) / log.racingSteps;
            std::printf("[ %-6s ] start x %+.0f: laps %.2f %.2f %.2f s, average %.3f s = "
                        "fastest found + %.1f%%, off the road %.2f%% of steps\n",
                        c.name, side, (log.crossings[1][1] - log.crossings[1][0]) * 0.05,
                        (log.crossings[1][2] - log.crossings[1][1]) * 0.05,
                        (log.crossings[1][3] - log.crossings[1][2]) * 0.05, lap,
                        100.0 * (lap / c.fastestLap - 1.0), 100.0 * offRoad);
            // A real opponent, but one that a driver who drives well can beat.
            EXPECT_GE(lap, 1.03 * c.fastestLap);
            EXPECT_LE(lap, 1.06 * c.fastestLap);
            EXPECT_LT(offRoad, 0.02);
        }
    }
}

TEST_F(Computer, SameRaceGivesTheSameResult) {
    const Track road = expanded(COURSES[2]);
    RaceLog first = raceAlone(road, 2.0f);
    RaceLog again = raceAlone(road, 2.0f);
    EXPECT_EQ(first.crossings[1], again.crossings[1]);
    EXPECT_EQ(first.exitStep, again.exitStep);
    EXPECT_EQ(std::memcmp(&first.last[1], &again.last[1], sizeof(Player)), 0);

    // And the decision itself depends on nothing but what it is shown.
    Player me = startingCar(1.0f), other = startingCar(-1.0f);
    me.z = 120.5f;
    me.speed = 20.0f;
    me.steer = 9;
    other.z = 126.0f;
    other.speed = 15.0f;
    const unsigned int n = road.size;
    Controls c1 = computerControls(me, other, road.steps.get(), n);
    raceAlone(road, -2.0f);
    Controls c2 = computerControls(me, other, road.steps.get(), n);
    EXPECT_EQ(std::memcmp(&c1, &c2, sizeof c1), 0);
}

// ---------------------------------------------------------------------------------
// Who drives
// ---------------------------------------------------------------------------------

TEST_F(Computer, TakesOverOnlyTheCarItDrives) {
    const Track road = expanded(COURSES[0]);
    const unsigned int n = road.size;
    EXPECT_TRUE(isComputerDriver(1));
    EXPECT_FALSE(isComputerDriver(0));
    EXPECT_FALSE(isComputerDriver(2));
    EXPECT_FALSE(isComputerDriver(-1));

    // B's keys held in every way possible change nothing while the computer drives B.
    auto race = [&](bool pressBKeys) {
        releaseAllKeys();
        fakeKeys[SC_W] = 1; // A drives from the keys all the while
        if (pressBKeys)
            for (uint8_t k : {SC_UP, SC_DOWN, SC_LEFT, SC_RIGHT, SC_RSHIFT, SC_RCTRL})
                fakeKeys[k] = 1;
        Player a = startingCar(-2.0f), b = startingCar(2.0f);
        resetState();
        std::vector<Player> trail;
        for (int s = 0; s < 400; s++) {
            simStep(a, b, road.steps.get(), n);
            trail.push_back(a);
            trail.push_back(b);
        }
        return trail;
    };
    std::vector<Player> quiet = race(false), pressed = race(true);
    ASSERT_EQ(quiet.size(), pressed.size());
    EXPECT_EQ(std::memcmp(quiet.data(), pressed.data(), quiet.size() * sizeof(Player)), 0);
    const Player& lastA = quiet[quiet.size() - 2];
    const Player& lastB = quiet.back();
    EXPECT_TRUE(lastB.laps == 1 && lastB.z > 100.0f) << "the computer drove B on";
    EXPECT_TRUE(lastA.laps == 1 && lastA.z > 20.0f) << "A's keys still drive A";

    // Handed back, B answers to its keys again.
    setComputerDriver(1, false);
    EXPECT_FALSE(isComputerDriver(1));
    releaseAllKeys();
    fakeKeys[SC_LEFT] = 1;
    Player a = startingCar(-2.0f), b = startingCar(2.0f);
    resetState();
    simStep(a, b, road.steps.get(), n);
    EXPECT_EQ(b.steer, 3);
}

TEST_F(Computer, StrayPositionsGiveControlsWithoutBreakingAnything) {
    const Track road = expanded(COURSES[1]);
    const unsigned int n = road.size;
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    const float INF = std::numeric_limits<float>::infinity();
    const float values[] = {0.0f, -5.0f, 3.5f, -40.0f, 1e9f, -1e30f, FLT_MAX, NaN, INF, -INF};
    for (float x : values)
        for (float z : values)
            for (float speed : {0.0f, 24.0f, 1e20f, NaN}) {
                Player me = startingCar(x), other = startingCar(-x);
                me.z = z;
                me.speed = speed;
                me.steer = 45;
                other.z = z + 3.0f;
                Controls c = computerControls(me, other, road.steps.get(), n);
                // The same view gives the same answer, stray or not.
                Controls again = computerControls(me, other, road.steps.get(), n);
                EXPECT_EQ(std::memcmp(&c, &again, sizeof c), 0) << x << " " << z << " " << speed;
            }
    // No track to look at: it still answers, and drives straight on.
    Player me = startingCar(0.0f);
    Controls c = computerControls(me, me, nullptr, 0);
    EXPECT_TRUE(c.accelerate);
    EXPECT_FALSE(c.brake);
}

// ---------------------------------------------------------------------------------
// Against a scripted driver
// ---------------------------------------------------------------------------------

// A scripted driver that follows a recorded line: at each step of the track the place
// across the road, the speed and the steering the computer had there when it drove alone,
// shifted sideways and scaled in speed.
struct LineFollower {
    struct Point {
        float x, speed;
        int steer;
    };
    std::vector<Point> line;
    float offset = 0.0f; // road units to the right of the recorded line
    float pace = 1.0f;   // share of the recorded speed
    uint8_t left, right, accelerate, brake;

    void drive(const Player& p) const {
        const size_t n = line.size();
        size_t k = static_cast<size_t>(std::floor(std::fmod(p.z + 1.0f + n, n))) % n;
        const Point& want = line[k];
        float x = std::clamp(want.x + offset, -3.2f, 3.2f);
        // The recorded steering, corrected towards the line: steering right moves right.
        float steer = std::clamp(want.steer - 12.0f * (x - p.x), -45.0f, 45.0f);
        bool goLeft = p.steer<steer - 1.5f, goRight = p.steer> steer + 1.5f;
        fakeKeys[left] = goLeft || !goRight;
        fakeKeys[right] = goRight || !goLeft;
        float v = pace * want.speed;
        fakeKeys[accelerate] = p.speed < v;
        fakeKeys[brake] = p.speed > v + 0.5f;
    }
};

// The line the computer drove alone on its second lap.
std::vector<LineFollower::Point> recordLine(const Track& road) {
    const unsigned int n = road.size;
    std::vector<LineFollower::Point> line(n, {0.0f, 0.0f, 0});
    std::vector<bool> seen(n, false);
    Player parked = startingCar(100.0f);
    runRace(parked, startingCar(2.0f), road, [&](Player&, Player& b) {
        if (b.laps != 2) return;
        unsigned int k = static_cast<unsigned int>(b.z) % n;
        if (!seen[k]) line[k] = {b.x, b.speed, b.steer};
        seen[k] = true;
    });
    for (unsigned int k = 1; k < 2 * n; k++) // steps skipped at speed take their neighbour's
        if (!seen[k % n] && seen[(k - 1) % n]) {
            line[k % n] = line[(k - 1) % n];
            seen[k % n] = true;
        }
    return line;
}

TEST_F(Computer, PassesAScriptedDriverWithoutRunningIntoIt) {
    // 20 races. The scripted driver follows the computer's own line a little slower and
    // starts some steps ahead (or level), so that the computer catches it at different
    // places of the track, with it on either side of the line.
    struct Race {
        int course;
        float headStart, pace, offset, computerX;
    };
    const Race races[20] = {
        {0, 0.0f, 0.97f, 0.0f, 2.0f},    {1, 0.0f, 0.95f, 0.0f, -2.0f},
        {2, 0.0f, 0.93f, 0.0f, 2.0f},    {0, 20.0f, 0.95f, 0.0f, -2.0f},
        {1, 30.0f, 0.93f, 1.0f, 2.0f},   {2, 40.0f, 0.95f, -1.0f, -2.0f},
        {0, 60.0f, 0.91f, -1.0f, 2.0f},  {1, 80.0f, 0.92f, 0.0f, -2.0f},
        {2, 100.0f, 0.90f, 1.0f, 2.0f},  {0, 120.0f, 0.89f, 1.0f, -2.0f},
        {1, 150.0f, 0.88f, -1.0f, 2.0f}, {2, 180.0f, 0.87f, 0.0f, -2.0f},
        {0, 45.0f, 0.86f, 0.5f, 2.0f},   {1, 60.0f, 0.85f, -0.5f, -2.0f},
        {2, 70.0f, 0.96f, 0.5f, 2.0f},   {0, 90.0f, 0.94f, 0.0f, -2.0f},
        {1, 200.0f, 0.90f, 1.5f, 2.0f},  {2, 250.0f, 0.88f, -1.5f, -2.0f},
        {0, 150.0f, 0.86f, -0.5f, 2.0f}, {1, 110.0f, 0.85f, 0.5f, -2.0f},
    };
    Track roads[3];
    std::vector<LineFollower::Point> lines[3];
    for (int i = 0; i < 3; i++) {
        roads[i] = expanded(COURSES[i]);
        lines[i] = recordLine(roads[i]);
    }
    int hitsByComputer = 0, hitsByScript = 0, caughtUp = 0, overtakes = 0, wins = 0;
    for (const Race& r : races) {
        const Course& c = COURSES[r.course];
        SCOPED_TRACE(::testing::Message() << c.name << ", head start " << r.headStart << ", pace "
                                          << r.pace << ", offset " << r.offset);
        const unsigned int n = roads[r.course].size;
        LineFollower script{lines[r.course], r.offset, r.pace, SC_A, SC_D, SC_W, SC_S};
        Player a = startingCar(-r.computerX), b = startingCar(r.computerX);
        a.z += r.headStart;
        // The computer has caught up once it is close behind the scripted car (after the
        // start, where the two stand level), and passed it once it is clear ahead of it.
        bool caught = false, passed = false;
        RaceLog log = runRace(a, b, roads[r.course], [&](Player& sa, Player& sb) {
            script.drive(sa);
            float lead = leadOf(sb, sa, n); // the scripted car's lead over the computer
            if (sb.speed > 15.0f && lead > 4.0f && lead < 7.0f) caught = true;
            if (caught && lead < -6.0f) passed = true;
        });
        ASSERT_NE(log.finishStep, 0) << "nobody finished";
        EXPECT_EQ(log.exitStep, log.finishStep + 140);
        const int places = log.last[0].place + log.last[1].place;
        EXPECT_TRUE(places == 3 || places == 2) << "a winner, and a second unless a dead heat";
        if (r.headStart == 0) {
            // A race from the grid, close all the way: both cars finish, the second one
            // during the run-out, and keep the places of the first finish.
            EXPECT_EQ(log.last[0].finished, 1);
            EXPECT_EQ(log.last[1].finished, 1);
            EXPECT_EQ(log.last[0].laps + log.last[1].laps, 8);
        }
        hitsByComputer += log.hitsBy[1];
        hitsByScript += log.hitsBy[0];
        caughtUp += caught;
        wins += log.last[1].place == 1;
        overtakes += passed;
    }
    std::printf("[ 20 races ] the computer caught up %d times, passed %d times and won %d races; "
                "rear-end hits by the computer %d, by the scripted driver %d\n",
                caughtUp, overtakes, wins, hitsByComputer, hitsByScript);
    EXPECT_GE(caughtUp, 15) << "the races must bring the computer up behind the other car";
    EXPECT_GE(overtakes, 3) << "with room, it passes";
    EXPECT_LE(hitsByComputer, 4);
}

} // namespace
