// The platform layer without a window: palette conversion, the frame clock's arithmetic,
// where the picture goes in full screen, the key map, the key queue fed through SDL's real
// event queue, and game controllers made with SDL's virtual joysticks.
#include "sdltk.h"

#include "key_events.h"
#include "virtual_pad.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

// The VGA rule: each of red, green and blue is 0xAA when its bit is set, plus 0x55 for
// the bright half of the palette; colour 6 is brown rather than dark yellow.
uint32_t vgaRule(int i) {
    const int bright = (i & 8) ? 0x55 : 0;
    int r = ((i & 4) ? 0xAA : 0) + bright;
    int g = ((i & 2) ? 0xAA : 0) + bright;
    const int b = ((i & 1) ? 0xAA : 0) + bright;
    if (i == 6) g = 0x55;
    return 0xFF000000u | r << 16 | g << 8 | b;
}

TEST(Palette, FollowsTheVgaColourRule) {
    for (int i = 0; i < PALETTE_SIZE; ++i)
        EXPECT_EQ(vga16[i], vgaRule(i)) << "colour " << i;
}

TEST(Palette, OnlyTheLowFourBitsOfAPixelCount) {
    const unsigned char frame[] = {0x00, 0x0F, 0x10, 0x1F, 0x8C, 0xFF};
    uint32_t argb[6] = {};
    convertFrame(frame, argb, 6);
    EXPECT_EQ(argb[0], vga16[0]);
    EXPECT_EQ(argb[1], vga16[15]);
    EXPECT_EQ(argb[2], vga16[0]);  // 0x10 shows as black
    EXPECT_EQ(argb[3], vga16[15]); // 0x1F shows as white
    EXPECT_EQ(argb[4], vga16[12]);
    EXPECT_EQ(argb[5], vga16[15]);
}

TEST(FrameClock, WaitsUntilFiftyMillisecondsHavePassed) {
    struct Case {
        uint32_t now, ticker;
        bool wait;
    };
    const Case cases[] = {
        {1000, 1000, true},       {1049, 1000, true},        {1050, 1000, false},
        {1500, 1000, false},      {999, 1000, false}, // a clock behind the ticker never blocks
        {0x20, 0xFFFFFFF0, true}, {0x22, 0xFFFFFFF0, false}, // across the wrap of the ms clock
    };
    for (const Case& c : cases)
        EXPECT_EQ(frameMustWait(c.now, c.ticker), c.wait) << c.now << " vs " << c.ticker;
}

TEST(FrameClock, CatchesUpAfterAStallWithoutDrifting) {
    // The frame period began at 1000 and the game then stalled until 1500: the next ten
    // frames go out at once, then pacing resumes on the original 50 ms grid.
    uint32_t ticker = 1000;
    const uint32_t now = 1500;
    int immediate = 0;
    while (!frameMustWait(now, ticker)) {
        ticker += FRAME_MS;
        ++immediate;
    }
    EXPECT_EQ(immediate, 10);
    EXPECT_EQ(ticker % FRAME_MS, 0u);
}

TEST(FrameClock, CatchesUpAtMostTenFramesAndOtherwiseStartsAfresh) {
    struct Case {
        uint32_t now, ticker, next;
    };
    const Case cases[] = {
        {1050, 1000, 1050},              // on time: one period on
        {1054, 1000, 1050},              // a little late: still on the grid
        {1500, 1000, 1050},              // ten periods behind: caught up frame by frame
        {1549, 1000, 1050},              //
        {1550, 1000, 1550},              // eleven behind: from now on
        {4000, 1000, 4000},              // a 3 s stall
        {1000 + 3600000, 1000, 3601000}, // an hour's suspend
        {0x30, 0xFFFFFFF0, 0x22},        // across the wrap of the ms clock
        {0x1000, 0xFFFFF000, 0x1000},    // a long stall across the wrap
    };
    for (const Case& c : cases)
        EXPECT_EQ(nextFrameTicker(c.now, c.ticker), c.next) << c.now << " vs " << c.ticker;
}

