// The game shell: command line, build date, start-up data and race set-up.
#include "main.h"

#include "assets.h"
#include "key_events.h"
#include "opl.h"
#include "race_driver.h"
#include "sdltk.h"
#include "sim.h"
#include "virtual_pad.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
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

TEST(CommandLine, ReadsTheNetworkOptions) {
    struct Case {
        std::vector<std::string> args;
        NetRole role;
        uint16_t port;
        std::string address;
        int sound;
    };
    const Case cases[] = {
        {{}, NET_LOCAL, NET_PORT_DEFAULT, "", 1},
        {{"-host"}, NET_HOST, NET_PORT_DEFAULT, "", 1},
        {{"-host", "5000"}, NET_HOST, 5000, "", 1},
        {{"-host", "-mute"}, NET_HOST, NET_PORT_DEFAULT, "", 0}, // no port: the next option
        {{"-host", "65535"}, NET_HOST, 65535, "", 1},
        {{"-join", "192.168.1.20"}, NET_JOIN, NET_PORT_DEFAULT, "192.168.1.20", 1},
        {{"-join", "192.168.1.20:5000", "-mute"}, NET_JOIN, 5000, "192.168.1.20", 0},
        {{"-join", "racer.local:1"}, NET_JOIN, 1, "racer.local", 1},
        {{"-host", "-join", "10.0.0.2"}, NET_JOIN, NET_PORT_DEFAULT, "10.0.0.2", 1}, // later wins
    };
    for (const Case& c : cases) {
        const ParseResult r = parse(c.args);
        std::string joined;
        for (const std::string& a : c.args)
            joined += a + " ";
        EXPECT_TRUE(r.ok) << joined;
        EXPECT_EQ(r.printed, "") << joined;
        EXPECT_EQ(r.opts.netRole, c.role) << joined;
        EXPECT_EQ(r.opts.netPort, c.port) << joined;
        EXPECT_EQ(r.opts.joinAddress, c.address) << joined;
        EXPECT_EQ(r.opts.soundEnabled, c.sound) << joined;
    }
}

TEST(CommandLine, AMalformedNetworkOptionSaysWhatIsWrongAndHowToWriteIt) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"-host", "0"}, "Bad port '0' after -host"},
        {{"-host", "65536"}, "Bad port '65536' after -host"},
        {{"-host", "12ab"}, "Bad port '12ab' after -host"},
        {{"-host", "99999999999999999999"}, "Bad port '99999999999999999999' after -host"},
        {{"-join"}, "-join needs the host's address"},
        {{"-join", "-mute"}, "-join needs the host's address"},
        {{"-join", ""}, "-join needs the host's address"},
        {{"-join", "10.0.0.2:"}, "Bad address '10.0.0.2:' after -join"},
        {{"-join", "10.0.0.2:x"}, "Bad address '10.0.0.2:x' after -join"},
        {{"-join", "10.0.0.2:70000"}, "Bad address '10.0.0.2:70000' after -join"},
        {{"-join", ":5000"}, "Bad address ':5000' after -join"},
    };
    for (const Case& c : cases) {
        const ParseResult r = parse(c.args);
        EXPECT_FALSE(r.ok) << c.says;
        EXPECT_EQ(r.printed.rfind(c.says, 0), 0u) << r.printed;
        EXPECT_NE(r.printed.find("zotik -join <address>[:port]"), std::string::npos)
            << "the usage follows: " << r.printed;
    }
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
        EXPECT_EQ(track, tracks[t]->steps.get());
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
            const int row = (VIEW_LAYOUT.hud.y + y) * SCREEN_W + VIEW_LAYOUT.hud.x;
            EXPECT_EQ(0, std::memcmp(&fb[row], &hudData[y * HUD_W], HUD_W));
            EXPECT_EQ(0, std::memcmp(&fb[row + RIGHT_VIEW_OFFSET], &hudData[y * HUD_W], HUD_W));
        }
    }
    menuSelTrack = 0;
    menuSelCar[0] = menuSelCar[1] = 0;
}

