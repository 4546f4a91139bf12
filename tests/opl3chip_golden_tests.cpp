// Frozen output of the OPL3 chip model. Varied register scripts are rendered at several output
// rates; the samples, and the whole public state at the end of every round of a script, are
// hashed and compared with hashes recorded from a build whose sound had been checked by the
// behaviour tests. The model is a pure function of what is done to it, so a change that is
// only meant to make it faster or tidier must leave every hash as it is.
//
// A change that is meant to alter the sound updates the table on purpose: run
//   ZOTIK_PRINT_GOLDEN=1 ./opl3chip_golden_tests
// and paste what it prints over the table below.
#include "sdlopl.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// splitmix64: a tiny generator whose sequence is the same on every platform and library.
class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 to n - 1.
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }
    uint8_t byte() { return static_cast<uint8_t>(next()); }

  private:
    uint64_t state_;
};

// FNV-1a over a stream of 64-bit integers, a word at a time: each step is a bijection of
// the hash, so any single changed value changes the result.
class Hash {
  public:
    void add(long long value) {
        h_ ^= static_cast<uint64_t>(value);
        h_ *= 0x100000001B3ull;
    }
    uint64_t value() const { return h_; }

  private:
    uint64_t h_ = 0xCBF29CE484222325ull;
};

// Every public field of the model; pointers as indexes, so that the hash does not depend on
// where the chip lives.
void hashState(Hash& h, const Opl3Chip& chip) {
    for (long long v :
         {(long long)chip.SampleRate, (long long)chip.RateAccumulator,
          (long long)chip.PrevChipSample[0], (long long)chip.PrevChipSample[1],
          (long long)chip.CurrChipSample[0], (long long)chip.CurrChipSample[1],
          (long long)chip.EnvelopeClock, (long long)chip.TremoloPhase, (long long)chip.TremoloLevel,
          (long long)chip.VibratoDivider, (long long)chip.VibratoStep, (long long)chip.NoteSelect,
          (long long)chip.DeepTremolo, (long long)chip.DeepVibrato})
        h.add(v);
    auto opIndex = [&](const Opl3Chip::Operator* op) { return op ? op - chip.Operators : -1; };
    auto rowIndex = [](const uint16_t* row) { return (row - &Opl3Chip::RateTables[0][0]) / 8; };
    for (const Opl3Chip::Channel& c : chip.Channels) {
        for (const Opl3Chip::Operator* op : c.Ops)
            h.add(opIndex(op));
        for (long long v :
             {(long long)(c.Owner == &chip), (long long)c.Frequency, (long long)c.Octave,
              (long long)c.PhaseStep, (long long)c.KeyScaleNumber, (long long)c.FeedbackShift,
              (long long)c.ModulationType,
              (long long)(c.PairedChannel ? c.PairedChannel - chip.Channels : -1),
              (long long)c.Enabled, (long long)c.LeftEnable, (long long)c.RightEnable})
            h.add(v);
    }
    for (const Opl3Chip::Operator& o : chip.Operators) {
        for (long long v : {(long long)(o.Owner == &chip),
                            (long long)(o.OwnerChannel - chip.Channels),
                            (long long)o.Phase,
                            (long long)o.Waveform,
                            (long long)o.MultiplierX2,
                            (long long)o.EnvelopeStage,
                            (long long)o.EnvelopeLevel,
                            (long long)o.OutputLevel,
                            (long long)o.AttackRate,
                            (long long)o.DecayRate,
                            (long long)o.SustainLevel,
                            (long long)o.ReleaseRate,
                            (long long)o.AttackClockShift,
                            (long long)o.AttackClockMask,
                            (long long)o.AttackIncrement,
                            (long long)rowIndex(o.AttackPattern),
                            (long long)o.DecayClockShift,
                            (long long)o.DecayClockMask,
                            (long long)o.DecayIncrement,
                            (long long)rowIndex(o.DecayPattern),
                            (long long)o.ReleaseClockShift,
                            (long long)o.ReleaseClockMask,
                            (long long)o.ReleaseIncrement,
                            (long long)rowIndex(o.ReleasePattern),
                            (long long)o.KeyScaleShift,
                            (long long)o.KeyScaleLevel,
                            (long long)o.PrevOutputs[0],
                            (long long)o.PrevOutputs[1],
                            (long long)o.KeyOn,
                            (long long)o.EnvelopeScaling,
                            (long long)o.SustainMode,
                            (long long)o.TremoloEnable,
                            (long long)o.VibratoEnable})
            h.add(v);
    }
}