// Runs flip's clock on a simulated millisecond clock: every frame takes 2 ms of work,
// then waits in 5 ms steps; the game stalls once, before frame 20. Returns how many
// frames in a row went out less than half a period after the one before.
int longestRunOfFastFrames(uint32_t start, uint32_t stallMs) {
    uint32_t now = start;
    uint32_t ticker = start;
    uint32_t presented = start;
    int run = 0, longest = 0;
    for (int frame = 0; frame < 200; ++frame) {
        if (frame == 20) now += stallMs;
        now += 2;
        while (frameMustWait(now, ticker))
            now += 5;
        ticker = nextFrameTicker(now, ticker);
        if (frame > 0) run = now - presented < FRAME_MS / 2 ? run + 1 : 0;
        longest = std::max(longest, run);
        presented = now;
    }
    // However it went, the game ends up paced at one frame per period again.
    EXPECT_FALSE(frameMustWait(now + FRAME_MS, ticker)) << "stall " << stallMs;
    EXPECT_TRUE(frameMustWait(now + 2, ticker)) << "stall " << stallMs;
    return longest;
}

TEST(FrameClock, NoRunOfFastFramesBeyondTenAfterAStall) {
    struct Case {
        uint32_t start, stallMs;
        int fewest, most;
    };
    const Case cases[] = {
        {1000, 0, 0, 0},          {1000, 200, 3, 4}, // short stalls are caught up, keeping the grid
        {1000, 500, 9, 10},                          // the catch-up at its largest
        {1000, 3000, 0, 1},                          // a window drag or a stall: no burst
        {1000, 3600000, 0, 1},                       // an hour's suspend: no 72,000 frames
        {0xFFFFFE00, 500, 9, 10},                    // across the wrap of the ms clock
        {0xFFFFFE00, 3000, 0, 1},
    };
    for (const Case& c : cases) {
        const int run = longestRunOfFastFrames(c.start, c.stallMs);
        EXPECT_GE(run, c.fewest) << "stall " << c.stallMs << " ms from " << c.start;
        EXPECT_LE(run, c.most) << "stall " << c.stallMs << " ms from " << c.start;
    }
}

TEST(FrameClock, AFrameHeldUpIsShownAtOnceAndTheNextOneAPeriodLater) {
    struct Case {
        uint32_t now, ticker, held;
    };
    const Case cases[] = {
        {1030, 1000, 1000},             // held within the period: the period stands
        {1050, 1000, 1000},             // exactly over: nothing to catch up
        {1051, 1000, 1001},             // over: the period ends now
        {1400, 1000, 1350},             // well over
        {0x20, 0xFFFFFFA0, 0xFFFFFFEE}, // across the wrap of the ms clock
    };
    for (const Case& c : cases)
        EXPECT_EQ(frameTickerAfterHold(c.now, c.ticker), c.held) << c.now << " vs " << c.ticker;

    // A network game's frames wait for the other machine now and then, up to 300 ms: the
    // frames after a wait must not hurry to catch up.
    uint32_t now = 5000, ticker = 5000, presented = 5000;
    int fast = 0;
    for (int frame = 0; frame < 400; ++frame) {
        now += 2 + (frame % 37 == 0 ? 300 : frame % 5 == 0 ? 70 : 0); // waits for keys
        ticker = frameTickerAfterHold(now, ticker);
        while (frameMustWait(now, ticker))
            now += 5;
        ticker = nextFrameTicker(now, ticker);
        if (now - presented < FRAME_MS / 2) ++fast;
        presented = now;
    }
    EXPECT_EQ(fast, 0) << "frames shown less than half a period after the one before";
}

