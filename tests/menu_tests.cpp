// The selection menu: key handling in both stages, the coloured and dimmed picture
// variants, and what lands where on screen.
#include "main.h"

#include "assets.h"
#include "doubles/fake_input.h"
#include "sdltk.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------
// Key handling
// ---------------------------------------------------------------------------------

constexpr int TRACK_STAGE = 0, CAR_STAGE = 1;

struct MenuState {
    int stage;     // trackSelected
    int track;     // menuSelTrack
    int car[2];    // menuSelCar
    int chosen[2]; // carSelected

    bool operator==(const MenuState& o) const {
        return stage == o.stage && track == o.track && car[0] == o.car[0] && car[1] == o.car[1] &&
               chosen[0] == o.chosen[0] && chosen[1] == o.chosen[1];
    }
};

std::ostream& operator<<(std::ostream& os, const MenuState& s) {
    return os << (s.stage ? "car stage" : "track stage") << ", track " << s.track << ", cars "
              << s.car[0] << "/" << s.car[1] << ", confirmed " << s.chosen[0] << "/" << s.chosen[1];
}

MenuState trackStage(int track, int carA = 0, int carB = 0, int okA = 0, int okB = 0) {
    return {TRACK_STAGE, track, {carA, carB}, {okA, okB}};
}

MenuState carStage(int carA, int carB, int okA = 0, int okB = 0, int track = 0) {
    return {CAR_STAGE, track, {carA, carB}, {okA, okB}};
}

void setMenuState(const MenuState& s) {
    trackSelected = s.stage;
    menuSelTrack = s.track;
    menuSelCar[0] = s.car[0];
    menuSelCar[1] = s.car[1];
    carSelected[0] = s.chosen[0];
    carSelected[1] = s.chosen[1];
}

MenuState menuState() {
    return {trackSelected,
            menuSelTrack,
            {menuSelCar[0], menuSelCar[1]},
            {carSelected[0], carSelected[1]}};
}

struct Key {
    unsigned char pressed, code;
};
Key press(unsigned char code) {
    return {1, code};
}
Key release(unsigned char code) {
    return {0, code};
}

struct KeyCase {
    const char* name;
    MenuState before;
    std::vector<Key> events;
    MenuState after;
    bool quits = false;
};

void runKeyCases(const std::vector<KeyCase>& cases) {
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        fakeInputReset();
        resetMenuKeys(); // each case enters the menu afresh
        setMenuState(c.before);
        for (Key k : c.events)
            fakeInputPush(k.pressed, k.code);
        processMenuKeys();
        EXPECT_EQ(menuState(), c.after);
        EXPECT_EQ(getQuit() != 0, c.quits);
        EXPECT_EQ(fakeInputPending(), 0) << "every queued event is taken";
    }
}

TEST(MenuKeys, TrackStageMovesTheOneTrackChoiceWithEitherPlayersKeys) {
    runKeyCases({
        {"W up from the top wraps to the bottom", trackStage(0), {press(SC_W)}, trackStage(2)},
        {"left Shift up", trackStage(2), {press(SC_LSHIFT)}, trackStage(1)},
        {"right Shift up", trackStage(1), {press(SC_RSHIFT)}, trackStage(0)},
        {"Up arrow up", trackStage(0), {press(SC_UP)}, trackStage(2)},
        {"S down from the bottom wraps to the top", trackStage(2), {press(SC_S)}, trackStage(0)},
        {"left Ctrl down", trackStage(0), {press(SC_LCTRL)}, trackStage(1)},
        {"right Ctrl down", trackStage(1), {press(SC_RCTRL)}, trackStage(2)},
        {"Down arrow down", trackStage(2), {press(SC_DOWN)}, trackStage(0)},
        {"several moves in one frame all count",
         trackStage(0),
         {press(SC_DOWN), release(SC_DOWN), press(SC_DOWN), press(SC_S)},
         trackStage(0)},
        {"releases move nothing",
         trackStage(1),
         {release(SC_W), release(SC_S), release(SC_UP), release(SC_DOWN), release(SC_LSHIFT),
          release(SC_RCTRL), release(SC_ENTER), release(SC_D), release(SC_RIGHT)},
         trackStage(1)},
        {"car choices are untouched", trackStage(0, 1, 2), {press(SC_W)}, trackStage(2, 1, 2)},
        {"A and Left do nothing",
         trackStage(1, 2, 1),
         {press(SC_A), release(SC_A), press(SC_LEFT), release(SC_LEFT)},
         trackStage(1, 2, 1)},
    });
}

