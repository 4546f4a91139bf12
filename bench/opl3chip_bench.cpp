// Speed of the OPL3 chip model: chip samples per second, reported as multiples of real time
// at the chip's 49716 Hz ("x_realtime"), with every channel sounding and with the five
// channels the game uses (two engines, start beeps, crash, spare).
#include "sdlopl.h"

#include <benchmark/benchmark.h>

namespace {

// A sustained two-operator FM voice (modulator into carrier, some feedback) keyed on in
// channel `channel` at F-number `fnum`, block `block`.
void sustainedNote(Opl3Chip& chip, int channel, int fnum, int block) {
    const int bank = channel >= 9 ? 0x100 : 0;
    const int inBank = channel % 9;
    const int mod = bank + (inBank % 3) + 8 * (inBank / 3);
    const int car = mod + 3;
    const unsigned char modRegs[5] = {0x21, 0x18, 0xF2, 0x24, 0x00}; // sustain, mult 1
    const unsigned char carRegs[5] = {0x21, 0x00, 0xF2, 0x24, 0x00};
    const int bases[5] = {0x20, 0x40, 0x60, 0x80, 0xE0};
    for (int k = 0; k < 5; ++k) {
        chip.Port(static_cast<unsigned short>(bases[k] + mod), modRegs[k]);
        chip.Port(static_cast<unsigned short>(bases[k] + car), carRegs[k]);
    }
    chip.Port(static_cast<unsigned short>(bank + 0xC0 + inBank), 0x36); // both sides, fb 3
    chip.Port(static_cast<unsigned short>(bank + 0xA0 + inBank), fnum & 0xFF);
    chip.Port(static_cast<unsigned short>(bank + 0xB0 + inBank),
              static_cast<unsigned char>(0x20 | (block << 2) | (fnum >> 8)));
}

void runChannels(benchmark::State& state, int channels) {
    Opl3Chip chip(0);
    for (int c = 0; c < channels; ++c)
        sustainedNote(chip, c, 400 + 37 * c, 3 + c % 3);
    constexpr int Block = 512; // chip samples per timed round
    short left = 0, right = 0;
    int sum = 0;
    for (auto _ : state) {
        for (int n = 0; n < Block; ++n) {
            chip.Sample(&left, &right);
            sum += left + right;
        }
        benchmark::DoNotOptimize(sum);
    }
    const double samples = double(state.iterations()) * Block;
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["x_realtime"] =
        benchmark::Counter(samples / Opl3Chip::NativeRate, benchmark::Counter::kIsRate);
}

void BM_Opl3AllChannels(benchmark::State& state) {
    runChannels(state, Opl3Chip::ChannelCount);
}
void BM_Opl3GameChannels(benchmark::State& state) {
    runChannels(state, 5);
}

} // namespace

BENCHMARK(BM_Opl3AllChannels);
BENCHMARK(BM_Opl3GameChannels);