TEST(FullScreen, ThePictureKeepsItsFourByThreeShapeCentredWithBars) {
    struct Case {
        int w, h;
        PixelRect fit;
    };
    const Case cases[] = {
        {640, 480, {0, 0, 640, 480}},       // the window: the whole of it
        {1920, 1080, {240, 0, 1440, 1080}}, // wide screens: bars left and right
        {1280, 720, {160, 0, 960, 720}},
        {3840, 2160, {480, 0, 2880, 2160}},
        {1366, 768, {171, 0, 1024, 768}},
        {2560, 1080, {560, 0, 1440, 1080}},
        {1280, 1024, {0, 32, 1280, 960}},  // 5:4: bars above and below
        {1080, 1920, {0, 555, 1080, 810}}, // a portrait screen
        {0, 0, {0, 0, 0, 0}},              // nothing to draw on
        {-5, 480, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const PixelRect r = fitPicture(c.w, c.h);
        EXPECT_EQ(std::vector<int>({r.x, r.y, r.w, r.h}),
                  std::vector<int>({c.fit.x, c.fit.y, c.fit.w, c.fit.h}))
            << c.w << "x" << c.h;
    }
}

TEST(FullScreen, AFailedSwitchSaysSoInOneLineAndStaysInTheWindow) {
    // Without a video subsystem SDL refuses every switch.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(setFullscreen(true));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(isFullscreen());
    EXPECT_EQ(said.rfind("zotik: cannot switch to full screen: ", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST(KeyMap, CIsTheComputerKeyAndTheSpaceBarStaysUnmapped) {
    EXPECT_EQ(keycodeToDos(SDLK_c), 0x2E);
    EXPECT_EQ(SC_C, 0x2E);
    EXPECT_EQ(keycodeToDos(SDLK_SPACE), 0);
}

TEST(KeyMap, MapsTheFourteenKeysToPcScanCodes) {
    const std::pair<int, int> map[] = {
        {SDLK_RETURN, 0x1C}, {SDLK_ESCAPE, 0x01}, {SDLK_w, 0x11},      {SDLK_s, 0x1F},
        {SDLK_a, 0x1E},      {SDLK_d, 0x20},      {SDLK_LSHIFT, 0x2A}, {SDLK_LCTRL, 0x1D},
        {SDLK_UP, 0xA8},     {SDLK_DOWN, 0xB0},   {SDLK_LEFT, 0xAB},   {SDLK_RIGHT, 0xAD},
        {SDLK_RSHIFT, 0x36}, {SDLK_RCTRL, 0x7D},
    };
    for (const auto& m : map)
        EXPECT_EQ(keycodeToDos(m.first), m.second) << m.first;
    for (int unmapped : {int(SDLK_SPACE), int(SDLK_q), int(SDLK_KP_ENTER), 0, -1})
        EXPECT_EQ(keycodeToDos(unmapped), 0) << unmapped;
}

// Feeds key events through SDL's own event queue and processEvents.
class KeyQueue : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_Quit(); }

    void SetUp() override { drain(); }
    void TearDown() override {
        // Leave every key up and the queue empty for the next test.
        for (SDL_Keycode k : {SDLK_w, SDLK_s, SDLK_a, SDLK_RETURN})
            pushKeyEvent(SDL_KEYUP, k);
        processEvents();
        drain();
        setQuit(false);
    }

    static void pushFocusLost() {
        SDL_Event e = {};
        e.type = SDL_WINDOWEVENT;
        e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }

    static std::vector<std::pair<int, int>> drain() {
        std::vector<std::pair<int, int>> events;
        unsigned char pressed, code;
        while (getKeyEvent(&pressed, &code))
            events.emplace_back(pressed, code);
        return events;
    }
};

using Events = std::vector<std::pair<int, int>>;

TEST_F(KeyQueue, AutoRepeatGivesOnePressAndReleaseGivesOneRelease) {
    pushKeyEvent(SDL_KEYDOWN, SDLK_w);
    pushKeyEvent(SDL_KEYDOWN, SDLK_w);
    pushKeyEvent(SDL_KEYDOWN, SDLK_w);
    processEvents();
    EXPECT_EQ(getKeyState(0x11), 1);
    EXPECT_EQ(drain(), (Events{{1, 0x11}}));
    pushKeyEvent(SDL_KEYUP, SDLK_w);
    pushKeyEvent(SDL_KEYUP, SDLK_w);
    processEvents();
    EXPECT_EQ(getKeyState(0x11), 0);
    EXPECT_EQ(drain(), (Events{{0, 0x11}}));
}

TEST_F(KeyQueue, PressAndReleaseBetweenFramesAreBothQueuedInOrder) {
    pushKeyEvent(SDL_KEYDOWN, SDLK_s);
    pushKeyEvent(SDL_KEYDOWN, SDLK_a);
    pushKeyEvent(SDL_KEYUP, SDLK_s);
    processEvents();
    EXPECT_EQ(getKeyState(0x1F), 0);
    EXPECT_EQ(getKeyState(0x1E), 1);
    EXPECT_EQ(drain(), (Events{{1, 0x1F}, {1, 0x1E}, {0, 0x1F}}));
}

TEST_F(KeyQueue, IgnoresUnmappedKeysAndReleasesOfKeysNeverSeenDown) {
    pushKeyEvent(SDL_KEYDOWN, SDLK_SPACE);
    pushKeyEvent(SDL_KEYUP, SDLK_SPACE);
    pushKeyEvent(SDL_KEYUP, SDLK_RETURN);
    processEvents();
    EXPECT_TRUE(drain().empty());
}

TEST_F(KeyQueue, EmptyQueueLeavesTheOutputsAlone) {
    unsigned char pressed = 0x5A, code = 0xA5;
    EXPECT_EQ(getKeyEvent(&pressed, &code), 0);
    EXPECT_EQ(keyb_get(&pressed, &code), 0);
    EXPECT_EQ(pressed, 0x5A);
    EXPECT_EQ(code, 0xA5);
}

TEST_F(KeyQueue, AFullQueueKeepsTheOldestEventsAndDropsTheNewest) {
    // 300 alternating presses and releases of W in one frame: the first 255 are kept,
    // in order, instead of the whole queue wrapping round to empty.
    for (int i = 0; i < 150; ++i) {
        pushKeyEvent(SDL_KEYDOWN, SDLK_w);
        pushKeyEvent(SDL_KEYUP, SDLK_w);
    }
    processEvents();
    const Events events = drain();
    ASSERT_EQ(events.size(), 255u);
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i], std::make_pair(i % 2 == 0 ? 1 : 0, 0x11)) << i;
    // The held-key table still follows every event.
    EXPECT_EQ(getKeyState(0x11), 0);
    // And the queue works normally afterwards.
    pushKeyEvent(SDL_KEYDOWN, SDLK_a);
    processEvents();
    EXPECT_EQ(drain(), (Events{{1, 0x1E}}));
}

