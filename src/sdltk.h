// The platform layer: SDL window, palette and frame clock, audio device, and keyboard and
// game controller input translated to PC scan codes. The only module besides sdlopl that
// calls SDL.
#pragma once

#include <cstdint>

union SDL_Event;

// ---------------------------------------------------------------------------------
// Window, presentation and frame clock (sdltk.cpp)
// ---------------------------------------------------------------------------------

// The 16 VGA colours as ARGB8888 (generated from assets/art/vga16.gpl into
// assets/palette.cpp, plain data that programs without a window can link too).
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

// The most frames the clock catches up at once after a stall; further behind, it starts
// counting afresh.
constexpr uint32_t MAX_CATCH_UP_FRAMES = 10;
// The start of the next frame period, for a frame presented at nowMs in the period that
// began at frameTickerMs: one period later, so that short stalls are caught up, or nowMs
// when the frame is more than MAX_CATCH_UP_FRAMES periods late.
uint32_t nextFrameTicker(uint32_t nowMs, uint32_t frameTickerMs);
// Starts the frame clock afresh at the current time: the next frame waits a whole period.
void restartFrameClock();
// The start of the frame period after a frame was held up by something outside the game
// (the other machine of a network game): a period that is already over ends now, so the
// held frame is shown at once and the frames after it do not hurry to catch up.
uint32_t frameTickerAfterHold(uint32_t nowMs, uint32_t frameTickerMs);
// Applies frameTickerAfterHold to the frame clock.
void holdFrameClock();
// Shows a picture at once, outside the frame clock (a note while a frame waits).
void presentNow(const unsigned char* framebuffer);
// SDL's millisecond clock, and a sleep on it.
uint32_t ticksMs();
void sleepMs(uint32_t ms);

// ---------------------------------------------------------------------------------
// Full screen (sdltk.cpp)
// ---------------------------------------------------------------------------------

// Switches between the 640 x 480 window and desktop full screen (pointer hidden) and
// restarts the frame clock. When SDL refuses, says so in one line on stderr, stays in (or
// goes back to) the window and returns false.
bool setFullscreen(bool on);
// Switches to the other of window and full screen.
void toggleFullscreen();
// True while the game shows in full screen.
bool isFullscreen();

// A rectangle of output pixels.
struct PixelRect {
    int x, y, w, h;
};
// Where the picture goes on an output of the given size: the largest rectangle of the
// window's 4:3 shape, centred, so that full screen shows black bars at the sides (or
// above and below) rather than a stretched picture.
PixelRect fitPicture(int outputW, int outputH);

// ---------------------------------------------------------------------------------
// Keyboard input (input.cpp)
// ---------------------------------------------------------------------------------

// Scan codes are bytes: tables by scan code have SCAN_CODES entries, 0 meaning no key.
constexpr int SCAN_CODES = 256;
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
// Alt+Enter and F11 switch full screen and never reach the game; losing the focus
// releases every held key.
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

// ---------------------------------------------------------------------------------
// Key sources (input.cpp)
// ---------------------------------------------------------------------------------

// Where held keys come from: the keyboard, and one game controller per player. The
// held-key table is their union: a key is held while any source holds it, and a press or
// release event is queued only when that union changes.
enum KeySource { SOURCE_KEYBOARD, SOURCE_PAD_A, SOURCE_PAD_B, KEY_SOURCES };

// A source presses (down) or releases a key; nothing happens if it already did. The
// resulting event, if any, reaches the queue and the held-key table at the end of the
// current processEvents.
void setSourceKey(int source, uint8_t code, bool down);

// ---------------------------------------------------------------------------------
// Keys of a network game (input.cpp)
// ---------------------------------------------------------------------------------

// In a network game this machine's keys count only once both machines have them: with a
// handler set, processEvents hands each event of the keyboard and controllers to it (in
// this machine's own scan codes) instead of applying it, and the game applies the events
// both machines agreed on with applyKeyEvent. Null hands them back to the game directly.
using KeyEventHandler = void (*)(uint8_t pressed, uint8_t code);
void setKeyEventHandler(KeyEventHandler handler);
// Puts an event into the queue and the held-key table, as processEvents does.
void applyKeyEvent(uint8_t pressed, uint8_t code);
// Empties the queue and lets go of every held key, without events: both machines of a
// network game start from nothing held.
void clearKeys();
// Empties the queue and holds exactly what this machine's keyboard and controllers hold,
// without events: back to a game on this machine alone.
void holdLocalKeys();

// ---------------------------------------------------------------------------------
// Game controllers (controller.cpp)
// ---------------------------------------------------------------------------------

// Stick and trigger positions at which a direction or pedal counts as pressed, and below
// which it counts as released again (SDL axis units, full scale 32767). The gap keeps a
// wobbling stick from sending a stream of presses.
constexpr int STICK_PRESS = 16384;
constexpr int STICK_RELEASE = 9830;
constexpr int TRIGGER_PRESS = 8192;
constexpr int TRIGGER_RELEASE = 4096;

// Starts SDL's game controller support; controllers then come and go with SDL's
// device events. Returns false, after one line on stderr, when there is none: the game
// still plays with the keyboard.
bool initControllers();
// Closes the controllers in use and stops controller support.
void deinitControllers();
// Handles a controller event (plugged in, unplugged, button, stick or trigger): the first
// controller drives player A, the second player B, each by holding that player's scan
// codes. Returns false for any other event.
bool handleControllerEvent(const SDL_Event& event);
// Lets go of everything the controllers hold (the window lost the focus); a controller
// input held on counts again once it is pressed or moved anew.
void releaseControllers();
// The SDL instance id of the controller driving a player, or -1 when it has none.
int controllerOf(int player);
