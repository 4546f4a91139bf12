// Game controllers through SDL's GameController API, plugged in and out at any time. The
// first controller drives player A and the second player B, each by holding exactly the
// scan codes of that player's keys, so the menu and the race cannot tell it from the
// keyboard (which keeps working alongside).
#include "sdltk.h"

#include <SDL.h>

#include <cstdio>
#include <iterator>

static constexpr int PLAYERS = 2;

// Buttons and the scan codes they hold for player A and player B. The D-pad moves
// through the menus and steers (right also confirms a player's car, as D and Right do).
// A and X accelerate and brake on each player's second pair of pedal keys, so that they
// overlap the D-pad and stick, which hold the first pair, without a release in between.
// Y on either controller is C, so that a player alone with a controller can hand player
// B's car to the computer in the car menu.
struct ButtonKey {
    SDL_GameControllerButton button;
    uint8_t code[PLAYERS];
};
static const ButtonKey buttonKeys[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, {SC_W, SC_UP}},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, {SC_S, SC_DOWN}},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, {SC_A, SC_LEFT}},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, {SC_D, SC_RIGHT}},
    {SDL_CONTROLLER_BUTTON_A, {SC_LSHIFT, SC_RSHIFT}},
    {SDL_CONTROLLER_BUTTON_X, {SC_LCTRL, SC_RCTRL}},
    {SDL_CONTROLLER_BUTTON_Y, {SC_C, SC_C}},
    {SDL_CONTROLLER_BUTTON_START, {SC_ENTER, SC_ENTER}},
    {SDL_CONTROLLER_BUTTON_BACK, {SC_ESCAPE, SC_ESCAPE}},
};

// Stick directions and triggers: held from the press position on, until the axis falls
// back below the release position. sign picks the direction (SDL's y grows downwards).
struct AxisKey {
    SDL_GameControllerAxis axis;
    int sign;
    int press, release;
    uint8_t code[PLAYERS];
};
static const AxisKey axisKeys[] = {
    {SDL_CONTROLLER_AXIS_LEFTX, -1, STICK_PRESS, STICK_RELEASE, {SC_A, SC_LEFT}},
    {SDL_CONTROLLER_AXIS_LEFTX, +1, STICK_PRESS, STICK_RELEASE, {SC_D, SC_RIGHT}},
    {SDL_CONTROLLER_AXIS_LEFTY, -1, STICK_PRESS, STICK_RELEASE, {SC_W, SC_UP}},
    {SDL_CONTROLLER_AXIS_LEFTY, +1, STICK_PRESS, STICK_RELEASE, {SC_S, SC_DOWN}},
    {SDL_CONTROLLER_AXIS_TRIGGERRIGHT, +1, TRIGGER_PRESS, TRIGGER_RELEASE, {SC_LSHIFT, SC_RSHIFT}},
    {SDL_CONTROLLER_AXIS_TRIGGERLEFT, +1, TRIGGER_PRESS, TRIGGER_RELEASE, {SC_LCTRL, SC_RCTRL}},
};

static constexpr int BUTTON_KEYS = static_cast<int>(std::size(buttonKeys));
static constexpr int AXIS_KEYS = static_cast<int>(std::size(axisKeys));

// One player's controller and which of its mapped inputs are pressed.
struct Pad {
    SDL_GameController* controller;
    SDL_JoystickID id; // -1 while the player has none
    bool button[BUTTON_KEYS];
    bool axis[AXIS_KEYS];
};
static Pad pads[PLAYERS] = {{nullptr, -1, {}, {}}, {nullptr, -1, {}, {}}};
static bool controllersStarted = false;

