// Speed of the OPL3 chip model, one Sample call at a time as the audio path calls it, at the
// chip's own rate. Each benchmark reports
//   x_realtime   chip samples per second as a multiple of real time (49716 Hz), and
//   chip_sample  the time one chip sample takes (printed as an inverted rate, e.g. "95n s"),
// with 1, 5 (the game's engines, beeps and crash) and all 18 channels sounding: the difference
// between 18 and 1 channel, over 17, is the cost of a sounding channel, and what one channel
// leaves over is the fixed cost of a sample with 17 silent channels.
#include "sdlopl.h"

#include <benchmark/benchmark.h>

namespace {

// Register offset of a channel's first operator within its bank, and the bank's base.
int modulatorOffset(int channel) {
    const int inBank = channel % 9;
    return (inBank % 3) + 8 * (inBank / 3);
}
int bankBase(int channel) {
    return channel >= 9 ? 0x100 : 0;
}

void write(Opl3Chip& opl, int reg, int val) {
    opl.Port(static_cast<unsigned short>(reg), static_cast<unsigned char>(val));
}

// Loads a two-operator voice into a channel: registers 0x20, 0x40, 0x60, 0x80 and 0xE0 of the
// modulator and the carrier, and 0xC0 (both sides, feedback 3, frequency modulation).
void loadVoice(Opl3Chip& opl, int channel, const unsigned char (&mod)[5],
               const unsigned char (&car)[5]) {
    const int bases[5] = {0x20, 0x40, 0x60, 0x80, 0xE0};
    const int offset = bankBase(channel) + modulatorOffset(channel);
    for (int k = 0; k < 5; ++k) {
        write(opl, bases[k] + offset, mod[k]);
        write(opl, bases[k] + offset + 3, car[k]);
    }
    write(opl, bankBase(channel) + 0xC0 + channel % 9, 0x36);
}

// Writes F-number, block and key of a channel.
void setNote(Opl3Chip& opl, int channel, int fnum, int block, bool key) {
    const int base = bankBase(channel) + channel % 9;
    write(opl, base + 0xA0, fnum & 0xFF);
    write(opl, base + 0xB0, (key ? 0x20 : 0) | (block << 2) | (fnum >> 8));
}

// A note of channel c: a different pitch for every channel.
int fnumOf(int c) {
    return 400 + 37 * c;
}
int blockOf(int c) {
    return 3 + c % 3;
}

// Runs the chip `Block` samples per timed round and reports both figures.
constexpr int Block = 512;

void reportSpeed(benchmark::State& state) {
    const double samples = double(state.iterations()) * Block;
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["x_realtime"] =
        benchmark::Counter(samples / Opl3Chip::NativeRate, benchmark::Counter::kIsRate);
    state.counters["chip_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// `channels` channels holding a sustained FM voice (modulator into carrier, with feedback).
void runHeldNotes(benchmark::State& state, int channels) {
    Opl3Chip opl(0);
    const unsigned char mod[5] = {0x21, 0x18, 0xF2, 0x24, 0x00}; // sustain mode, multiplier 1
    const unsigned char car[5] = {0x21, 0x00, 0xF2, 0x24, 0x00};
    for (int c = 0; c < channels; ++c) {
        loadVoice(opl, c, mod, car);
        setNote(opl, c, fnumOf(c), blockOf(c), true);
    }
    short left = 0, right = 0;
    int sum = 0;
    for (auto _ : state) {
        for (int n = 0; n < Block; ++n) {
            opl.Sample(&left, &right);
            sum += left + right;
        }
        benchmark::DoNotOptimize(sum);
    }
    reportSpeed(state);
}

void BM_Opl3AllChannels(benchmark::State& state) {
    runHeldNotes(state, Opl3Chip::ChannelCount);
}
void BM_Opl3GameChannels(benchmark::State& state) {
    runHeldNotes(state, 5);
}
void BM_Opl3OneChannel(benchmark::State& state) {
    runHeldNotes(state, 1);
}

// All 18 channels with envelopes that never settle: short notes keyed on and off in turn
// (attack, decay, sustain falling at the release rate, release), with tremolo and vibrato,
// so that the envelope steps and the vibrato run every sample rather than a held note's
// shortcut.
void BM_Opl3AllChannelsMoving(benchmark::State& state) {
    Opl3Chip opl(0);
    write(opl, 0xBD, 0xC0); // deep tremolo and vibrato
    const unsigned char mod[5] = {0xC1, 0x1C, 0xA4, 0x36, 0x00};
    const unsigned char car[5] = {0xC1, 0x00, 0xB5, 0x47, 0x01};
    for (int c = 0; c < Opl3Chip::ChannelCount; ++c)
        loadVoice(opl, c, mod, car);
    // Every channel is keyed on for half of every 8192 chip samples, the channels staggered.
    constexpr int Period = 8192, Stagger = Period / Opl3Chip::ChannelCount;
    auto channelAt = [](int phase) {
        return phase % Stagger == 0 && phase / Stagger < Opl3Chip::ChannelCount ? phase / Stagger
                                                                                : -1;
    };
    short left = 0, right = 0;
    int sum = 0, t = 0;
    for (auto _ : state) {
        for (int n = 0; n < Block; ++n, ++t) {
            const int on = channelAt(t % Period), off = channelAt((t + Period / 2) % Period);
            if (on >= 0) setNote(opl, on, fnumOf(on), blockOf(on), true);
            if (off >= 0) setNote(opl, off, fnumOf(off), blockOf(off), false);
            opl.Sample(&left, &right);
            sum += left + right;
        }
        benchmark::DoNotOptimize(sum);
    }
    reportSpeed(state);
}

} // namespace

BENCHMARK(BM_Opl3AllChannels);
BENCHMARK(BM_Opl3GameChannels);
BENCHMARK(BM_Opl3OneChannel);
BENCHMARK(BM_Opl3AllChannelsMoving);