// Register offset of a channel's first operator within its bank.
int modulatorOffset(int channel) {
    const int inBank = channel % 9;
    return (inBank % 3) + 8 * (inBank / 3);
}
int bankBase(int channel) {
    return channel >= 9 ? 0x100 : 0;
}

// Writes a random but mostly audible register script to a chip, round by round, remembering
// each channel's 0xB0 value so that keys can be toggled while a note sounds.
class Script {
  public:
    Script(Opl3Chip& target, uint64_t seed) : chip_(target), rng_(seed) {}

    // A few random actions: voices, keys, pitches, four-operator pairs, the global switches,
    // single operator registers and stray writes anywhere.
    void round() {
        const unsigned actions = 1 + rng_.below(8);
        for (unsigned a = 0; a < actions; ++a) {
            const unsigned pick = rng_.below(100);
            if (pick < 22) {
                voice(static_cast<int>(rng_.below(18)));
            } else if (pick < 42) {
                toggleKey(static_cast<int>(rng_.below(18)));
            } else if (pick < 56) {
                pitch(static_cast<int>(rng_.below(18)));
            } else if (pick < 61) {
                write(0x104, rng_.chance(80) ? rng_.byte() & 0x3F : rng_.byte());
            } else if (pick < 67) {
                write(0xBD, rng_.byte()); // deep tremolo and vibrato (and ignored rhythm bits)
            } else if (pick < 71) {
                write(0x08, rng_.byte()); // note select
            } else if (pick < 88) {
                // One operator register, unused offsets included.
                static const unsigned groups[] = {0x20, 0x40, 0x60, 0x80, 0xE0};
                const unsigned bank = rng_.chance(50) ? 0x100 : 0;
                const unsigned group = groups[rng_.below(5)];
                const unsigned offset = rng_.below(0x20);
                write(bank + group + offset, rng_.byte());
            } else if (pick < 97) {
                anywhere(0x200); // unmodelled registers too
            } else {
                anywhere(0x10000); // beyond the register space
            }
        }
    }

    Random& rng() { return rng_; }

  private:
    // Each random number is drawn in a statement of its own: the order in which the operands
    // of one expression are evaluated is up to the compiler, and the hashes must not be.
    void write(unsigned reg, unsigned val) {
        chip_.Port(static_cast<unsigned short>(reg), static_cast<unsigned char>(val));
    }
    void anywhere(unsigned registers) {
        const unsigned reg = rng_.below(registers);
        write(reg, rng_.byte());
    }

    // A whole two-operator voice, keyed on: every waveform, both key-scale options, often
    // tremolo and vibrato, mostly loud and with a non-zero attack.
    void voice(int channel) {
        const int bank = bankBase(channel), in = channel % 9;
        for (int op = 0; op < 2; ++op) {
            const int offset = bank + modulatorOffset(channel) + 3 * op;
            write(0x20 + offset, rng_.byte());
            const unsigned keyScale = rng_.byte() & 0xC0u;
            write(0x40 + offset, keyScale | (rng_.chance(75) ? rng_.below(24) : rng_.below(64)));
            const unsigned attack = rng_.chance(90) ? 1 + rng_.below(15) : 0;
            write(0x60 + offset, (attack << 4) | rng_.below(16));
            write(0x80 + offset, rng_.byte());
            write(0xE0 + offset, rng_.byte());
        }
        write(bank + 0xC0 + in, rng_.chance(85) ? rng_.byte() | 0x10 : rng_.byte());
        write(bank + 0xA0 + in, rng_.byte());
        b0_[channel] = static_cast<uint8_t>(0x20 | (rng_.byte() & 0x1F));
        write(bank + 0xB0 + in, b0_[channel]);
    }

    // Key on or off with block and F-number unchanged, while the note sounds.
    void toggleKey(int channel) {
        b0_[channel] ^= 0x20;
        write(bankBase(channel) + 0xB0 + channel % 9, b0_[channel]);
    }