// Makes the player's controller source hold exactly the codes of its pressed inputs. An
// input sharing a code with another (the D-pad and the stick) lets go only when both do.
static void updatePadKeys(int player) {
    bool want[SCAN_CODES] = {};
    const Pad& pad = pads[player];
    for (int i = 0; i < BUTTON_KEYS; ++i)
        if (pad.button[i]) want[buttonKeys[i].code[player]] = true;
    for (int i = 0; i < AXIS_KEYS; ++i)
        if (pad.axis[i]) want[axisKeys[i].code[player]] = true;
    // Releases first: a stick flicked from left to right within a frame lets go of left
    // before it presses right.
    const int source = SOURCE_PAD_A + player;
    for (int code = 1; code < SCAN_CODES; ++code)
        if (!want[code]) setSourceKey(source, static_cast<uint8_t>(code), false);
    for (int code = 1; code < SCAN_CODES; ++code)
        if (want[code]) setSourceKey(source, static_cast<uint8_t>(code), true);
}

static void forgetInputs(Pad& pad) {
    for (bool& b : pad.button)
        b = false;
    for (bool& a : pad.axis)
        a = false;
}

static int playerOf(SDL_JoystickID id) {
    for (int player = 0; player < PLAYERS; ++player)
        if (pads[player].controller && pads[player].id == id) return player;
    return -1;
}

// Gives the controller at a device index to the first player without one. A controller
// beyond the second stays unopened until a player's controller is unplugged.
static void openPad(int deviceIndex) {
    if (!SDL_IsGameController(deviceIndex)) return;
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (id < 0 || playerOf(id) >= 0) return;
    int player = 0;
    while (player < PLAYERS && pads[player].controller)
        ++player;
    if (player == PLAYERS) return;
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) {
        std::fprintf(stderr, "zotik: cannot use a game controller: %s\n", SDL_GetError());
        return;
    }
    Pad& pad = pads[player];
    pad.controller = controller;
    pad.id = id;
    forgetInputs(pad);
}

static void openWaitingPads() {
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i)
        openPad(i);
}

// Unplugging lets go of everything the controller held.
static void closePad(int player) {
    Pad& pad = pads[player];
    forgetInputs(pad);
    updatePadKeys(player);
    if (pad.controller) SDL_GameControllerClose(pad.controller);
    pad.controller = nullptr;
    pad.id = -1;
}

static bool axisHeld(const AxisKey& key, int value, bool wasHeld) {
    const int toward = key.sign * value; // int: -(-32768) fits
    return toward >= (wasHeld ? key.release : key.press);
}

bool initControllers() {
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "zotik: game controllers unavailable: %s\n", SDL_GetError());
        return false;
    }
    controllersStarted = true;
    // SDL also announces these as plugged in; opening them now keeps the order in which
    // they are numbered.
    openWaitingPads();
    return true;
}

void deinitControllers() {
    for (int player = 0; player < PLAYERS; ++player)
        closePad(player);
    if (controllersStarted) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    controllersStarted = false;
}

bool handleControllerEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
        openPad(event.cdevice.which);
        return true;
    case SDL_CONTROLLERDEVICEREMOVED: {
        const int player = playerOf(event.cdevice.which);
        if (player >= 0) {
            closePad(player);
            openWaitingPads();
        }
        return true;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
        const int player = playerOf(event.cbutton.which);
        if (player < 0) return true;
        for (int i = 0; i < BUTTON_KEYS; ++i)
            if (buttonKeys[i].button == event.cbutton.button)
                pads[player].button[i] = event.cbutton.state == SDL_PRESSED;
        updatePadKeys(player);
        return true;
    }
    case SDL_CONTROLLERAXISMOTION: {
        const int player = playerOf(event.caxis.which);
        if (player < 0) return true;
        for (int i = 0; i < AXIS_KEYS; ++i)
            if (axisKeys[i].axis == event.caxis.axis)
                pads[player].axis[i] =
                    axisHeld(axisKeys[i], event.caxis.value, pads[player].axis[i]);
        updatePadKeys(player);
        return true;
    }
    default:
        return false;
    }
}

void releaseControllers() {
    for (int player = 0; player < PLAYERS; ++player) {
        forgetInputs(pads[player]);
        updatePadKeys(player);
    }
}

int controllerOf(int player) {
    if (player < 0 || player >= PLAYERS || !pads[player].controller) return -1;
    return pads[player].id;
}
