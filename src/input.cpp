// Keyboard input: SDL key events become PC scan codes in a queue of press and release
// events and a table of held keys; closing the window sets the quit flag.
#include "sdltk.h"

#include <SDL.h>

// A ring of key events: high byte 1 for a press, 0 for a release; low byte the scan code.
// The 8-bit indices wrap by themselves at 256.
static struct {
    uint8_t read;
    uint8_t write;
    uint16_t entries[256];
} keyb_queue;

// 1 while the key with that scan code is held.
static uint8_t keyb_state_int[256];

static uint8_t g_quit;

// Appends an event. When 255 events are unread the queue is full and the newest event
// is dropped: writing it would make the queue read as empty and lose all of them.
static void queueKeyEvent(uint8_t pressed, uint8_t code) {
    if (static_cast<uint8_t>(keyb_queue.write + 1) == keyb_queue.read) return;
    keyb_queue.entries[keyb_queue.write++] = static_cast<uint16_t>(pressed << 8 | code);
}

static void handleKey(SDL_Keycode sym, uint8_t pressed) {
    const uint8_t code = keycodeToDos(sym);
    // Auto-repeat and a release of a key that was never seen going down change nothing.
    if (code == 0 || keyb_state_int[code] == pressed) return;
    keyb_state_int[code] = pressed;
    queueKeyEvent(pressed, code);
}

void processEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN:
            handleKey(event.key.keysym.sym, 1);
            break;
        case SDL_KEYUP:
            handleKey(event.key.keysym.sym, 0);
            break;
        case SDL_QUIT:
            g_quit = 1;
            break;
        default:
            break;
        }
    }
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
