// The platform layer without a window: palette conversion, the frame clock's arithmetic,
// the key map, and the key queue fed through SDL's real event queue.
#include "sdltk.h"

#include <SDL.h>
#include <gtest/gtest.h>

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
            push(SDL_KEYUP, k);
        processEvents();
        drain();
        setQuit(false);
    }

    static void push(Uint32 type, SDL_Keycode sym) {
        SDL_Event e = {};
        e.type = type;
        e.key.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = sym;
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
    push(SDL_KEYDOWN, SDLK_w);
    push(SDL_KEYDOWN, SDLK_w);
    push(SDL_KEYDOWN, SDLK_w);
    processEvents();
    EXPECT_EQ(getKeyState(0x11), 1);
    EXPECT_EQ(drain(), (Events{{1, 0x11}}));
    push(SDL_KEYUP, SDLK_w);
    push(SDL_KEYUP, SDLK_w);
    processEvents();
    EXPECT_EQ(getKeyState(0x11), 0);
    EXPECT_EQ(drain(), (Events{{0, 0x11}}));
}

TEST_F(KeyQueue, PressAndReleaseBetweenFramesAreBothQueuedInOrder) {
    push(SDL_KEYDOWN, SDLK_s);
    push(SDL_KEYDOWN, SDLK_a);
    push(SDL_KEYUP, SDLK_s);
    processEvents();
    EXPECT_EQ(getKeyState(0x1F), 0);
    EXPECT_EQ(getKeyState(0x1E), 1);
    EXPECT_EQ(drain(), (Events{{1, 0x1F}, {1, 0x1E}, {0, 0x1F}}));
}

TEST_F(KeyQueue, IgnoresUnmappedKeysAndReleasesOfKeysNeverSeenDown) {
    push(SDL_KEYDOWN, SDLK_SPACE);
    push(SDL_KEYUP, SDLK_SPACE);
    push(SDL_KEYUP, SDLK_RETURN);
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
        push(SDL_KEYDOWN, SDLK_w);
        push(SDL_KEYUP, SDLK_w);
    }
    processEvents();
    const Events events = drain();
    ASSERT_EQ(events.size(), 255u);
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i], std::make_pair(i % 2 == 0 ? 1 : 0, 0x11)) << i;
    // The held-key table still follows every event.
    EXPECT_EQ(getKeyState(0x11), 0);
    // And the queue works normally afterwards.
    push(SDL_KEYDOWN, SDLK_a);
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

} // namespace