TEST_F(KeyQueue, ClosingTheWindowSetsTheQuitFlag) {
    EXPECT_EQ(getQuit(), 0);
    SDL_Event e = {};
    e.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    processEvents();
    EXPECT_NE(getQuit(), 0);
    processEvents();
    EXPECT_NE(getQuit(), 0); // stays set
}

TEST_F(KeyQueue, AltEnterAndF11SwitchFullScreenWithoutReachingTheGame) {
    // Each switch key is tried once (and refused here, without video); none of them, nor
    // Alt, queues an event or counts as held. A plain Enter afterwards still does.
    testing::internal::CaptureStderr();
    pushKeyEvent(SDL_KEYDOWN, SDLK_LALT, KMOD_LALT);
    pushKeyEvent(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT);
    pushKeyEvent(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT, true); // auto-repeat: no second switch
    pushKeyEvent(SDL_KEYUP, SDLK_RETURN, KMOD_LALT);
    pushKeyEvent(SDL_KEYDOWN, SDLK_KP_ENTER, KMOD_RALT);
    pushKeyEvent(SDL_KEYUP, SDLK_KP_ENTER, KMOD_RALT);
    pushKeyEvent(SDL_KEYUP, SDLK_LALT, KMOD_NONE);
    pushKeyEvent(SDL_KEYDOWN, SDLK_F11, KMOD_NONE);
    pushKeyEvent(SDL_KEYDOWN, SDLK_F11, KMOD_NONE, true);
    pushKeyEvent(SDL_KEYUP, SDLK_F11, KMOD_NONE);
    processEvents();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 3) << said;
    EXPECT_TRUE(drain().empty());
    EXPECT_EQ(getKeyState(SC_ENTER), 0);

    // Enter held by the game stays the game's when Alt joins it (its repeats included).
    pushKeyEvent(SDL_KEYDOWN, SDLK_RETURN, KMOD_NONE);
    pushKeyEvent(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT, true);
    pushKeyEvent(SDL_KEYUP, SDLK_RETURN, KMOD_LALT);
    processEvents();
    EXPECT_EQ(drain(), (Events{{1, SC_ENTER}, {0, SC_ENTER}}));
}