TEST(MenuKeys, TrackStageConfirmsWithEnterDOrRightAndQuitsOnEscapeRelease) {
    runKeyCases({
        {"Enter", trackStage(2, 1, 0), {press(SC_ENTER)}, carStage(1, 0, 0, 0, 2)},
        {"D", trackStage(1), {press(SC_D)}, carStage(0, 0, 0, 0, 1)},
        {"Right", trackStage(0), {press(SC_RIGHT)}, carStage(0, 0)},
        {"Escape pressed alone does nothing", trackStage(1), {press(SC_ESCAPE)}, trackStage(1)},
        {"Escape pressed and released quits",
         trackStage(1),
         {press(SC_ESCAPE), release(SC_ESCAPE)},
         trackStage(1),
         true},
    });
}

TEST(MenuKeys, EveryTrackStageEventClearsBothConfirmations) {
    // Left over from a car stage that was left with Escape.
    runKeyCases({
        {"an ignored press", trackStage(0, 0, 0, 1, 1), {press(SC_A)}, trackStage(0)},
        {"an ignored release", trackStage(0, 0, 0, 1, 0), {release(SC_LEFT)}, trackStage(0)},
        {"a move", trackStage(0, 0, 0, 0, 1), {press(SC_S)}, trackStage(1)},
        {"Escape released",
         trackStage(2, 0, 0, 1, 1),
         {press(SC_ESCAPE), release(SC_ESCAPE)},
         trackStage(2),
         true},
        {"Escape released without its press",
         trackStage(2, 0, 0, 1, 1),
         {release(SC_ESCAPE)},
         trackStage(2)},
        {"the confirm that starts the car stage",
         trackStage(0, 0, 0, 1, 1),
         {press(SC_ENTER)},
         carStage(0, 0)},
    });
}

TEST(MenuKeys, CarStageMovesEachPlayersOwnChoice) {
    runKeyCases({
        {"W moves A up, wrapping", carStage(0, 1), {press(SC_W)}, carStage(2, 1)},
        {"left Shift moves A up", carStage(2, 1), {press(SC_LSHIFT)}, carStage(1, 1)},
        {"S moves A down, wrapping", carStage(2, 1), {press(SC_S)}, carStage(0, 1)},
        {"left Ctrl moves A down", carStage(0, 1), {press(SC_LCTRL)}, carStage(1, 1)},
        {"Up moves B up, wrapping", carStage(1, 0), {press(SC_UP)}, carStage(1, 2)},
        {"right Shift moves B up", carStage(1, 2), {press(SC_RSHIFT)}, carStage(1, 1)},
        {"Down moves B down, wrapping", carStage(1, 2), {press(SC_DOWN)}, carStage(1, 0)},
        {"right Ctrl moves B down", carStage(1, 0), {press(SC_RCTRL)}, carStage(1, 1)},
        {"the track choice stays", carStage(0, 0, 0, 0, 2), {press(SC_S)}, carStage(1, 0, 0, 0, 2)},
        {"releases, A and Left do nothing",
         carStage(1, 2),
         {release(SC_W), release(SC_S), release(SC_UP), release(SC_DOWN), release(SC_D),
          release(SC_RIGHT), release(SC_ENTER), press(SC_A), release(SC_A), press(SC_LEFT),
          release(SC_LEFT), press(SC_ESCAPE)},
         carStage(1, 2)},
    });
}

