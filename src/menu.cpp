// The selection menu: the players pick a track together, then a car each.
#include "main.h"

#include "assets.h"
#include "sdltk.h"

#include <cstring>

int menuSelCar[2];
int menuSelTrack;
int carSelected[2];
int trackSelected;
int menuComputerB;

std::unique_ptr<unsigned char[]> menuPix[MENU_PIX_COUNT];

static constexpr int CHOICES = 3; // tracks, and cars per player

// Keys seen going down since the menu was entered. Escape acts on its release, and an
// Escape pressed in a race's run-out and let go after the automatic return to the menu
// must not quit the game.
static bool seenDown[SCAN_CODES];

// Source pictures in track order and in car order.
static const unsigned char* const trackData[CHOICES] = {menuboul_d, menusuburb_d, menuiron_d};
static const unsigned char* const carData[CHOICES] = {menuskoda_d, menutrabant_d, menubeetle_d};

// Palette indices with a role in the menu pictures.
static constexpr unsigned char GROUND = 7;     // grey ground, also the dimmed white
static constexpr unsigned char WHITE = 15;     // dimmed to GROUND when not chosen
static constexpr unsigned char BODY_LIGHT = 9; // replaced by carColorL
static constexpr unsigned char BODY_DARK = 1;  // replaced by carColorD
static constexpr unsigned char DIVIDER = 0;    // the black gap between the halves

// menuPix layout: two entries (dimmed, highlighted) per car variant, then per track,
// then the down arrow.
static constexpr int FIRST_TRACK_PIX = 2 * CAR_VARIANTS;
static constexpr int DOWN_ARROW_PIX = FIRST_TRACK_PIX + 2 * CHOICES;
static_assert(DOWN_ARROW_PIX + 1 == MENU_PIX_COUNT, "menuPix holds cars, tracks, arrow");

// Screen layout: the three choices stand in one column, 48 rows apart, between the
// up arrow above and the down arrow below; the confirmation mark sits to the right.
static constexpr int CHOICE_Y = 31;
static constexpr int CHOICE_PITCH = 48;
static constexpr int UP_Y = 13;
static constexpr int DOWN_Y = 174;
static constexpr int OK_Y = 84;
// Track stage, whole screen.
static constexpr int TRACK_X = 78;
static constexpr int TRACK_ARROW_X = 148;
static constexpr int TRACK_OK_X = 239;
// Car stage, relative to the player's half (which starts at column RIGHT_VIEW_OFFSET x p).
static constexpr int CAR_X = 8;
static constexpr int CAR_ARROW_X = 64;
static constexpr int CAR_OK_X = 138;
// The card saying that the computer drives B, above B's cars where the up arrow would be.
static constexpr int COMPUTER_Y = 3;

static_assert(TRACK_X + MENU_TRACK_W <= TRACK_OK_X, "track pictures clear the mark");
static_assert(CAR_OK_X + MENU_OK_W + RIGHT_VIEW_OFFSET <= SCREEN_W, "mark fits the right half");
static_assert(CHOICE_Y + (CHOICES - 1) * CHOICE_PITCH + MENU_CAR_H <= DOWN_Y,
              "choices end above the down arrow");
static_assert(DOWN_Y + MENU_UP_H <= SCREEN_H, "down arrow fits the screen");
static_assert(COMPUTER_Y + MENU_COMPUTER_H < CHOICE_Y && MENU_COMPUTER_W <= MENU_CAR_W,
              "the computer's card fits above the cars");

static int carPix(int car, int player, bool highlighted) {
    return 2 * (2 * car + player) + (highlighted ? 1 : 0);
}

static int trackPix(int t, bool highlighted) {
    return FIRST_TRACK_PIX + 2 * t + (highlighted ? 1 : 0);
}