TEST_F(KeyQueue, LosingTheFocusReleasesEveryHeldKey) {
    pushKeyEvent(SDL_KEYDOWN, SDLK_w);
    pushKeyEvent(SDL_KEYDOWN, SDLK_a);
    processEvents();
    drain();
    pushFocusLost();
    processEvents();
    EXPECT_EQ(drain(), (Events{{0, SC_W}, {0, SC_A}}));
    EXPECT_EQ(getKeyState(SC_W), 0);
    EXPECT_EQ(getKeyState(SC_A), 0);
    // The releases SDL itself sends, or that come after the focus returns, find the keys
    // already up.
    pushKeyEvent(SDL_KEYUP, SDLK_w);
    pushKeyEvent(SDL_KEYUP, SDLK_a);
    processEvents();
    EXPECT_TRUE(drain().empty());
}

std::vector<std::pair<int, int>> handed;
void recordKey(uint8_t pressed, uint8_t code) {
    handed.emplace_back(pressed, code);
}

TEST_F(KeyQueue, InANetworkGameTheKeysGoToTheHandlerAndOnlyAgreedOnesCount) {
    handed.clear();
    setKeyEventHandler(recordKey);
    pushKeyEvent(SDL_KEYDOWN, SDLK_w);
    pushKeyEvent(SDL_KEYDOWN, SDLK_w, KMOD_NONE, true); // auto-repeat
    pushKeyEvent(SDL_KEYDOWN, SDLK_a);
    pushKeyEvent(SDL_KEYUP, SDLK_a);
    processEvents();
    EXPECT_EQ(handed, (Events{{1, SC_W}, {1, SC_A}, {0, SC_A}})) << "in this machine's codes";
    EXPECT_TRUE(drain().empty()) << "nothing counts before both machines have it";
    EXPECT_EQ(getKeyState(SC_W), 0);

    applyKeyEvent(1, SC_UP); // what the machines agreed on
    EXPECT_EQ(drain(), (Events{{1, SC_UP}}));
    EXPECT_EQ(getKeyState(SC_UP), 1);

    clearKeys(); // the network game starts from nothing held
    applyKeyEvent(1, SC_D);
    clearKeys();
    EXPECT_EQ(getKeyState(SC_UP), 0);
    EXPECT_TRUE(drain().empty());

    setKeyEventHandler(nullptr);
    holdLocalKeys(); // back to this machine alone: W is still down on its keyboard
    EXPECT_EQ(getKeyState(SC_W), 1);
    EXPECT_EQ(getKeyState(SC_D), 0);
    EXPECT_TRUE(drain().empty());
    pushKeyEvent(SDL_KEYUP, SDLK_w);
    processEvents();
    EXPECT_EQ(drain(), (Events{{0, SC_W}})) << "and its release counts here again";
    EXPECT_EQ(handed.size(), 3u);
}

// ---------------------------------------------------------------------------------
// Game controllers
// ---------------------------------------------------------------------------------