TEST(MenuKeys, CarStageConfirmationsLockOnlyTheirOwnPlayer) {
    runKeyCases({
        {"D confirms A", carStage(2, 1), {press(SC_D)}, carStage(2, 1, 1, 0)},
        {"Right confirms B", carStage(2, 1), {press(SC_RIGHT)}, carStage(2, 1, 0, 1)},
        {"Enter confirms both from none", carStage(0, 2), {press(SC_ENTER)}, carStage(0, 2, 1, 1)},
        {"Enter confirms the other one too",
         carStage(0, 2, 0, 1),
         {press(SC_ENTER)},
         carStage(0, 2, 1, 1)},
        {"confirmed A ignores its keys, B still moves",
         carStage(1, 1, 1, 0),
         {press(SC_W), press(SC_S), press(SC_S), press(SC_LSHIFT), press(SC_LCTRL), press(SC_DOWN)},
         carStage(1, 2, 1, 0)},
        {"confirmed B ignores its keys, A still moves",
         carStage(1, 1, 0, 1),
         {press(SC_UP), press(SC_DOWN), press(SC_DOWN), press(SC_RSHIFT), press(SC_RCTRL),
          press(SC_W)},
         carStage(0, 1, 0, 1)},
        {"A moves, then confirms, then is locked",
         carStage(0, 0),
         {press(SC_S), press(SC_D), press(SC_S)},
         carStage(1, 0, 1, 0)},
    });
}

TEST(MenuKeys, EachEventIsHandledByTheStageCurrentWhenItIsTaken) {
    runKeyCases({
        {"W after Enter moves A's car, not the track",
         trackStage(1),
         {press(SC_ENTER), press(SC_W)},
         carStage(2, 0, 0, 0, 1)},
        {"a second D confirms A", trackStage(0), {press(SC_D), press(SC_D)}, carStage(0, 0, 1, 0)},
        {"Right then Enter starts the car stage and confirms both",
         trackStage(2),
         {press(SC_RIGHT), press(SC_ENTER)},
         carStage(0, 0, 1, 1, 2)},
        {"Escape released in the car stage goes back, without quitting",
         carStage(2, 1, 0, 0, 1),
         {press(SC_ESCAPE), release(SC_ESCAPE)},
         trackStage(1, 2, 1)},
        {"a move after Escape moves the track and clears the confirmation",
         carStage(2, 1, 1, 0, 1),
         {press(SC_ESCAPE), release(SC_ESCAPE), press(SC_W)},
         trackStage(0, 2, 1)},
        {"Escape then Enter returns to the car stage with nobody confirmed",
         carStage(2, 1, 1, 0, 1),
         {press(SC_ESCAPE), release(SC_ESCAPE), press(SC_ENTER)},
         carStage(2, 1, 0, 0, 1)},
        {"a second Escape quits from the track stage",
         carStage(0, 0),
         {press(SC_ESCAPE), release(SC_ESCAPE), press(SC_ESCAPE), release(SC_ESCAPE)},
         trackStage(0),
         true},
    });
}

TEST(MenuKeys, AnEscapeReleaseCountsOnlyIfTheMenuSawItGoDown) {
    // An Escape pressed in a race's run-out and let go after the automatic return to the
    // menu: neither stage acts on it.
    runKeyCases({
        {"track stage: no quit", trackStage(1, 2, 0), {release(SC_ESCAPE)}, trackStage(1, 2, 0)},
        {"car stage: no way back",
         carStage(2, 1, 1, 0, 1),
         {release(SC_ESCAPE)},
         carStage(2, 1, 1, 0, 1)},
        {"one press serves one release",
         carStage(0, 1, 0, 0, 2),
         {press(SC_ESCAPE), release(SC_ESCAPE), release(SC_ESCAPE)},
         trackStage(2, 0, 1)},
    });
    // Seen before the menu was entered again: forgotten.
    fakeInputReset();
    resetMenuKeys();
    setMenuState(trackStage(0));
    fakeInputPush(1, SC_ESCAPE);
    processMenuKeys();
    resetMenuKeys();
    fakeInputPush(0, SC_ESCAPE);
    processMenuKeys();
    EXPECT_EQ(getQuit(), 0);
    EXPECT_EQ(menuState(), trackStage(0));
}