    // A new F-number (low bits, or block and high bits) with the key as it is.
    void pitch(int channel) {
        const int base = bankBase(channel) + channel % 9;
        if (rng_.chance(50)) {
            write(base + 0xA0, rng_.byte());
        } else {
            b0_[channel] = static_cast<uint8_t>((b0_[channel] & 0x20) | (rng_.byte() & 0x1F));
            write(base + 0xB0, b0_[channel]);
        }
    }

    Opl3Chip& chip_;
    Random rng_;
    uint8_t b0_[18] = {};
};

// Sets public fields directly, or calls the public setters and per-object entry points, as a
// test or a tool may: everything a register can set, to values a register can give.
void poke(Opl3Chip& chip, Random& rng, Hash& samples) {
    static const uint16_t multipliers[] = {1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 24, 30};
    Opl3Chip::Operator& o = chip.Operators[rng.below(36)];
    const int ci = static_cast<int>(rng.below(18));
    Opl3Chip::Channel& c = chip.Channels[ci];
    switch (rng.below(30)) {
    case 0:
        o.Waveform = static_cast<uint16_t>(rng.below(8));
        break;
    case 1:
        o.MultiplierX2 = multipliers[rng.below(13)];
        break;
    case 2:
        o.EnvelopeStage = static_cast<int32_t>(rng.below(5)) - 1;
        break;
    case 3:
        o.EnvelopeLevel = static_cast<int16_t>(rng.below(512));
        break;
    case 4:
        o.OutputLevel = static_cast<uint16_t>(4 * rng.below(64));
        break;
    case 5:
        o.KeyScaleLevel = static_cast<uint16_t>(rng.below(225));
        break;
    case 6:
        o.TremoloEnable = rng.chance(50);
        break;
    case 7:
        o.VibratoEnable = rng.chance(50);
        break;
    case 8:
        o.SustainMode = rng.chance(50);
        break;
    case 9:
        o.Phase = static_cast<uint32_t>(rng.next());
        break;
    case 10: {
        const unsigned which = rng.below(2);
        o.PrevOutputs[which] = static_cast<int16_t>(static_cast<int>(rng.below(8170)) - 4085);
        break;
    }
    case 11:
        // A raw rate without its derived parameters, then with them.
        o.AttackRate = static_cast<uint16_t>(rng.below(16));
        o.DecayRate = static_cast<uint16_t>(rng.below(16));
        o.ReleaseRate = static_cast<uint16_t>(rng.below(16));
        if (rng.chance(50)) o.ComputeRates();
        break;
    case 12:
        o.SustainLevel = static_cast<uint16_t>(16 * rng.below(15));
        break;
    case 13:
        o.SetWaveform(rng.below(8));
        break;
    case 14:
        o.SetOutputLevel(rng.below(64));
        break;
    case 15:
        o.SetFrequencyMultiplier(rng.below(16));
        break;
    case 16:
        o.SetKeyOn(rng.chance(50));
        break;
    case 17:
        o.SetKeyScale(rng.below(4));
        break;
    case 18: {
        const unsigned step = static_cast<unsigned>(rng.next() & 0x1FFFF);
        const int16_t vibrato = static_cast<int16_t>(static_cast<int>(rng.below(1793)) - 896);
        const int16_t modulation = static_cast<int16_t>(static_cast<int>(rng.below(8192)) - 4096);
        samples.add(o.Output(step, vibrato, modulation, static_cast<int16_t>(rng.below(9))));
        break;
    }
    case 19:
        c.Frequency = static_cast<uint16_t>(rng.below(1024));
        break;
    case 20:
        c.Octave = static_cast<uint16_t>(rng.below(8));
        break;
    case 21: {
        const uint32_t fnum = rng.below(1024);
        c.PhaseStep = fnum << rng.below(8);
        break;
    }
    case 22:
        c.FeedbackShift = static_cast<uint16_t>(rng.chance(20) ? 0 : 2 + rng.below(7));
        break;
    case 23:
        c.ModulationType = static_cast<uint16_t>(rng.below(2));
        break;
    case 24:
        c.LeftEnable = rng.chance(50);
        c.RightEnable = rng.chance(50);
        break;
    case 25:
        if (ci % 9 < 3) {
            const bool on = rng.chance(50);
            c.PairedChannel = on ? &chip.Channels[ci + 3] : nullptr;
            chip.Channels[ci + 3].Enabled = !on;
        } else {
            c.Enabled = rng.chance(50);
        }
        break;
    case 26: {
        short l, r;
        c.Output(l, r);
        samples.add(l);
        samples.add(r);
        break;
    }
    case 27:
        c.SetOctave(rng.below(8));
        c.SetFrequencyLow(rng.byte());
        c.SetFeedback(rng.below(8));
        break;
    case 28:
        chip.DeepTremolo = rng.chance(50);
        chip.DeepVibrato = rng.chance(50);
        chip.NoteSelect = rng.chance(50);
        break;
    default:
        chip.EnvelopeClock = static_cast<uint16_t>(rng.next());
        chip.TremoloPhase = static_cast<uint16_t>(rng.below(13440));
        chip.TremoloLevel = static_cast<uint16_t>(rng.below(27));
        chip.VibratoDivider = static_cast<uint16_t>(rng.below(1024));
        chip.VibratoStep = static_cast<uint16_t>(rng.below(8));
        break;
    }
}

