// Window, palette and frame clock: the game's 320 x 200 picture of palette indices shown
// stretched over a 640 x 480 window (or, in full screen, over the largest 4:3 part of the
// screen), one frame every 50 ms.
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
// Frames after a full-screen switch during which the renderer may still be resizing its
// buffers: each of them starts its period when its picture is out, so that a slow
// present is not caught up with a burst of fast frames.
static constexpr int SWITCH_SETTLE_FRAMES = 10;

static SDL_Window* window = nullptr;
static SDL_Renderer* renderer = nullptr;
static SDL_Texture* texture = nullptr;
static bool fullscreen = false;
static int settleFrames = 0;
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
    // The bars beside the picture in full screen.
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
    texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                SCREEN_W, SCREEN_H);
    if (!texture) return failVideo("create the texture");

    if (haveAudio) initAudio();
    initControllers(); // without them the keyboard still plays
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
    deinitControllers();
    closeWindow();
    fullscreen = false;
    settleFrames = 0;
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

uint32_t nextFrameTicker(uint32_t nowMs, uint32_t frameTickerMs) {
    // The period advances by exactly one frame, so the long-run rate stays at 20 fps even
    // when a frame is late. After a long stall (a window drag, a suspended laptop) that
    // would replay seconds of race at once, so the clock starts again from now instead.
    if ((nowMs - frameTickerMs) / FRAME_MS > MAX_CATCH_UP_FRAMES) return nowMs;
    return frameTickerMs + FRAME_MS;
}

void restartFrameClock() {
    frameTicker = SDL_GetTicks();
}

void flip(const unsigned char* framebuffer) {
    convertFrame(framebuffer, pixels, SCREEN_BYTES);
    while (frameMustWait(SDL_GetTicks(), frameTicker))
        SDL_Delay(FRAME_WAIT_STEP_MS);
    frameTicker = nextFrameTicker(SDL_GetTicks(), frameTicker);
    SDL_UpdateTexture(texture, nullptr, pixels, SCREEN_W * sizeof(uint32_t));
    SDL_RenderClear(renderer);
    int outputW = WINDOW_W, outputH = WINDOW_H;
    if (SDL_GetRendererOutputSize(renderer, &outputW, &outputH) != 0) {
        outputW = WINDOW_W;
        outputH = WINDOW_H;
    }
    const PixelRect fit = fitPicture(outputW, outputH);
    const SDL_Rect target = {fit.x, fit.y, fit.w, fit.h};
    SDL_RenderCopy(renderer, texture, nullptr, &target);
    SDL_RenderPresent(renderer);
    if (settleFrames > 0) {
        --settleFrames;
        restartFrameClock();
    }
}

PixelRect fitPicture(int outputW, int outputH) {
    if (outputW <= 0 || outputH <= 0) return {0, 0, 0, 0};
    // As wide as the output; if that is too tall, as tall as the output.
    int64_t w = outputW;
    int64_t h = w * WINDOW_H / WINDOW_W;
    if (h > outputH) {
        h = outputH;
        w = h * WINDOW_W / WINDOW_H;
    }
    return {static_cast<int>((outputW - w) / 2), static_cast<int>((outputH - h) / 2),
            static_cast<int>(w), static_cast<int>(h)};
}

bool isFullscreen() {
    return fullscreen;
}

bool setFullscreen(bool on) {
    const bool ok = SDL_SetWindowFullscreen(window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
    if (!ok) {
        std::fprintf(stderr, "zotik: cannot %s full screen: %s\n", on ? "switch to" : "leave",
                     SDL_GetError());
        // Whatever SDL got half done, the window is the safe place to be.
        if (on && window) SDL_SetWindowFullscreen(window, 0);
    }
    fullscreen = window && (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
    SDL_ShowCursor(fullscreen ? SDL_DISABLE : SDL_ENABLE);
    // The switch, and the first presents after it, take a while: go on from then rather
    // than hurry through the frames they cost.
    restartFrameClock();
    settleFrames = SWITCH_SETTLE_FRAMES;
    return ok;
}

void toggleFullscreen() {
    setFullscreen(!fullscreen);
}