static std::unique_ptr<unsigned char[]> makeCarPicture(const unsigned char* src, int variant,
                                                       bool dimmed) {
    constexpr int size = MENU_CAR_W * MENU_CAR_H;
    std::unique_ptr<unsigned char[]> pic(new unsigned char[size]);
    for (int i = 0; i < size; i++) {
        unsigned char c = src[i];
        if (c == BODY_LIGHT)
            c = carColorL[variant];
        else if (c == BODY_DARK)
            c = carColorD[variant];
        if (dimmed && c == WHITE) c = GROUND;
        pic[i] = c;
    }
    return pic;
}

static std::unique_ptr<unsigned char[]> makeTrackPicture(const unsigned char* src, bool dimmed) {
    constexpr int size = MENU_TRACK_W * MENU_TRACK_H;
    std::unique_ptr<unsigned char[]> pic(new unsigned char[size]);
    for (int i = 0; i < size; i++)
        pic[i] = dimmed && src[i] == WHITE ? GROUND : src[i];
    return pic;
}

void initMenu() {
    for (int car = 0; car < CHOICES; car++) {
        for (int player = 0; player < 2; player++) {
            int variant = 2 * car + player;
            menuPix[carPix(car, player, false)] = makeCarPicture(carData[car], variant, true);
            menuPix[carPix(car, player, true)] = makeCarPicture(carData[car], variant, false);
        }
    }
    for (int t = 0; t < CHOICES; t++) {
        menuPix[trackPix(t, false)] = makeTrackPicture(trackData[t], true);
        menuPix[trackPix(t, true)] = makeTrackPicture(trackData[t], false);
    }
    // The down arrow is the up arrow upside down.
    std::unique_ptr<unsigned char[]> down(new unsigned char[MENU_UP_W * MENU_UP_H]);
    for (int r = 0; r < MENU_UP_H; r++)
        std::memcpy(&down[r * MENU_UP_W], menuup_d + (MENU_UP_H - 1 - r) * MENU_UP_W, MENU_UP_W);
    menuPix[DOWN_ARROW_PIX] = std::move(down);
}

static int choiceUp(int choice) {
    return (choice + CHOICES - 1) % CHOICES;
}
static int choiceDown(int choice) {
    return (choice + 1) % CHOICES;
}

// Both players steer the one track choice; any of their confirm keys starts the car stage.
// seen: a release's key went down while the menu showed.
static void trackStageKey(bool pressed, unsigned char code, bool seen) {
    // A confirmation can only stand in the car stage it was made in.
    carSelected[0] = carSelected[1] = 0;
    if (!pressed) {
        // Escape acts on release throughout the game, as it does in a race.
        if (code == SC_ESCAPE && seen) setQuit(true);
        return;
    }
    switch (code) {
    case SC_W:
    case SC_LSHIFT:
    case SC_RSHIFT:
    case SC_UP:
        menuSelTrack = choiceUp(menuSelTrack);
        break;
    case SC_LCTRL:
    case SC_S:
    case SC_RCTRL:
    case SC_DOWN:
        menuSelTrack = choiceDown(menuSelTrack);
        break;
    case SC_ENTER:
    case SC_D:
    case SC_RIGHT:
        trackSelected = 1;
        break;
    default:
        break;
    }
}

// Each player moves and confirms their own car; a confirmed choice stays put.
static void carStageKey(bool pressed, unsigned char code, bool seen) {
    if (!pressed) {
        if (code == SC_ESCAPE && seen) trackSelected = 0;
        return;
    }
    switch (code) {
    case SC_W:
    case SC_LSHIFT:
        if (!carSelected[0]) menuSelCar[0] = choiceUp(menuSelCar[0]);
        break;
    case SC_S:
    case SC_LCTRL:
        if (!carSelected[0]) menuSelCar[0] = choiceDown(menuSelCar[0]);
        break;
    case SC_UP:
    case SC_RSHIFT:
        if (!carSelected[1]) menuSelCar[1] = choiceUp(menuSelCar[1]);
        break;
    case SC_DOWN:
    case SC_RCTRL:
        if (!carSelected[1]) menuSelCar[1] = choiceDown(menuSelCar[1]);
        break;
    case SC_D:
        carSelected[0] = 1;
        break;
    case SC_RIGHT:
        carSelected[1] = 1;
        break;
    case SC_ENTER:
        carSelected[0] = carSelected[1] = 1;
        break;
    case SC_C:
        // A person taking over B chooses afresh; the computer confirms by itself.
        menuComputerB = !menuComputerB;
        if (!menuComputerB) carSelected[1] = 0;
        break;
    default:
        break;
    }
}