TEST(MenuKeys, EmptyQueueChangesNothing) {
    runKeyCases({{"car stage", carStage(2, 1, 1, 0, 2), {}, carStage(2, 1, 1, 0, 2)},
                 {"track stage with confirmations left over",
                  trackStage(1, 0, 0, 1, 1),
                  {},
                  trackStage(1, 0, 0, 1, 1)}});
}

// ---------------------------------------------------------------------------------
// The computer on player B
// ---------------------------------------------------------------------------------

// Key handling with the computer on B: the same cases, with the computer's flag before and
// after.
class MenuComputer : public ::testing::Test {
  protected:
    void SetUp() override { menuComputerB = 0; }
    void TearDown() override { menuComputerB = 0; }

    struct Case {
        const char* name;
        int computerBefore;
        MenuState before;
        std::vector<Key> events;
        int computerAfter;
        MenuState after;
    };
    void run(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            fakeInputReset();
            resetMenuKeys(); // each case enters the menu afresh
            setMenuState(c.before);
            menuComputerB = c.computerBefore;
            for (Key k : c.events)
                fakeInputPush(k.pressed, k.code);
            processMenuKeys();
            EXPECT_EQ(menuState(), c.after);
            EXPECT_EQ(menuComputerB != 0, c.computerAfter != 0);
            EXPECT_EQ(getQuit(), 0);
            EXPECT_EQ(fakeInputPending(), 0);
        }
    }
};

TEST_F(MenuComputer, CSwitchesPlayerBBetweenPersonAndComputerInTheCarStage) {
    run({
        {"C hands B to the computer, which takes another car than A's and confirms it",
         0,
         carStage(1, 1),
         {press(SC_C)},
         1,
         carStage(1, 2, 0, 1)},
        {"a car of its own already is kept",
         0,
         carStage(0, 2),
         {press(SC_C)},
         1,
         carStage(0, 2, 0, 1)},
        {"C again hands B back to a person, unconfirmed on the same car",
         1,
         carStage(0, 2, 0, 1),
         {press(SC_C)},
         0,
         carStage(0, 2)},
        {"a person's confirmation is lifted too",
         0,
         carStage(2, 0, 0, 1),
         {press(SC_C), press(SC_C)},
         0,
         carStage(2, 0)},
        {"the release of C does nothing", 0, carStage(0, 1), {release(SC_C)}, 0, carStage(0, 1)},
        {"A's choice stays as it is, confirmed or not",
         0,
         carStage(2, 2, 1, 0),
         {press(SC_C)},
         1,
         carStage(2, 0, 1, 1)},
        {"in the track stage C is only another key",
         0,
         trackStage(1, 0, 0, 1, 1),
         {press(SC_C), release(SC_C)},
         0,
         trackStage(1)},
        {"... also with the computer on", 1, trackStage(2), {press(SC_C)}, 1, trackStage(2)},
    });
}

TEST_F(MenuComputer, ComputerStandsByItsCarAndOnlyAChoosesAndConfirms) {
    run({
        {"entering the car stage, the computer confirms at once",
         1,
         trackStage(0, 1, 1),
         {press(SC_ENTER)},
         1,
         carStage(1, 2, 0, 1)},
        {"B's keys do nothing, also in the frame the car stage starts",
         1,
         trackStage(2, 0, 1),
         {press(SC_RIGHT), press(SC_UP), press(SC_DOWN), press(SC_RSHIFT), press(SC_RCTRL),
          press(SC_RIGHT), press(SC_LEFT)},
         1,
         carStage(0, 1, 0, 1, 2)},
        {"A still chooses, and D confirms A: the race can start",
         1,
         carStage(0, 2, 0, 1),
         {press(SC_S), press(SC_D)},
         1,
         carStage(1, 2, 1, 1)},
        {"Enter confirms A as before",
         1,
         carStage(2, 0, 0, 1),
         {press(SC_ENTER)},
         1,
         carStage(2, 0, 1, 1)},
        {"A moving onto the computer's car moves the computer on",
         1,
         carStage(0, 1, 0, 1),
         {press(SC_S)},
         1,
         carStage(1, 2, 0, 1)},
        {"... each time",
         1,
         carStage(0, 1, 0, 1),
         {press(SC_S), press(SC_S)},
         1,
         carStage(2, 0, 0, 1)},
        {"Escape goes back to the tracks, and the computer stays chosen (the confirmations "
         "go with the next track-stage key, as always)",
         1,
         carStage(2, 0, 0, 1, 1),
         {press(SC_ESCAPE), release(SC_ESCAPE)},
         1,
         trackStage(1, 2, 0, 0, 1)},
        {"... and takes its car again when the car stage comes back",
         1,
         carStage(2, 0, 1, 1, 1),
         {press(SC_ESCAPE), release(SC_ESCAPE), press(SC_W), press(SC_ENTER)},
         1,
         carStage(2, 0, 0, 1, 0)},
        {"an Escape release the menu did not see go down changes nothing here either",
         1,
         carStage(2, 0, 0, 1, 1),
         {release(SC_ESCAPE)},
         1,
         carStage(2, 0, 0, 1, 1)},
    });
}