struct Golden {
    uint64_t seed;
    int rate;
    uint64_t samples; // hash of every output sample (and of direct Output calls)
    uint64_t state;   // hash of the public state after every round
};

// What a script made the chip do, looked at every 64th sample: the frozen hashes are worth
// only as much as the features the scripts reach.
struct Coverage {
    long long frames = 0, audible = 0; // frames, and frames with a sample beyond +-64
    int waveforms = 0;                 // bit w: an audible operator played waveform w
    bool fourOperator = false;         // a four-operator pair sounded
    bool deepTremolo = false, deepVibrato = false, noteSelect = false, keyScaleRate = false;
    int stages = 0; // bit s + 1: an operator was seen in envelope stage s

    void look(const Opl3Chip& chip, short left, short right) {
        ++frames;
        if (left > 64 || left < -64 || right > 64 || right < -64) ++audible;
        for (const Opl3Chip::Operator& o : chip.Operators) {
            stages |= 1 << (o.EnvelopeStage + 1);
            if (o.EnvelopeStage == Opl3Chip::Off || o.EnvelopeLevel + o.OutputLevel > 300) continue;
            waveforms |= 1 << o.Waveform;
            deepTremolo = deepTremolo || (chip.DeepTremolo && o.TremoloEnable);
            deepVibrato = deepVibrato || (chip.DeepVibrato && o.VibratoEnable);
            noteSelect = noteSelect || chip.NoteSelect;
            keyScaleRate = keyScaleRate || o.EnvelopeScaling;
        }
        for (const Opl3Chip::Channel& c : chip.Channels)
            fourOperator = fourOperator || (c.PairedChannel && c.Ops[3]->EnvelopeStage >= 0 &&
                                            (c.LeftEnable || c.RightEnable));
    }
};

struct Result {
    uint64_t samples, state;
};

constexpr int Rounds = 80;

// A register script: rounds of writes, each followed by up to 3000 samples.
Result runScript(uint64_t seed, int rate, Coverage* coverage) {
    Opl3Chip chip(rate);
    Script script(chip, seed);
    Hash samples, state;
    for (int round = 0; round < Rounds; ++round) {
        script.round();
        const unsigned frames = script.rng().below(3000);
        for (unsigned n = 0; n < frames; ++n) {
            short l, r;
            chip.Sample(&l, &r);
            samples.add(l);
            samples.add(r);
            if (coverage && n % 64 == 0) coverage->look(chip, l, r);
        }
        hashState(state, chip);
    }
    return {samples.value(), state.value()};
}

// The same, with public fields set directly and public setters called between samples.
Result runPokedScript(uint64_t seed, int rate, Coverage*) {
    Opl3Chip chip(rate);
    Script script(chip, seed);
    Random& rng = script.rng();
    Hash samples, state;
    for (int round = 0; round < Rounds; ++round) {
        script.round();
        const unsigned frames = rng.below(3000);
        for (unsigned n = 0; n < frames; ++n) {
            if (rng.chance(2)) poke(chip, rng, samples);
            short l, r;
            chip.Sample(&l, &r);
            samples.add(l);
            samples.add(r);
        }
        hashState(state, chip);
    }
    return {samples.value(), state.value()};
}

