// Renders the game's sound effects for listening, through the same chip model, resampler and
// device callback the game uses.
//
//   sfxwav [DIR]            writes one WAV file per effect into DIR (default: .)
//   sfxwav --play           plays a demonstration through the audio device instead; with
//                           SDL_AUDIODRIVER=disk SDL records it to SDL_DISKAUDIOFILE
//
// The files are 48000 Hz, 16-bit stereo, as the audio device receives them.
#include "opl.h"
#include "sdlopl.h"
#include "sdltk.h"
#include "sim.h"
#include "sound.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int STEP_FRAMES = AUDIO_RATE / 20; // one simulation step, 1/20 s
constexpr int CAR_COUNT = 3;
const char* const carNames[CAR_COUNT] = {"skoda", "trabant", "beetle"};

// Engine sweep: from standstill up through the four gears to 40 steps per second.
constexpr float SWEEP_TOP_SPEED = 40.0f;
constexpr int SWEEP_STEPS = 160;

// Starts every effect from a chip that has never sounded, as the game does at start-up.
void freshChip() {
    opl_deinit();
    chip.~Opl3Chip();
    new (&chip) Opl3Chip(0);
    initOplEmulation();
}

// Appends `frames` frames of the device callback's output.
void render(std::vector<int16_t>& out, int frames) {
    while (frames > 0) {
        const int n = frames < AUDIO_FRAMES ? frames : AUDIO_FRAMES;
        const size_t at = out.size();
        out.resize(at + size_t(n) * 2);
        oplEmulationCallback(nullptr, reinterpret_cast<uint8_t*>(&out[at]), n * 4);
        frames -= n;
    }
}

void put32(std::FILE* f, uint32_t v) {
    const unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

void put16(std::FILE* f, uint16_t v) {
    const unsigned char b[2] = {uint8_t(v), uint8_t(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

bool writeWav(const std::string& path, const std::vector<int16_t>& stereo) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "sfxwav: cannot write %s\n", path.c_str());
        return false;
    }
    const uint32_t dataBytes = uint32_t(stereo.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);             // format chunk size
    put16(f, 1);              // PCM
    put16(f, 2);              // channels
    put32(f, AUDIO_RATE);     // frames per second
    put32(f, AUDIO_RATE * 4); // bytes per second
    put16(f, 4);              // bytes per frame
    put16(f, 16);             // bits per sample
    std::fwrite("data", 1, 4, f);
    put32(f, dataBytes);
    for (int16_t s : stereo)
        put16(f, uint16_t(s));
    const bool ok = std::fclose(f) == 0;
    if (ok) std::printf("%s\n", path.c_str());
    return ok;
}

// A one-shot effect followed by a second of its ring.
std::vector<int16_t> oneShot(const std::function<void()>& play) {
    freshChip();
    std::vector<int16_t> out;
    play();
    render(out, AUDIO_RATE);
    return out;
}

// The start lights: two low beeps and the high one, a second apart.
std::vector<int16_t> lightsSequence() {
    freshChip();
    std::vector<int16_t> out;
    for (bool high : {false, false, true}) {
        snd_beepLights(high);
        render(out, AUDIO_RATE);
    }
    return out;
}

// One car's engine from standstill through all four gears, held, then stopped.
std::vector<int16_t> engineSweep(int car) {
    freshChip();
    std::vector<int16_t> out;
    snd_motorSetup(0, car);
    for (int step = 0; step <= SWEEP_STEPS; ++step) {
        snd_motorFreq(0, speed2fnum(SWEEP_TOP_SPEED * step / SWEEP_STEPS));
        render(out, STEP_FRAMES);
    }
    render(out, AUDIO_RATE);
    snd_motorStop(0);
    render(out, AUDIO_RATE / 2);
    return out;
}

int renderFiles(const std::string& dir) {
    bool ok = true;
    auto file = [&](const char* name, const std::vector<int16_t>& sound) {
        ok = writeWav(dir + "/" + name + ".wav", sound) && ok;
    };
    file("beep_left", oneShot(snd_beepLeft));
    file("beep_right", oneShot(snd_beepRight));
    file("lights_low", oneShot([] { snd_beepLights(false); }));
    file("lights_high", oneShot([] { snd_beepLights(true); }));
    file("lights_sequence", lightsSequence());
    file("crash_40", oneShot([] { snd_crash(40); }));
    file("crash_63", oneShot([] { snd_crash(63); }));
    for (int car = 0; car < CAR_COUNT; ++car)
        file((std::string("engine_") + carNames[car]).c_str(), engineSweep(car));
    return ok ? 0 : 1;
}

// Plays a fixed programme through the real audio device: the game's own path, with every
// register write locked against the running callback.
int playDemo() {
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "sfxwav: SDL audio: %s\n", SDL_GetError());
        return 1;
    }
    audioDevice = openFmAudioDevice();
    if (audioDevice == 0) {
        std::fprintf(stderr, "sfxwav: no audio device: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    initOplEmulation();
    if (src_state == nullptr) {
        std::fprintf(stderr, "sfxwav: no resampler\n");
        SDL_CloseAudioDevice(audioDevice);
        SDL_Quit();
        return 1;
    }
    const Uint32 start = SDL_GetTicks();
    auto at = [&](double seconds, const char* what) {
        const Uint32 due = start + Uint32(seconds * 1000);
        while (int32_t(SDL_GetTicks() - due) < 0)
            SDL_Delay(1);
        std::printf("%6.2f s  %s\n", seconds, what);
        std::fflush(stdout);
    };
    at(0.5, "beep left");
    snd_beepLeft();
    at(1.5, "beep right");
    snd_beepRight();
    at(2.5, "lights low");
    snd_beepLights(false);
    at(3.5, "lights high");
    snd_beepLights(true);
    at(4.5, "crash 63");
    snd_crash(63);
    at(5.5, "crash 40");
    snd_crash(40);
    at(6.5, "engines: skoda left, beetle right, both at speed 20");
    snd_motorSetup(0, 0);
    snd_motorSetup(1, 2);
    snd_motorFreq(0, speed2fnum(20.0f));
    snd_motorFreq(1, speed2fnum(20.0f));
    at(8.5, "engines stopped");
    snd_motorStop(0);
    snd_motorStop(1);
    at(9.5, "end");
    SDL_CloseAudioDevice(audioDevice);
    audioDevice = 0;
    opl_deinit();
    SDL_Quit();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    opl_init(0x388, 1);
    if (argc > 1 && std::strcmp(argv[1], "--play") == 0) return playDemo();
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: sfxwav [DIR] | sfxwav --play\n");
        return 2;
    }
    const int status = renderFiles(argc > 1 ? argv[1] : ".");
    opl_deinit();
    return status;
}