// The game shell lifts every confirmation each time the menu is entered; the computer's
// flag outlives it, and the computer confirms again as soon as the cars are chosen.
TEST_F(MenuComputer, ChoiceIsKeptIntoTheNextMenu) {
    setMenuState(carStage(0, 1, 1, 1, 2));
    menuComputerB = 1;
    trackSelected = 0; // what the shell does on entering the menu
    carSelected[0] = carSelected[1] = 0;
    fakeInputReset();
    fakeInputPush(1, SC_ENTER);
    processMenuKeys();
    EXPECT_EQ(menuState(), carStage(0, 1, 0, 1, 2));
    EXPECT_EQ(menuComputerB, 1);
}

// ---------------------------------------------------------------------------------
// Picture variants
// ---------------------------------------------------------------------------------

constexpr int CAR_BYTES = MENU_CAR_W * MENU_CAR_H;
constexpr int TRACK_BYTES = MENU_TRACK_W * MENU_TRACK_H;

const unsigned char* const carSources[3] = {menuskoda_d, menutrabant_d, menubeetle_d};
const unsigned char* const trackSources[3] = {menuboul_d, menusuburb_d, menuiron_d};

int count(const unsigned char* pic, int size, unsigned char value) {
    int n = 0;
    for (int i = 0; i < size; i++)
        n += pic[i] == value;
    return n;
}

class MenuPictures : public ::testing::Test {
  protected:
    void SetUp() override { initMenu(); }
};

TEST_F(MenuPictures, CarVariantsTakeTheirBodyColoursAndOnlyDimmedOnesGreyTheWhite) {
    struct Variant {
        const char* name;
        int car, player;
        unsigned char light, dark;
    };
    const Variant variants[] = {
        {"skoda A", 0, 0, 12, 4},    {"skoda B", 0, 1, 11, 3},  {"trabant A", 1, 0, 9, 1},
        {"trabant B", 1, 1, 14, 14}, {"beetle A", 2, 0, 10, 2}, {"beetle B", 2, 1, 13, 5},
    };
    for (const Variant& v : variants) {
        const int i = 2 * v.car + v.player;
        EXPECT_EQ(carColorL[i], v.light) << v.name;
        EXPECT_EQ(carColorD[i], v.dark) << v.name;
        for (int h = 0; h < 2; h++) {
            const unsigned char* src = carSources[v.car];
            const unsigned char* pic = menuPix[2 * i + h].get();
            ASSERT_NE(pic, nullptr);
            int wrong = 0, first = -1;
            for (int p = 0; p < CAR_BYTES; p++) {
                unsigned char want = src[p] == 9              ? v.light
                                     : src[p] == 1            ? v.dark
                                     : src[p] == 15 && h == 0 ? 7
                                                              : src[p];
                if (pic[p] != want && wrong++ == 0) first = p;
            }
            EXPECT_EQ(wrong, 0) << v.name << (h ? " highlighted" : " dimmed")
                                << ", first wrong byte at column " << first % MENU_CAR_W << ", row "
                                << first / MENU_CAR_W;
        }
    }
}