// Virtual pads plugged into SDL's controller support, read through processEvents.
class Controllers : public KeyQueue {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
        ASSERT_TRUE(initControllers());
    }
    static void TearDownTestSuite() {
        deinitControllers();
        SDL_Quit();
    }
    void TearDown() override {
        KeyQueue::TearDown();
        // Every pad of the test is unplugged by now; the releases are not kept.
        processEvents();
        drain();
    }

    // Lets SDL deliver what the pads did, then takes the frame's key events.
    static Events frame() {
        processEvents();
        return drain();
    }
};

using Button = SDL_GameControllerButton;
using Axis = SDL_GameControllerAxis;

TEST_F(Controllers, EachPadHoldsExactlyItsPlayersKeys) {
    VirtualPad padA, padB;
    ASSERT_TRUE(padA.ok() && padB.ok()) << SDL_GetError();
    EXPECT_TRUE(frame().empty()) << "plugging in presses nothing";
    ASSERT_EQ(controllerOf(0), padA.id());
    ASSERT_EQ(controllerOf(1), padB.id());

    struct Input {
        const char* name;
        int button; // or -1 for an axis
        Axis axis;
        int value; // axis position while held
        uint8_t codeA, codeB;
    };
    const Axis none = SDL_CONTROLLER_AXIS_INVALID;
    const Input inputs[] = {
        {"D-pad up", SDL_CONTROLLER_BUTTON_DPAD_UP, none, 0, SC_W, SC_UP},
        {"D-pad down", SDL_CONTROLLER_BUTTON_DPAD_DOWN, none, 0, SC_S, SC_DOWN},
        {"D-pad left", SDL_CONTROLLER_BUTTON_DPAD_LEFT, none, 0, SC_A, SC_LEFT},
        {"D-pad right", SDL_CONTROLLER_BUTTON_DPAD_RIGHT, none, 0, SC_D, SC_RIGHT},
        {"A accelerates", SDL_CONTROLLER_BUTTON_A, none, 0, SC_LSHIFT, SC_RSHIFT},
        {"X brakes", SDL_CONTROLLER_BUTTON_X, none, 0, SC_LCTRL, SC_RCTRL},
        {"Y is C, for the computer", SDL_CONTROLLER_BUTTON_Y, none, 0, SC_C, SC_C},
        {"Start is Enter", SDL_CONTROLLER_BUTTON_START, none, 0, SC_ENTER, SC_ENTER},
        {"Back is Escape", SDL_CONTROLLER_BUTTON_BACK, none, 0, SC_ESCAPE, SC_ESCAPE},
        {"stick left", -1, SDL_CONTROLLER_AXIS_LEFTX, SDL_JOYSTICK_AXIS_MIN, SC_A, SC_LEFT},
        {"stick right", -1, SDL_CONTROLLER_AXIS_LEFTX, SDL_JOYSTICK_AXIS_MAX, SC_D, SC_RIGHT},
        {"stick up", -1, SDL_CONTROLLER_AXIS_LEFTY, SDL_JOYSTICK_AXIS_MIN, SC_W, SC_UP},
        {"stick down", -1, SDL_CONTROLLER_AXIS_LEFTY, SDL_JOYSTICK_AXIS_MAX, SC_S, SC_DOWN},
        {"right trigger accelerates", -1, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MAX,
         SC_LSHIFT, SC_RSHIFT},
        {"left trigger brakes", -1, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_JOYSTICK_AXIS_MAX,
         SC_LCTRL, SC_RCTRL},
    };
    auto set = [](VirtualPad& pad, const Input& in, bool held) {
        if (in.button >= 0)
            pad.button(static_cast<Button>(in.button), held);
        else if (in.axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT ||
                 in.axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT)
            pad.trigger(in.axis, held ? in.value : 0);
        else
            pad.stick(in.axis, held ? in.value : 0);
    };
    for (const Input& in : inputs) {
        SCOPED_TRACE(in.name);
        set(padA, in, true);
        EXPECT_EQ(frame(), (Events{{1, in.codeA}}));
        EXPECT_EQ(getKeyState(in.codeA), 1);
        set(padA, in, false);
        EXPECT_EQ(frame(), (Events{{0, in.codeA}}));
        set(padB, in, true);
        EXPECT_EQ(frame(), (Events{{1, in.codeB}}));
        EXPECT_EQ(getKeyState(in.codeB), 1);
        set(padB, in, false);
        EXPECT_EQ(frame(), (Events{{0, in.codeB}}));
        EXPECT_EQ(getKeyState(in.codeB), 0);
    }

    // The rest of the pad has no part in the game.
    for (Button b : {SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_LEFTSHOULDER,
                     SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_LEFTSTICK,
                     SDL_CONTROLLER_BUTTON_GUIDE})
        padA.button(b, true);
    padA.stick(SDL_CONTROLLER_AXIS_RIGHTX, SDL_JOYSTICK_AXIS_MIN);
    padA.stick(SDL_CONTROLLER_AXIS_RIGHTY, SDL_JOYSTICK_AXIS_MAX);
    EXPECT_TRUE(frame().empty());
}

