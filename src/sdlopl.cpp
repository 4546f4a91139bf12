// The audio path: the chip model, resampled by libsamplerate, feeds SDL's audio callback.
#include "sdlopl.h"

#include "opl.h"
#include "sdltk.h"

#include <SDL.h>
#include <samplerate.h>

#include <algorithm>
#include <cstring>
#include <vector>

Opl3Chip chip(0);
SRC_STATE* src_state = nullptr;
std::vector<float> samples;

namespace {

constexpr int AUDIO_CHANNELS = 2;
// Output rate over input rate, as libsamplerate wants it.
constexpr double RESAMPLE_RATIO = static_cast<double>(AUDIO_RATE) / Opl3Chip::NativeRate;
// FM sound is on when OPL_mode holds this.
constexpr int OPL_MODE_ON = 3;

// Hands the converter one stereo chip frame per request.
long src_input_callback(void* /*cb_data*/, float** data) {
    static float audioFrameF[AUDIO_CHANNELS];
    short frame[AUDIO_CHANNELS];
    chip.Sample(&frame[0], &frame[1]);
    src_short_to_float_array(frame, audioFrameF, AUDIO_CHANNELS);
    *data = audioFrameF;
    return 1;
}

} // namespace

void opl_init(int /*port*/, int enabled) {
    OPL_mode = enabled ? OPL_MODE_ON : 0;
}

void initOplEmulation() {
    // A second call must not leak the first converter.
    if (src_state != nullptr) src_state = src_delete(src_state);
    int error = 0;
    src_state =
        src_callback_new(src_input_callback, SRC_SINC_FASTEST, AUDIO_CHANNELS, &error, nullptr);
    // Without a converter the callback plays silence; the game itself runs on.
    if (src_state == nullptr) return;
    if (audioDevice != 0) SDL_PauseAudioDevice(audioDevice, 0);
}

uint32_t openFmAudioDevice() {
    SDL_AudioSpec desired;
    SDL_memset(&desired, 0, sizeof desired);
    desired.freq = AUDIO_RATE;
    desired.format = AUDIO_S16LSB;
    desired.channels = AUDIO_CHANNELS;
    desired.samples = AUDIO_FRAMES;
    desired.callback = oplEmulationCallback;
    desired.userdata = nullptr;
    SDL_AudioSpec obtained;
    return SDL_OpenAudioDevice(nullptr, 0, &desired, &obtained, 0);
}

void opl_deinit() {
    if (src_state != nullptr) src_state = src_delete(src_state);
}

void oplEmulationCallback(void* /*userdata*/, uint8_t* stream, int len) {
    if (stream == nullptr || len <= 0) return;
    if (OPL_mode == 0 || src_state == nullptr) {
        std::memset(stream, 0, static_cast<size_t>(len));
        return;
    }
    const int values = len / 2;
    const long frames = values / AUDIO_CHANNELS;
    // Shrinking keeps the storage, so the steady state allocates nothing.
    samples.resize(static_cast<size_t>(values));
    long got = src_callback_read(src_state, RESAMPLE_RATIO, frames, samples.data());
    if (got < 0) got = 0;
    // A short read would otherwise replay what the last callback left behind.
    if (got < frames) std::fill(samples.begin() + got * AUDIO_CHANNELS, samples.end(), 0.0f);
    src_float_to_short_array(samples.data(), reinterpret_cast<short*>(stream), values);
    // An odd trailing byte cannot hold a sample: keep it silent.
    if (len % 2 != 0) stream[len - 1] = 0;
}

void WriteFM(unsigned short reg, unsigned char value) {
    // With no device open there is no audio thread to lock out.
    if (audioDevice != 0) SDL_LockAudioDevice(audioDevice);
    chip.Port(reg, value);
    if (audioDevice != 0) SDL_UnlockAudioDevice(audioDevice);
}