TEST_F(MenuPictures, TrackPicturesAreGreyedWhenDimmedAndUnchangedWhenHighlighted) {
    for (int t = 0; t < 3; t++) {
        const unsigned char* src = trackSources[t];
        const unsigned char* dimmed = menuPix[12 + 2 * t].get();
        const unsigned char* lit = menuPix[13 + 2 * t].get();
        ASSERT_NE(dimmed, nullptr);
        ASSERT_NE(lit, nullptr);
        int wrong = 0;
        for (int p = 0; p < TRACK_BYTES; p++)
            wrong += dimmed[p] != (src[p] == 15 ? 7 : src[p]);
        EXPECT_EQ(wrong, 0) << "dimmed track " << t;
        EXPECT_EQ(std::vector<unsigned char>(lit, lit + TRACK_BYTES),
                  std::vector<unsigned char>(src, src + TRACK_BYTES))
            << "highlighted track " << t;
    }
}

// Dimming only shows if the art uses white, and the colour variants only differ if it
// uses the body shades: a picture without them leaves the players guessing.
TEST_F(MenuPictures, ArtCarriesWhiteAndBodyShadesSoChoicesCanBeTold) {
    for (int t = 0; t < 3; t++)
        EXPECT_GT(count(trackSources[t], TRACK_BYTES, 15), 0) << "track " << t;
    for (int c = 0; c < 3; c++) {
        EXPECT_GT(count(carSources[c], CAR_BYTES, 15), 0) << "car " << c;
        EXPECT_GT(count(carSources[c], CAR_BYTES, 9), 0) << "car " << c;
        EXPECT_GT(count(carSources[c], CAR_BYTES, 1), 0) << "car " << c;
    }
}

TEST_F(MenuPictures, DownArrowIsTheUpArrowUpsideDown) {
    const unsigned char* down = menuPix[18].get();
    ASSERT_NE(down, nullptr);
    for (int r = 0; r < MENU_UP_H; r++)
        for (int x = 0; x < MENU_UP_W; x++)
            ASSERT_EQ(down[r * MENU_UP_W + x], menuup_d[(MENU_UP_H - 1 - r) * MENU_UP_W + x])
                << "row " << r << ", column " << x;
    // An arrow must point one way: the mirror has to differ from the original.
    EXPECT_NE(std::vector<unsigned char>(down, down + MENU_UP_W * MENU_UP_H),
              std::vector<unsigned char>(menuup_d, menuup_d + MENU_UP_W * MENU_UP_H));
}

// ---------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------

struct Placed {
    const unsigned char* pic;
    int w, h, x, y;
};

using Screen = std::vector<unsigned char>;

// The screen as it should look: grey ground (split by a black divider in the car
// stage) with the listed pictures pasted on.
Screen expectedScreen(bool split, const std::vector<Placed>& pictures) {
    Screen s(SCREEN_BYTES, 7);
    if (split)
        for (int y = 0; y < SCREEN_H; y++)
            s[y * SCREEN_W + 159] = s[y * SCREEN_W + 160] = 0;
    for (const Placed& p : pictures)
        for (int r = 0; r < p.h; r++)
            for (int c = 0; c < p.w; c++)
                s[(p.y + r) * SCREEN_W + p.x + c] = p.pic[r * p.w + c];
    return s;
}

