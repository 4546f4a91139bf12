// The platform layer: SDL window, palette and frame clock, audio device, and keyboard
// input translated to PC scan codes. The only module besides sdlopl that calls SDL.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------------------------
// Window, presentation and frame clock (sdltk.cpp)
// ---------------------------------------------------------------------------------

// The 16 VGA colours as ARGB8888.
constexpr int PALETTE_SIZE = 16;
extern const uint32_t vga16[PALETTE_SIZE];

// Length of one frame, in ms (20 frames per second).
constexpr uint32_t FRAME_MS = 50;

// The audio device in use; 0 when none could be opened.
extern uint32_t audioDevice;

// Starts SDL, opens the window, renderer, texture and audio device, starts the frame
// clock. Returns false, after one line on stderr naming what failed, when the picture
// cannot be shown; everything opened so far is closed again.
bool initTk();
// Closes the audio device first (stopping the callback), then the window, then SDL.
void deinitTk();
// Opens the default audio device at 48000 Hz stereo 16-bit; silence if there is none.
void initAudio();
// Shows a 320 x 200 framebuffer of palette indices, paced to one frame per 50 ms.
void flip(const unsigned char* framebuffer);

// Converts a framebuffer of palette indices (low four bits used) to ARGB pixels.
void convertFrame(const unsigned char* framebuffer, uint32_t* argb, int count);
// True while a frame that began at frameTickerMs must still wait at time nowMs.
bool frameMustWait(uint32_t nowMs, uint32_t frameTickerMs);

// ---------------------------------------------------------------------------------
// Keyboard input (input.cpp)
// ---------------------------------------------------------------------------------

// Scan codes of the keys the game uses (0xE0-prefixed keys as 0x60 + make code).
constexpr uint8_t SC_ESCAPE = 0x01;
constexpr uint8_t SC_W = 0x11;
constexpr uint8_t SC_ENTER = 0x1C;
constexpr uint8_t SC_LCTRL = 0x1D;
constexpr uint8_t SC_A = 0x1E;
constexpr uint8_t SC_S = 0x1F;
constexpr uint8_t SC_D = 0x20;
constexpr uint8_t SC_C = 0x2E; // menu: the computer takes player B's car, or hands it back
constexpr uint8_t SC_LSHIFT = 0x2A;
constexpr uint8_t SC_RSHIFT = 0x36;
constexpr uint8_t SC_RCTRL = 0x7D;
constexpr uint8_t SC_UP = 0xA8;
constexpr uint8_t SC_LEFT = 0xAB;
constexpr uint8_t SC_RIGHT = 0xAD;
constexpr uint8_t SC_DOWN = 0xB0;

// Drains SDL's event queue into the key queue, the held-key table and the quit flag.
void processEvents();
// The scan code of an SDL key code, 0 when the game does not use the key.
uint8_t keycodeToDos(int keycode);
// Takes the oldest key event: returns 1 and fills both outputs, or 0 when empty.
int getKeyEvent(unsigned char* pressed, unsigned char* code);
// The same as getKeyEvent.
int keyb_get(unsigned char* pressed, unsigned char* code);
// 1 while the key with this scan code is held.
unsigned char getKeyState(unsigned char code);
// Non-zero once the game should quit.
int getQuit();
// Sets or clears the quit flag.
void setQuit(bool quit);
