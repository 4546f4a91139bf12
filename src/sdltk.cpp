// Window, palette and frame clock: the game's 320 x 200 picture of palette indices shown
// stretched over a 640 x 480 window, one frame every 50 ms.
#include "sdltk.h"

#include "main.h"
#include "sdlopl.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

uint32_t audioDevice = 0;

static constexpr int WINDOW_W = 640;
static constexpr int WINDOW_H = 480;
static constexpr uint32_t FRAME_WAIT_STEP_MS = 5;

static SDL_Window* window = nullptr;
static SDL_Renderer* renderer = nullptr;
static SDL_Texture* texture = nullptr;
// Start of the current frame period, in SDL_GetTicks milliseconds.
static uint32_t frameTicker = 0;
// Staging copy of the picture in ARGB, uploaded whole every frame.
static uint32_t pixels[SCREEN_BYTES];

static void closeWindow() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
}

// Reports why the picture cannot be shown, undoes what was opened and fails.
static bool failVideo(const char* what) {
    std::fprintf(stderr, "zotik: cannot %s: %s\n", what, SDL_GetError());
    closeWindow();
    SDL_Quit();
    return false;
}

// Without a display SDL falls back to a driver that draws nowhere; a player would face a
// game running without a window, so that counts as a failure unless it was asked for.
static bool videoIsInvisible() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver) return true;
    const bool invisible = std::strcmp(driver, "offscreen") == 0 ||
                           std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "evdev") == 0;
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    return invisible && !(asked && std::strcmp(asked, driver) == 0);
}

bool initTk() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return failVideo("start SDL video");
    if (videoIsInvisible()) {
        SDL_SetError("no display found (only SDL's '%s' video driver is available)",
                     SDL_GetCurrentVideoDriver());
        return failVideo("open a window");
    }
    // Without sound the game still plays: audio is started on its own so that a
    // machine with no audio device does not stop the picture from opening.
    const bool haveAudio = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;

    char date[9];
    getBuildDate(date);
    char title[32] = {};
    std::snprintf(title, sizeof title, "ZOTIK - Build %s", date);

    window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, WINDOW_W,
                              WINDOW_H, 0);
    if (!window) return failVideo("create the window");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    renderer = SDL_CreateRenderer(window, -1, 0);
    if (!renderer) return failVideo("create the renderer");
    texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                SCREEN_W, SCREEN_H);
    if (!texture) return failVideo("create the texture");

    if (haveAudio) initAudio();
    frameTicker = SDL_GetTicks();
    return true;
}

void initAudio() {
    audioDevice = openFmAudioDevice();
    if (audioDevice == 0) return; // no device: the game plays silently
    initOplEmulation();
}

void deinitTk() {
    // The audio device goes first so that the callback has stopped before anything it
    // uses is released.
    if (audioDevice != 0) SDL_CloseAudioDevice(audioDevice);
    audioDevice = 0;
    closeWindow();
    SDL_Quit();
}

void convertFrame(const unsigned char* framebuffer, uint32_t* argb, int count) {
    for (int i = 0; i < count; ++i)
        argb[i] = vga16[framebuffer[i] & 15];
}

bool frameMustWait(uint32_t nowMs, uint32_t frameTickerMs) {
    // Unsigned difference: correct across the 49-day wrap of the millisecond clock.
    return nowMs - frameTickerMs < FRAME_MS;
}

void flip(const unsigned char* framebuffer) {
    convertFrame(framebuffer, pixels, SCREEN_BYTES);
    while (frameMustWait(SDL_GetTicks(), frameTicker))
        SDL_Delay(FRAME_WAIT_STEP_MS);
    // The period advances by exactly one frame, so the long-run rate stays at 20 fps
    // even when a frame is late.
    frameTicker += FRAME_MS;
    SDL_UpdateTexture(texture, nullptr, pixels, SCREEN_W * sizeof(uint32_t));
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}