// The scripts and rates recorded: every script at the native rate, and each one also at one
// of the other rates (the audio device's, CD rate, half of it and one above native). The
// sanitizer builds run these too, so the set is kept to what covers the features.
struct Run {
    uint64_t seed;
    int rate;
};
const std::vector<Run> ScriptRuns = {{1, 0},     {0x5EED, 0},     {0xC0FFEE, 0},     {2026, 0},
                                     {1, 48000}, {0x5EED, 44100}, {0xC0FFEE, 22050}, {2026, 60000}};
const std::vector<Run> PokedRuns = {{7, 0}, {0xD1CE, 0}, {7, 48000}, {0xD1CE, 22050}};

// clang-format off
const std::vector<Golden> Scripts = {
    {0x1, 0, 0x5684CCB6B1465769, 0xCB9C145ECE8E59D5},
    {0x5EED, 0, 0x13C8116BE7BA69D0, 0x84BC9907695EE8BD},
    {0xC0FFEE, 0, 0xB84AC8B720D214B8, 0x366B06C2C8952C15},
    {0x7EA, 0, 0x4C3AC3C4ED09878A, 0x6750E4738AF5245F},
    {0x1, 48000, 0x6887FA56161FA01B, 0xE81F08A6B82D0BC4},
    {0x5EED, 44100, 0xE98D8C3F112C7E7E, 0x97F4DAFEC23B9429},
    {0xC0FFEE, 22050, 0x999EA59A06DD6A93, 0xEC76644F535A4CC9},
    {0x7EA, 60000, 0x97A73DDEB3DA7050, 0x87ED083F2F9F1FC9},
};

const std::vector<Golden> PokedScripts = {
    {0x7, 0, 0x0505B342B11C955B, 0x6CD1D553AB1B920C},
    {0xD1CE, 0, 0xF12269B648DB4B9C, 0x920C2A71B22ABA2F},
    {0x7, 48000, 0x0DF30C9489D3D24C, 0x4756A79391E989DA},
    {0xD1CE, 22050, 0xA351A9E1EE40FE87, 0x8D9DA721140627AF},
};
// clang-format on

bool printing() {
    const char* e = std::getenv("ZOTIK_PRINT_GOLDEN");
    return e && *e && *e != '0';
}

void check(const char* name, Result (*run)(uint64_t, int, Coverage*),
           const std::vector<Golden>& table, const std::vector<Run>& runs,
           Coverage* coverage = nullptr) {
    if (printing()) {
        std::printf("const std::vector<Golden> %s = {\n", name);
        for (const Run& x : runs) {
            const Result r = run(x.seed, x.rate, nullptr);
            std::printf("    {0x%llX, %d, 0x%016llX, 0x%016llX},\n", (unsigned long long)x.seed,
                        x.rate, (unsigned long long)r.samples, (unsigned long long)r.state);
        }
        std::printf("};\n");
        return;
    }
    ASSERT_EQ(table.size(), runs.size()) << "the table does not match the runs; regenerate it";
    for (const Golden& g : table) {
        const Result r = run(g.seed, g.rate, coverage);
        EXPECT_EQ(r.samples, g.samples) << "samples, seed " << g.seed << " rate " << g.rate;
        EXPECT_EQ(r.state, g.state) << "state, seed " << g.seed << " rate " << g.rate;
    }
}

TEST(Opl3Golden, RegisterScriptsSoundAsRecorded) {
    Coverage seen;
    check("Scripts", runScript, Scripts, ScriptRuns, &seen);
    if (printing()) return;
    // The scripts make sound most of the time, with every feature they are meant to cover.
    EXPECT_GT(seen.audible, seen.frames / 2) << seen.audible << " of " << seen.frames;
    EXPECT_EQ(seen.waveforms, 0xFF);
    EXPECT_EQ(seen.stages, 0x1F);
    EXPECT_TRUE(seen.fourOperator);
    EXPECT_TRUE(seen.deepTremolo && seen.deepVibrato);
    EXPECT_TRUE(seen.noteSelect && seen.keyScaleRate);
}

TEST(Opl3Golden, DirectFieldWritesAndSettersSoundAsRecorded) {
    check("PokedScripts", runPokedScript, PokedScripts, PokedRuns);
}

} // namespace
