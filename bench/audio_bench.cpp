// Cost of the audio callback: 512 frames through the resampler and the chip model with the
// game's five voices sounding, as a share of the 10.7 ms of sound it delivers.
#include "opl.h"
#include "sdlopl.h"
#include "sound.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr double CALLBACK_PERIOD_S = double(AUDIO_FRAMES) / AUDIO_RATE;
// The one-shots ring for under a second: re-trigger them often enough that all five voices
// sound throughout (every 32 callbacks, about 0.34 s).
constexpr int RETRIGGER_CALLBACKS = 32;

// Both engines running, a light beep and both speaker-test beeps.
void soundFiveVoices(int n) {
    snd_beepLights(n % 2 != 0);
    snd_beepLeft();
    snd_beepRight();
    snd_motorFreq(0, 500 + n % 300);
    snd_motorFreq(1, 700 - n % 300);
}

void startFiveVoices() {
    opl_init(0x388, 1);
    if (src_state == nullptr) initOplEmulation();
    snd_motorSetup(0, 0);
    snd_motorSetup(1, 2);
    soundFiveVoices(0);
}

// Reports the time per callback as a share of the callback's period (0.02 is 2%; the
// library prints an inverted rate with a unit of "s").
void reportShare(benchmark::State& state) {
    state.counters["period_share"] =
        benchmark::Counter(double(state.iterations()) * CALLBACK_PERIOD_S,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_AudioCallback(benchmark::State& state) {
    startFiveVoices();
    std::vector<uint8_t> stream(AUDIO_FRAMES * 4);
    int n = 0;
    for (auto _ : state) {
        if (++n % RETRIGGER_CALLBACKS == 0) soundFiveVoices(n);
        oplEmulationCallback(nullptr, stream.data(), int(stream.size()));
        benchmark::DoNotOptimize(stream.data());
    }
    reportShare(state);
}
BENCHMARK(BM_AudioCallback);

// The chip's share of it: the chip frames one callback consumes, without the resampler.
void BM_ChipFramesOfOneCallback(benchmark::State& state) {
    startFiveVoices();
    const int chipFrames = AUDIO_FRAMES * Opl3Chip::NativeRate / AUDIO_RATE + 1;
    int n = 0;
    for (auto _ : state) {
        if (++n % RETRIGGER_CALLBACKS == 0) soundFiveVoices(n);
        short left = 0, right = 0;
        for (int i = 0; i < chipFrames; ++i)
            chip.Sample(&left, &right);
        benchmark::DoNotOptimize(left);
        benchmark::DoNotOptimize(right);
    }
    reportShare(state);
}
BENCHMARK(BM_ChipFramesOfOneCallback);

} // namespace
