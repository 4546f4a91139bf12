// The game shell: command line, build date, start-up data and race set-up.
#include "main.h"

#include "assets.h"
#include "opl.h"
#include "sim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct ParseResult {
    bool ok;
    Options opts;
    std::string printed;
};

ParseResult parse(std::vector<std::string> args) {
    args.insert(args.begin(), "zotik");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    ParseResult r;
    testing::internal::CaptureStdout();
    r.ok = parseCommandLine(static_cast<int>(argv.size()), argv.data(), r.opts);
    r.printed = testing::internal::GetCapturedStdout();
    return r;
}

TEST(CommandLine, ReadsSoundOptionsAndPortNumbers) {
    struct Case {
        std::vector<std::string> args;
        unsigned short port;
        int sound;
    };
    const Case cases[] = {
        {{}, 0x388, 1},
        {{"-mute"}, 0x388, 0},
        {{"-a220"}, 0x220, 1},
        {{"-a0x220"}, 0x220, 1},
        {{"-a12345"}, 0x2345, 1}, // truncated to 16 bits
        {{"-azz"}, 0x388, 1},     // no digits: port unchanged
        {{"-a"}, 0x388, 1},
        {{"-abc"}, 0xBC, 1},                    // a port, not an unknown argument
        {{"-a220", "-azz", "-mute"}, 0x220, 0}, // later arguments keep earlier ones
        {{"-a220", "-a330"}, 0x330, 1},
        {{"-affffffffffffffffffffffff"}, 0xFFFF, 1}, // overflow is safe
    };
    for (const Case& c : cases) {
        const ParseResult r = parse(c.args);
        std::string joined;
        for (const std::string& a : c.args)
            joined += a + " ";
        EXPECT_TRUE(r.ok) << joined;
        EXPECT_EQ(r.opts.port, c.port) << joined;
        EXPECT_EQ(r.opts.soundEnabled, c.sound) << joined;
        EXPECT_EQ(r.printed, "") << joined;
    }
}

TEST(CommandLine, RejectsAnythingElseWithTheUnknownArgumentMessage) {
    for (const char* arg : {"-x", "-mutex", "-swapped", "mute", "", "-A220", "--mute"}) {
        const ParseResult r = parse({"-mute", arg, "-a220"});
        EXPECT_FALSE(r.ok) << arg;
        EXPECT_EQ(r.printed, std::string("Unknown argument '") + arg + "'\n");
        EXPECT_EQ(r.opts.port, 0x388) << "stops at the unknown argument";
    }
}

TEST(CommandLine, SwapExchangesTheSpeakersAtOnce) {
    ASSERT_EQ(OPL_left, 0x10);
    ASSERT_EQ(OPL_right, 0x20);
    const ParseResult r = parse({"-swap", "-x"});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(OPL_left, 0x20) << "swapped before the unknown argument was seen";
    EXPECT_EQ(OPL_right, 0x10);
    OPL_left = 0x10;
    OPL_right = 0x20;
}

TEST(BuildDate, IsEightDigitsWithTheDayZeroPadded) {
    struct Case {
        const char* compiler;
        const char* expected;
    };
    const Case cases[] = {
        {"Dec  9 2026", "20261209"}, {"Jan 31 2027", "20270131"}, {"Feb  1 2030", "20300201"},
        {"Mar 10 2026", "20260310"}, {"Apr 15 2026", "20260415"}, {"May  5 2026", "20260505"},
        {"Jun 30 2026", "20260630"}, {"Jul  4 2026", "20260704"}, {"Aug 22 2026", "20260822"},
        {"Sep 19 2026", "20260919"}, {"Oct  1 2026", "20261001"}, {"Nov 11 2026", "20261111"},
    };
    for (const Case& c : cases) {
        char out[9];
        std::memset(out, 'x', sizeof out);
        formatBuildDate(c.compiler, out);
        EXPECT_STREQ(out, c.expected) << c.compiler;
    }
    char today[9];
    getBuildDate(today);
    ASSERT_EQ(std::strlen(today), 8u);
    for (char ch : std::string(today))
        EXPECT_TRUE(ch >= '0' && ch <= '9') << today;
}

// initData builds everything once for the whole suite.
class Shell : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { initData(); }
};

TEST_F(Shell, InitDataExpandsTheThreeTracks) {
    EXPECT_EQ(boulTrack.size, 510u);
    EXPECT_EQ(suburbTrack.size, 754u);
    EXPECT_EQ(ironTrack.size, 745u);
    EXPECT_NE(backgs[0], nullptr);
    EXPECT_NE(menuPix[18], nullptr);
}

TEST_F(Shell, RaceSetUpTakesTheChosenTrackAndStartsBothCarsSideBySide) {
    std::vector<unsigned char> fb(SCREEN_BYTES, 0x55);
    const Track* tracks[3] = {&boulTrack, &suburbTrack, &ironTrack};
    for (int t = 0; t < 3; ++t) {
        menuSelTrack = t;
        menuSelCar[0] = t;
        menuSelCar[1] = 2 - t;
        setupRace(fb.data());
        EXPECT_EQ(track, tracks[t]->steps);
        EXPECT_EQ(trackSize, tracks[t]->size);
        EXPECT_EQ(backg, backgs[t].get());
        for (const Player* p : {&playerA, &playerB}) {
            EXPECT_EQ(p->laps, 0);
            EXPECT_EQ(p->steer, 0);
            EXPECT_EQ(p->place, 0);
            EXPECT_EQ(p->speed, 0.0f);
            EXPECT_EQ(p->z, -5.0f);
        }
        EXPECT_EQ(std::abs(playerA.x), 2.0f);
        EXPECT_EQ(playerB.x, -playerA.x) << "the cars start on opposite sides";
        EXPECT_EQ(getLights(), 1);
        EXPECT_EQ(getExitToMenu(), 0);
        // The framebuffer is cleared and the two dashboard panels are drawn.
        EXPECT_EQ(fb[0], 0);
        EXPECT_EQ(fb[159], 0);
        for (int y = 0; y < HUD_H; ++y) {
            EXPECT_EQ(0, std::memcmp(&fb[(156 + y) * SCREEN_W + 30], &hudData[y * HUD_W], HUD_W));
            EXPECT_EQ(0, std::memcmp(&fb[(156 + y) * SCREEN_W + 191], &hudData[y * HUD_W], HUD_W));
        }
    }
    menuSelTrack = 0;
    menuSelCar[0] = menuSelCar[1] = 0;
}

TEST_F(Shell, RaceSetUpHandsPlayerBToTheComputerWhenTheMenuSaysSo) {
    std::vector<unsigned char> fb(SCREEN_BYTES, 0x55);
    for (int computer : {1, 0, 1, 0}) {
        menuComputerB = computer;
        setupRace(fb.data());
        EXPECT_EQ(isComputerDriver(1), computer != 0);
        EXPECT_FALSE(isComputerDriver(0)) << "player A always drives from the keys";
    }
}

} // namespace
