// Input: keys from the keyboard and the game controllers become PC scan codes in a queue
// of press and release events and a table of held keys; closing the window sets the quit
// flag.
#include "sdltk.h"

#include <SDL.h>

#include <cstring>
#include <vector>

// A ring of key events: high byte 1 for a press, 0 for a release; low byte the scan code.
// The 8-bit indices wrap by themselves at 256.
static struct {
    uint8_t read;
    uint8_t write;
    uint16_t entries[256];
} keyb_queue;

// 1 while the key with that scan code is held.
static uint8_t keyb_state_int[SCAN_CODES];

static uint8_t g_quit;

// What each source holds, by scan code; the held-key table follows their union.
static bool sourceKeys[KEY_SOURCES][SCAN_CODES];

struct KeyEvent {
    uint8_t pressed;
    uint8_t code;
};
// The events the sources made during this processEvents, in order. Sources only record
// them; the queue and the held-key table change when they are applied at the end. That
// keeps one place where a frame's events could be exchanged (or merged) before use.
static std::vector<KeyEvent> frameEvents;

// Appends an event. When 255 events are unread the queue is full and the newest event
// is dropped: writing it would make the queue read as empty and lose all of them.
static void queueKeyEvent(uint8_t pressed, uint8_t code) {
    if (static_cast<uint8_t>(keyb_queue.write + 1) == keyb_queue.read) return;
    keyb_queue.entries[keyb_queue.write++] = static_cast<uint16_t>(pressed << 8 | code);
}

static bool anySourceHolds(uint8_t code) {
    for (int source = 0; source < KEY_SOURCES; ++source)
        if (sourceKeys[source][code]) return true;
    return false;
}

void setSourceKey(int source, uint8_t code, bool down) {
    // Auto-repeat, and a release of a key this source never pressed, change nothing; so
    // does a key that another source already holds (or still holds).
    if (source < 0 || source >= KEY_SOURCES || code == 0 || sourceKeys[source][code] == down)
        return;
    const bool held = anySourceHolds(code);
    sourceKeys[source][code] = down;
    if (anySourceHolds(code) != held) frameEvents.push_back({down, code});
}

static void releaseSource(int source) {
    for (int code = 1; code < SCAN_CODES; ++code)
        setSourceKey(source, static_cast<uint8_t>(code), false);
}

// A network game's handler, which gets this machine's events instead of the queue.
static KeyEventHandler keyEventHandler = nullptr;

void applyKeyEvent(uint8_t pressed, uint8_t code) {
    keyb_state_int[code] = pressed;
    queueKeyEvent(pressed, code);
}

// The one place where this machine's events reach the game.
static void applyKeyEvents(const std::vector<KeyEvent>& events) {
    for (const KeyEvent& e : events) {
        if (keyEventHandler)
            keyEventHandler(e.pressed, e.code);
        else
            applyKeyEvent(e.pressed, e.code);
    }
}

void setKeyEventHandler(KeyEventHandler handler) {
    keyEventHandler = handler;
}

void clearKeys() {
    std::memset(keyb_state_int, 0, sizeof keyb_state_int);
    keyb_queue.read = keyb_queue.write;
}

void holdLocalKeys() {
    for (int code = 0; code < SCAN_CODES; ++code)
        keyb_state_int[code] = anySourceHolds(static_cast<uint8_t>(code)) ? 1 : 0;
    keyb_queue.read = keyb_queue.write;
}

// Alt+Enter (either Enter) and F11 belong to the window, not to the game.
static bool isFullscreenKey(const SDL_Keysym& key) {
    if (key.sym == SDLK_F11) return true;
    return (key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER) && (key.mod & KMOD_ALT) != 0;
}

void processEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN:
            if (isFullscreenKey(event.key.keysym)) {
                // The Enter stays unseen by the game, and so does its release: the
                // keyboard never held it.
                if (!event.key.repeat) toggleFullscreen();
                break;
            }
            setSourceKey(SOURCE_KEYBOARD, keycodeToDos(event.key.keysym.sym), true);
            break;
        case SDL_KEYUP:
            setSourceKey(SOURCE_KEYBOARD, keycodeToDos(event.key.keysym.sym), false);
            break;
        case SDL_WINDOWEVENT:
            // Keys let go of in another window never come back as releases here. SDL
            // already releases the keyboard's keys on most systems; controllers it does not.
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                releaseSource(SOURCE_KEYBOARD);
                releaseControllers();
            }
            break;
        case SDL_QUIT:
            g_quit = 1;
            break;
        default:
            handleControllerEvent(event);
            break;
        }
    }
    applyKeyEvents(frameEvents);
    frameEvents.clear();
}

uint8_t keycodeToDos(int keycode) {
    switch (keycode) {
    case SDLK_RETURN:
        return SC_ENTER;
    case SDLK_ESCAPE:
        return SC_ESCAPE;
    case SDLK_w:
        return SC_W;
    case SDLK_s:
        return SC_S;
    case SDLK_a:
        return SC_A;
    case SDLK_d:
        return SC_D;
    case SDLK_c:
        return SC_C;
    case SDLK_LSHIFT:
        return SC_LSHIFT;
    case SDLK_LCTRL:
        return SC_LCTRL;
    case SDLK_UP:
        return SC_UP;
    case SDLK_DOWN:
        return SC_DOWN;
    case SDLK_LEFT:
        return SC_LEFT;
    case SDLK_RIGHT:
        return SC_RIGHT;
    case SDLK_RSHIFT:
        return SC_RSHIFT;
    case SDLK_RCTRL:
        return SC_RCTRL;
    default:
        return 0;
    }
}

int getKeyEvent(unsigned char* pressed, unsigned char* code) {
    if (keyb_queue.read == keyb_queue.write) return 0;
    const uint16_t entry = keyb_queue.entries[keyb_queue.read++];
    *pressed = static_cast<unsigned char>(entry >> 8);
    *code = static_cast<unsigned char>(entry & 0xFF);
    return 1;
}

int keyb_get(unsigned char* pressed, unsigned char* code) {
    return getKeyEvent(pressed, code);
}

unsigned char getKeyState(unsigned char code) {
    return keyb_state_int[code];
}

int getQuit() {
    return g_quit;
}

void setQuit(bool quit) {
    g_quit = quit ? 1 : 0;
}