TEST_F(Shell, TheStateTwoMachinesCompareCoversMenuCarsRaceAndHeldKeys) {
    std::vector<unsigned char> fb(SCREEN_BYTES);
    menuSelTrack = 1;
    setupRace(fb.data());
    clearKeys();
    const uint64_t start = gameStateHash(PHASE_RACE);
    EXPECT_EQ(gameStateHash(PHASE_RACE), start) << "the same state, the same hash";
    EXPECT_NE(gameStateHash(PHASE_MENU), start);
    struct Change {
        const char* what;
        void (*apply)();
    };
    const Change changes[] = {
        {"the track chosen", [] { menuSelTrack = 2; }},
        {"player B's car", [] { menuSelCar[1] = (menuSelCar[1] + 1) % 3; }},
        {"a confirmation", [] { carSelected[0] = 1; }},
        {"the menu stage", [] { trackSelected = 1; }},
        {"the computer driver", [] { menuComputerB = 1; }},
        {"player A's position across the road", [] { playerA.x += 0.001f; }},
        {"player B's speed", [] { playerB.speed = 3.0f; }},
        {"player B's laps", [] { playerB.laps = 2; }},
        {"the race's clock", [] { stateTick += 1; }},
        {"the start lights", [] { simLights = 3; }},
        {"a held key", [] { applyKeyEvent(1, SC_UP); }},
    };
    for (const Change& c : changes) {
        const Player a = playerA, b = playerB;
        const int selTrack = menuSelTrack, selCar = menuSelCar[1], tick = stateTick;
        const int lights = simLights;
        c.apply();
        EXPECT_NE(gameStateHash(PHASE_RACE), start) << c.what;
        playerA = a;
        playerB = b;
        menuSelTrack = selTrack;
        menuSelCar[1] = selCar;
        carSelected[0] = 0;
        trackSelected = 0;
        menuComputerB = 0;
        stateTick = tick;
        simLights = lights;
        clearKeys();
        ASSERT_EQ(gameStateHash(PHASE_RACE), start) << c.what << " put back";
    }
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

// SDL's event queue with controller support, for as long as a test needs it.
struct ControllerSupport {
    ControllerSupport() { ok = SDL_Init(SDL_INIT_EVENTS) == 0 && initControllers(); }
    ~ControllerSupport() {
        deinitControllers();
        SDL_Quit();
    }
    bool ok;
};

// Plays as the game shell would, without a window: each frame the players work their
// pads, then processEvents and the frame's own key handling.
TEST_F(Shell, TwoControllersChooseAndRaceAWholeRace) {
    ControllerSupport sdl;
    ASSERT_TRUE(sdl.ok) << SDL_GetError();
    VirtualPad padA, padB;
    ASSERT_TRUE(padA.ok() && padB.ok()) << SDL_GetError();

    // The menu, entered as the game shell enters it.
    menuSelTrack = 0;
    menuSelCar[0] = menuSelCar[1] = 0;
    trackSelected = carSelected[0] = carSelected[1] = 0;
    resetMenuKeys();
    auto menuFrame = [] {
        processEvents();
        processMenuKeys();
    };
    menuFrame();
    auto tap = [&](VirtualPad& pad, SDL_GameControllerButton b) {
        pad.button(b, true);
        menuFrame();
        pad.button(b, false);
        menuFrame();
    };
    auto flickDown = [&](VirtualPad& pad) {
        pad.stick(SDL_CONTROLLER_AXIS_LEFTY, SDL_JOYSTICK_AXIS_MAX);
        menuFrame();
        pad.stick(SDL_CONTROLLER_AXIS_LEFTY, 0);
        menuFrame();
    };
    flickDown(padB);                            // boul -> suburb
    tap(padA, SDL_CONTROLLER_BUTTON_DPAD_DOWN); // suburb -> iron
    tap(padA, SDL_CONTROLLER_BUTTON_DPAD_UP);   // back to suburb
    EXPECT_EQ(menuSelTrack, 1);
    EXPECT_EQ(trackSelected, 0);
    tap(padA, SDL_CONTROLLER_BUTTON_DPAD_RIGHT); // A confirms the track, as D does
    ASSERT_EQ(trackSelected, 1);
    tap(padA, SDL_CONTROLLER_BUTTON_DPAD_DOWN); // A: trabant
    flickDown(padB);                            // B: trabant
    flickDown(padB);                            // B: beetle
    tap(padA, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    EXPECT_EQ(carSelected[0], 1);
    EXPECT_EQ(carSelected[1], 0);
    tap(padB, SDL_CONTROLLER_BUTTON_BACK); // Back is Escape: to the tracks
    EXPECT_EQ(trackSelected, 0);
    EXPECT_EQ(getQuit(), 0);
    tap(padB, SDL_CONTROLLER_BUTTON_START); // Start is Enter: the track again
    tap(padB, SDL_CONTROLLER_BUTTON_START); // and both cars at once
    ASSERT_TRUE(carSelected[0] && carSelected[1]);
    EXPECT_EQ(menuSelCar[0], 1);
    EXPECT_EQ(menuSelCar[1], 2);

    // The race: A on the stick and triggers, B on the D-pad and face buttons. A stick
    // cannot hold left and right at once, so a driver who wants to hold its steering lets
    // go and catches it again, as a player on a pad does.
    std::vector<unsigned char> fb(SCREEN_BYTES);
    setupRace(fb.data());
    ASSERT_EQ(track, suburbTrack.steps.get());
    const RaceDriver driverA = {-0.5f, 9.0f}, driverB = {0.5f, 8.5f};
    int frames = 0;
    bool escaped = false;
    for (; frames < 20 * 60 * 10 && !getExitToMenu() && !escaped; ++frames) {
        const DriverKeys a = driverA.decide(playerA, track, trackSize);
        padA.trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, a.accelerate ? SDL_JOYSTICK_AXIS_MAX : 0);
        padA.trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, a.brake ? SDL_JOYSTICK_AXIS_MAX : 0);
        const int steer = a.left ? SDL_JOYSTICK_AXIS_MIN : SDL_JOYSTICK_AXIS_MAX;
        padA.stick(SDL_CONTROLLER_AXIS_LEFTX, a.left == a.right ? 0 : steer);
        const DriverKeys b = driverB.decide(playerB, track, trackSize);
        padB.button(SDL_CONTROLLER_BUTTON_A, b.accelerate);
        padB.button(SDL_CONTROLLER_BUTTON_X, b.brake);
        padB.button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, b.left && !b.right);
        padB.button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, b.right && !b.left);

        processEvents();
        unsigned char pressed, code;
        while (getKeyEvent(&pressed, &code))
            escaped |= !pressed && code == SC_ESCAPE;
        simStep(playerA, playerB, track, trackSize);
    }
    EXPECT_FALSE(escaped);
    ASSERT_TRUE(getExitToMenu()) << "no return to the menu after " << frames << " frames";
    EXPECT_EQ(playerA.place + playerB.place, 3) << "a winner and a second";
    const Player& winner = playerA.place == 1 ? playerA : playerB;
    const Player& second = playerA.place == 1 ? playerB : playerA;
    EXPECT_EQ(winner.laps, 4) << "three whole laps";
    EXPECT_GE(second.laps, 3) << "the second car was driven too, into its last lap at least";
    std::printf("[ pads ] race over after %.1f s, won by player %c, the other on lap %d\n",
                frames / 20.0, playerA.place == 1 ? 'A' : 'B', second.laps);

    // Unplugged at the end of the run-out: nothing stays held.
    padA.unplug();
    padB.unplug();
    processEvents();
    for (uint8_t code : {SC_LSHIFT, SC_LCTRL, SC_A, SC_D, SC_RSHIFT, SC_RCTRL, SC_LEFT, SC_RIGHT})
        EXPECT_EQ(getKeyState(code), 0) << int(code);
    menuSelTrack = 0;
    menuSelCar[0] = menuSelCar[1] = 0;
}