::testing::AssertionResult sameScreen(const Screen& got, const Screen& want) {
    int wrong = 0, first = -1;
    for (int i = 0; i < SCREEN_BYTES; i++)
        if (got[i] != want[i] && wrong++ == 0) first = i;
    if (wrong == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << wrong << " pixels differ, the first at column " << first % SCREEN_W << ", row "
           << first / SCREEN_W << ": " << int(got[first]) << " instead of " << int(want[first]);
}

Screen drawn() {
    Screen s(SCREEN_BYTES, 0xAA); // garbage that every pixel must overwrite
    drawMenu(s.data());
    return s;
}

Placed trackAt(int t, bool lit) {
    return {menuPix[12 + 2 * t + lit].get(), MENU_TRACK_W, MENU_TRACK_H, 78, 31 + 48 * t};
}
Placed carAt(int player, int car, bool lit) {
    return {menuPix[2 * (2 * car + player) + lit].get(), MENU_CAR_W, MENU_CAR_H, 161 * player + 8,
            31 + 48 * car};
}
Placed upAt(int x) {
    return {menuup_d, MENU_UP_W, MENU_UP_H, x, 13};
}
Placed downAt(int x) {
    return {menuPix[18].get(), MENU_UP_W, MENU_UP_H, x, 174};
}
Placed okAt(int x) {
    return {menuok_d, MENU_OK_W, MENU_OK_H, x, 84};
}

TEST_F(MenuPictures, TrackStageShowsTheChosenTrackLitAmongDimmedOnes) {
    for (int chosen = 0; chosen < 3; chosen++) {
        SCOPED_TRACE(chosen);
        // Confirmations and car choices must not leak into the track stage.
        setMenuState(trackStage(chosen, 2, 1, 1, 0));
        EXPECT_TRUE(sameScreen(
            drawn(),
            expectedScreen(false, {trackAt(0, chosen == 0), trackAt(1, chosen == 1),
                                   trackAt(2, chosen == 2), upAt(148), downAt(148), okAt(239)})));
    }
}

TEST_F(MenuPictures, CarStageShowsEachPlayersCarsInTheirHalf) {
    struct Case {
        const char* name;
        MenuState state;
    };
    const Case cases[] = {
        {"first menu: both on the top car", carStage(0, 0)},
        {"different choices", carStage(2, 1)},
        {"A confirmed: only A's chosen car is left", carStage(1, 2, 1, 0)},
        {"B confirmed", carStage(0, 1, 0, 1)},
        {"both confirmed on the same car", carStage(2, 2, 1, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setMenuState(c.state);
        std::vector<Placed> want;
        for (int p = 0; p < 2; p++) {
            const int x0 = 161 * p;
            for (int car = 0; car < 3; car++)
                if (!c.state.chosen[p] || car == c.state.car[p])
                    want.push_back(carAt(p, car, car == c.state.car[p]));
            if (!c.state.chosen[p]) {
                want.push_back(upAt(x0 + 64));
                want.push_back(downAt(x0 + 64));
                want.push_back(okAt(x0 + 138));
            }
        }
        EXPECT_TRUE(sameScreen(drawn(), expectedScreen(true, want)));
    }
}

TEST_F(MenuPictures, CarStageWithTheComputerOnBShowsItsCardAndItsCarOnly) {
    const Placed card = {menucomputer_d, MENU_COMPUTER_W, MENU_COMPUTER_H, 161 + 8, 3};
    struct Case {
        const char* name;
        MenuState state;
    };
    const Case cases[] = {
        {"A choosing", carStage(0, 2, 0, 1)},
        {"A confirmed, the computer on the top car", carStage(1, 0, 1, 1)},
        {"the computer's confirmation lifted by hand: it still stands by its car", carStage(2, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setMenuState(c.state);
        menuComputerB = 1;
        std::vector<Placed> want;
        for (int car = 0; car < 3; car++)
            if (!c.state.chosen[0] || car == c.state.car[0])
                want.push_back(carAt(0, car, car == c.state.car[0]));
        if (!c.state.chosen[0]) {
            want.push_back(upAt(64));
            want.push_back(downAt(64));
            want.push_back(okAt(138));
        }
        want.push_back(carAt(1, c.state.car[1], true));
        want.push_back(card);
        EXPECT_TRUE(sameScreen(drawn(), expectedScreen(true, want)));
    }
    menuComputerB = 0;
    // The card is drawn like the others: a white card in a black rim.
    EXPECT_GT(count(menucomputer_d, MENU_COMPUTER_W * MENU_COMPUTER_H, 15), 0);
    EXPECT_GT(count(menucomputer_d, MENU_COMPUTER_W * MENU_COMPUTER_H, 0), 0);
}

} // namespace