// The computer on B takes a car other than A's and stands by it, so that only A has to
// choose and confirm.
static void computerTakesB() {
    if (menuSelCar[1] == menuSelCar[0]) menuSelCar[1] = choiceDown(menuSelCar[0]);
    carSelected[1] = 1;
}

void processMenuKeys() {
    unsigned char pressed = 0;
    unsigned char code = 0;
    // The stage is looked up per event: a key that switches stages hands the rest of
    // the queue to the new stage.
    while (getKeyEvent(&pressed, &code)) {
        const bool seen = seenDown[code];
        seenDown[code] = pressed != 0;
        if (trackSelected)
            carStageKey(pressed != 0, code, seen);
        else
            trackStageKey(pressed != 0, code, seen);
        if (trackSelected && menuComputerB) computerTakesB();
    }
}

void resetMenuKeys() {
    std::memset(seenDown, 0, sizeof seenDown);
}

void drawCarMenu(unsigned char* framebuffer, int player) {
    const int x0 = RIGHT_VIEW_OFFSET * player;
    const int chosen = menuSelCar[player];
    const bool computer = player == 1 && menuComputerB;
    const bool confirmed = carSelected[player] != 0 || computer;
    for (int car = 0; car < CHOICES; car++) {
        if (confirmed && car != chosen) continue;
        drawRect(framebuffer, menuPix[carPix(car, player, car == chosen)].get(), MENU_CAR_W,
                 MENU_CAR_H, x0 + CAR_X, CHOICE_Y + CHOICE_PITCH * car);
    }
    if (computer)
        drawRect(framebuffer, menucomputer_d, MENU_COMPUTER_W, MENU_COMPUTER_H, x0 + CAR_X,
                 COMPUTER_Y);
    if (confirmed) return;
    drawRect(framebuffer, menuup_d, MENU_UP_W, MENU_UP_H, x0 + CAR_ARROW_X, UP_Y);
    drawRect(framebuffer, menuPix[DOWN_ARROW_PIX].get(), MENU_UP_W, MENU_UP_H, x0 + CAR_ARROW_X,
             DOWN_Y);
    drawRect(framebuffer, menuok_d, MENU_OK_W, MENU_OK_H, x0 + CAR_OK_X, OK_Y);
}

void drawMenu(unsigned char* framebuffer) {
    if (!trackSelected) {
        std::memset(framebuffer, GROUND, SCREEN_BYTES);
        for (int t = 0; t < CHOICES; t++)
            drawRect(framebuffer, menuPix[trackPix(t, t == menuSelTrack)].get(), MENU_TRACK_W,
                     MENU_TRACK_H, TRACK_X, CHOICE_Y + CHOICE_PITCH * t);
        drawRect(framebuffer, menuup_d, MENU_UP_W, MENU_UP_H, TRACK_ARROW_X, UP_Y);
        drawRect(framebuffer, menuPix[DOWN_ARROW_PIX].get(), MENU_UP_W, MENU_UP_H, TRACK_ARROW_X,
                 DOWN_Y);
        drawRect(framebuffer, menuok_d, MENU_OK_W, MENU_OK_H, TRACK_OK_X, OK_Y);
        return;
    }
    // Split like a race: grey halves with the same black divider between them.
    for (int y = 0; y < SCREEN_H; y++) {
        unsigned char* row = framebuffer + y * SCREEN_W;
        std::memset(row, GROUND, SCREEN_W);
        std::memset(row + VIEW_W, DIVIDER, RIGHT_VIEW_OFFSET - VIEW_W);
    }
    drawCarMenu(framebuffer, 0);
    drawCarMenu(framebuffer, 1);
}