TEST_F(Controllers, SticksAndTriggersHaveADeadZoneAndPressOncePerMovement) {
    VirtualPad pad;
    ASSERT_TRUE(pad.ok()) << SDL_GetError();
    frame();
    struct Step {
        bool trigger;
        int value;
        Events events;
    };
    const Axis stick = SDL_CONTROLLER_AXIS_LEFTX;
    const Axis trigger = SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
    const Step steps[] = {
        {false, 3000, {}},              // resting wobble
        {false, STICK_PRESS - 400, {}}, // not yet a deliberate push
        {false, 24000, {{1, SC_D}}},
        {false, STICK_RELEASE + 800, {}}, // eased off, yet still held: no chatter
        {false, 30000, {}},
        {false, STICK_RELEASE - 800, {{0, SC_D}}},
        {false, STICK_PRESS - 400, {}}, // the same half-push again presses nothing
        {false, SDL_JOYSTICK_AXIS_MIN, {{1, SC_A}}},
        // Flicked across: left lets go first.
        {false, SDL_JOYSTICK_AXIS_MAX, {{0, SC_A}, {1, SC_D}}},
        {false, 0, {{0, SC_D}}},
        {true, 2000, {}},
        {true, TRIGGER_PRESS + 600, {{1, SC_LSHIFT}}},
        {true, TRIGGER_RELEASE + 600, {}},
        {true, SDL_JOYSTICK_AXIS_MAX, {}},
        {true, TRIGGER_RELEASE - 600, {{0, SC_LSHIFT}}},
        {true, 0, {}},
    };
    for (const Step& step : steps) {
        if (step.trigger)
            pad.trigger(trigger, step.value);
        else
            pad.stick(stick, step.value);
        EXPECT_EQ(frame(), step.events) << (step.trigger ? "trigger " : "stick ") << step.value;
    }
}