// One player with one controller and no keyboard: the track, the computer for player B
// (Y), then the car, and the race is set up against the computer.
TEST_F(Shell, APlayerAloneWithAControllerChoosesTheComputer) {
    ControllerSupport sdl;
    ASSERT_TRUE(sdl.ok) << SDL_GetError();
    VirtualPad pad;
    ASSERT_TRUE(pad.ok()) << SDL_GetError();
    menuSelTrack = 0;
    menuSelCar[0] = menuSelCar[1] = 0;
    trackSelected = carSelected[0] = carSelected[1] = 0;
    menuComputerB = 0;
    resetMenuKeys();
    auto tap = [&](SDL_GameControllerButton b) {
        pad.button(b, true);
        processEvents();
        processMenuKeys();
        pad.button(b, false);
        processEvents();
        processMenuKeys();
    };
    processEvents();
    tap(SDL_CONTROLLER_BUTTON_START); // the track
    ASSERT_EQ(trackSelected, 1);
    tap(SDL_CONTROLLER_BUTTON_Y); // the computer takes B, another car than A's
    EXPECT_EQ(menuComputerB, 1);
    EXPECT_EQ(carSelected[1], 1);
    EXPECT_NE(menuSelCar[1], menuSelCar[0]);
    EXPECT_EQ(carSelected[0], 0) << "A still chooses";
    tap(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    tap(SDL_CONTROLLER_BUTTON_DPAD_RIGHT); // A confirms the trabant
    ASSERT_TRUE(carSelected[0] && carSelected[1]);
    EXPECT_EQ(menuSelCar[0], 1);

    std::vector<unsigned char> fb(SCREEN_BYTES);
    setupRace(fb.data());
    EXPECT_TRUE(isComputerDriver(1));

    pad.unplug();
    processEvents();
    menuComputerB = 0;
    setComputerDriver(1, false);
    menuSelCar[0] = menuSelCar[1] = 0;
}

// With the computer on B, whatever player B holds, on the keyboard or on the second pad,
// reaches the held-key table but not the race: B's car goes exactly as it goes untouched.
TEST_F(Shell, WhileTheComputerDrivesBPlayerBsKeysAndPadDoNothingInTheRace) {
    ControllerSupport sdl;
    ASSERT_TRUE(sdl.ok) << SDL_GetError();
    VirtualPad padA, padB;
    ASSERT_TRUE(padA.ok() && padB.ok()) << SDL_GetError();
    const SDL_Keycode bKeys[] = {SDLK_DOWN, SDLK_LEFT, SDLK_RCTRL};
    const SDL_GameControllerButton bButtons[] = {SDL_CONTROLLER_BUTTON_X,
                                                 SDL_CONTROLLER_BUTTON_DPAD_LEFT};

    menuSelTrack = 2;
    menuSelCar[0] = 0;
    menuSelCar[1] = 1;
    menuComputerB = 1;
    std::vector<unsigned char> fb(SCREEN_BYTES);
    auto race = [&](bool bHolds) {
        for (SDL_Keycode k : bKeys)
            pushKeyEvent(bHolds ? SDL_KEYDOWN : SDL_KEYUP, k);
        for (SDL_GameControllerButton b : bButtons)
            padB.button(b, bHolds);
        processEvents();
        EXPECT_EQ(getKeyState(SC_DOWN) != 0, bHolds);
        EXPECT_EQ(getKeyState(SC_RCTRL) != 0, bHolds) << "pad B's X brakes as right Ctrl";
        std::srand(7); // the same sides of the grid both times
        setupRace(fb.data());
        EXPECT_TRUE(isComputerDriver(1));
        std::vector<Player> trail;
        for (int frame = 0; frame < 400; ++frame) {
            padA.trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MAX);
            processEvents();
            unsigned char pressed, code;
            while (getKeyEvent(&pressed, &code)) {
            }
            simStep(playerA, playerB, track, trackSize);
            trail.push_back(playerB);
        }
        return trail;
    };
    const std::vector<Player> untouched = race(false);
    const std::vector<Player> held = race(true);
    ASSERT_EQ(untouched.size(), held.size());
    EXPECT_EQ(std::memcmp(untouched.data(), held.data(), held.size() * sizeof(Player)), 0);
    EXPECT_GT(held.back().z, 100.0f) << "the computer drove B away from the grid";

    for (SDL_Keycode k : bKeys)
        pushKeyEvent(SDL_KEYUP, k);
    padA.unplug();
    padB.unplug();
    processEvents();
    menuComputerB = 0;
    setComputerDriver(1, false);
    menuSelTrack = 0;
    menuSelCar[0] = menuSelCar[1] = 0;
}

} // namespace