TEST_F(Controllers, KeyboardAndPadHoldAKeyTogether) {
    VirtualPad pad;
    ASSERT_TRUE(pad.ok()) << SDL_GetError();
    frame();
    // Keyboard first: the pad joining and leaving changes nothing.
    pushKeyEvent(SDL_KEYDOWN, SDLK_w);
    EXPECT_EQ(frame(), (Events{{1, SC_W}}));
    pad.button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    EXPECT_TRUE(frame().empty());
    pushKeyEvent(SDL_KEYUP, SDLK_w);
    EXPECT_TRUE(frame().empty());
    EXPECT_EQ(getKeyState(SC_W), 1) << "the pad still holds W";
    pad.button(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
    EXPECT_EQ(frame(), (Events{{0, SC_W}}));

    // Pad first, and two of its inputs on one key: released when the last lets go.
    pad.stick(SDL_CONTROLLER_AXIS_LEFTX, SDL_JOYSTICK_AXIS_MIN);
    EXPECT_EQ(frame(), (Events{{1, SC_A}}));
    pad.button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    pushKeyEvent(SDL_KEYDOWN, SDLK_a);
    EXPECT_TRUE(frame().empty());
    pad.stick(SDL_CONTROLLER_AXIS_LEFTX, 0);
    pad.button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    EXPECT_TRUE(frame().empty());
    EXPECT_EQ(getKeyState(SC_A), 1) << "the keyboard still holds A";
    pushKeyEvent(SDL_KEYUP, SDLK_a);
    EXPECT_EQ(frame(), (Events{{0, SC_A}}));
}

TEST_F(Controllers, UnpluggingReleasesEverythingThePadHeld) {
    VirtualPad pad;
    ASSERT_TRUE(pad.ok()) << SDL_GetError();
    frame();
    pad.trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MAX);
    pad.stick(SDL_CONTROLLER_AXIS_LEFTX, SDL_JOYSTICK_AXIS_MIN);
    pad.button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    pushKeyEvent(SDL_KEYDOWN, SDLK_w);
    Events held = frame();
    std::sort(held.begin(), held.end());
    EXPECT_EQ(held, (Events{{1, SC_W}, {1, SC_A}, {1, SC_LSHIFT}}));

    pad.unplug();
    Events released = frame();
    std::sort(released.begin(), released.end());
    EXPECT_EQ(released, (Events{{0, SC_A}, {0, SC_LSHIFT}}));
    EXPECT_EQ(controllerOf(0), -1);
    EXPECT_EQ(getKeyState(SC_W), 1) << "the keyboard's W stays held";
    EXPECT_EQ(getKeyState(SC_A), 0);
    EXPECT_EQ(getKeyState(SC_LSHIFT), 0);

    VirtualPad idle;
    ASSERT_TRUE(idle.ok()) << SDL_GetError();
    frame();
    idle.unplug();
    EXPECT_TRUE(frame().empty()) << "an idle pad goes without a word";
}

TEST_F(Controllers, TheFirstTwoPadsDriveAAndBAndAThirdWaitsForAFreeSeat) {
    VirtualPad first, second;
    auto third = std::make_unique<VirtualPad>();
    ASSERT_TRUE(first.ok() && second.ok() && third->ok()) << SDL_GetError();
    frame();
    EXPECT_EQ(controllerOf(0), first.id());
    EXPECT_EQ(controllerOf(1), second.id());
    third->button(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_TRUE(frame().empty()) << "a third pad drives nobody";
    third->button(SDL_CONTROLLER_BUTTON_START, false);
    frame();

    // Player A's pad goes; the waiting one takes its place, B keeps its own.
    first.unplug();
    frame();
    EXPECT_EQ(controllerOf(0), third->id());
    EXPECT_EQ(controllerOf(1), second.id());
    third->button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    EXPECT_EQ(frame(), (Events{{1, SC_D}}));
    third->button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    frame();

    // With A's seat empty, the next pad plugged in takes it.
    third.reset();
    frame();
    EXPECT_EQ(controllerOf(0), -1);
    VirtualPad fourth;
    ASSERT_TRUE(fourth.ok()) << SDL_GetError();
    frame();
    EXPECT_EQ(controllerOf(0), fourth.id());
    EXPECT_EQ(controllerOf(1), second.id());
}

TEST_F(Controllers, LosingTheFocusReleasesWhatThePadsHold) {
    VirtualPad padA, padB;
    ASSERT_TRUE(padA.ok() && padB.ok()) << SDL_GetError();
    frame();
    padA.trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MAX);
    padB.button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    pushKeyEvent(SDL_KEYDOWN, SDLK_s);
    EXPECT_EQ(frame().size(), 3u);

    pushFocusLost();
    Events released = frame();
    std::sort(released.begin(), released.end());
    EXPECT_EQ(released, (Events{{0, SC_S}, {0, SC_LSHIFT}, {0, SC_LEFT}}));
    // Let go of in the other window: nothing more. Pressed anew: held again.
    padB.button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    EXPECT_TRUE(frame().empty());
    padB.button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    EXPECT_EQ(frame(), (Events{{1, SC_LEFT}}));
    padB.button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    padA.trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0);
    EXPECT_EQ(frame(), (Events{{0, SC_LEFT}}));
}

} // namespace
