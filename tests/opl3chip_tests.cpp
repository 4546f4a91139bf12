// Tests of the OPL3 chip model: register decoding, derived values, envelopes, waveforms,
// algorithms and the sound itself (pitch, envelope timing), plus robustness sweeps.
#include "sdlopl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int Rate = Opl3Chip::NativeRate;

// Register offset of a channel's first operator (the modulator) within its bank; the
// second operator (the carrier) is 3 above it.
int modulatorOffset(int channel) {
    const int inBank = channel % 9;
    return (inBank % 3) + 8 * (inBank / 3);
}
int bankBase(int channel) {
    return channel >= 9 ? 0x100 : 0;
}

// Operator register values of one operator: 0x20 (flags, multiplier), 0x40 (key scale,
// level), 0x60 (attack, decay), 0x80 (sustain, release), 0xE0 (waveform).
struct OpRegs {
    uint8_t r20, r40, r60, r80, rE0;
};
// A full-level sine held at full level while the key is on: AR 15, DR 0, SL 0, sustain mode,
// multiplier 1, release rate 4.
constexpr OpRegs LoudSine = {0x21, 0x00, 0xF0, 0x04, 0x00};
// An operator that never leaves level 511 (attack rate 0) and has a waveform without negative
// half, so it outputs exactly 0: a silent modulator.
constexpr OpRegs Silent = {0x01, 0x3F, 0x00, 0x0F, 0x02};

void writeOp(Opl3Chip& chip, int bank, int offset, const OpRegs& r) {
    chip.Port(static_cast<unsigned short>(bank + 0x20 + offset), r.r20);
    chip.Port(static_cast<unsigned short>(bank + 0x40 + offset), r.r40);
    chip.Port(static_cast<unsigned short>(bank + 0x60 + offset), r.r60);
    chip.Port(static_cast<unsigned short>(bank + 0x80 + offset), r.r80);
    chip.Port(static_cast<unsigned short>(bank + 0xE0 + offset), r.rE0);
}

// Loads a two-operator voice into a channel: modulator and carrier registers and 0xC0.
void setVoice(Opl3Chip& chip, int channel, const OpRegs& mod, const OpRegs& car, uint8_t c0) {
    const int bank = bankBase(channel);
    writeOp(chip, bank, modulatorOffset(channel), mod);
    writeOp(chip, bank, modulatorOffset(channel) + 3, car);
    chip.Port(static_cast<unsigned short>(bank + 0xC0 + channel % 9), c0);
}

// Writes F-number, block and key to a channel (registers 0xA0 and 0xB0).
void setNote(Opl3Chip& chip, int channel, int fnum, int block, bool key) {
    const int bank = bankBase(channel);
    chip.Port(static_cast<unsigned short>(bank + 0xA0 + channel % 9), fnum & 0xFF);
    chip.Port(static_cast<unsigned short>(bank + 0xB0 + channel % 9),
              static_cast<unsigned char>((key ? 0x20 : 0) | (block << 2) | (fnum >> 8)));
}

// A pure sine (silent modulator, connection FM) on both outputs, keyed on.
void sineNote(Opl3Chip& chip, int channel, int fnum, int block, const OpRegs& car = LoudSine) {
    setVoice(chip, channel, Silent, car, 0x30);
    setNote(chip, channel, fnum, block, true);
}

struct Stereo {
    std::vector<short> left, right;
};

Stereo render(Opl3Chip& chip, int frames) {
    Stereo s;
    s.left.resize(frames);
    s.right.resize(frames);
    for (int i = 0; i < frames; ++i)
        chip.Sample(&s.left[i], &s.right[i]);
    return s;
}

int peak(const std::vector<short>& v) {
    int p = 0;
    for (short x : v)
        p = std::max(p, std::abs(static_cast<int>(x)));
    return p;
}

// Frequency from the rising zero crossings (linearly interpolated) of a signal sampled at
// rate Hz; 0 when there are fewer than two crossings.
double measureFrequency(const std::vector<short>& v, int rate) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t k = 1; k < v.size(); ++k) {
        if (v[k - 1] < 0 && v[k] >= 0) {
            const double t = (k - 1) + double(-v[k - 1]) / double(v[k] - v[k - 1]);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * rate / (last - first);
}

// Every field of the model as numbers (pointers as indexes), to show that a write changed
// nothing.
std::vector<long long> snapshot(const Opl3Chip& chip) {
    std::vector<long long> s = {
        chip.SampleRate,        chip.RateAccumulator,   chip.PrevChipSample[0],
        chip.PrevChipSample[1], chip.CurrChipSample[0], chip.CurrChipSample[1],
        chip.EnvelopeClock,     chip.TremoloPhase,      chip.TremoloLevel,
        chip.VibratoDivider,    chip.VibratoStep,       chip.NoteSelect,
        chip.DeepTremolo,       chip.DeepVibrato};
    auto opIndex = [&](const Opl3Chip::Operator* op) { return op ? op - chip.Operators : -1; };
    auto rowIndex = [&](const uint16_t* row) { return (row - &Opl3Chip::RateTables[0][0]) / 8; };
    for (const Opl3Chip::Channel& c : chip.Channels) {
        for (const Opl3Chip::Operator* op : c.Ops)
            s.push_back(opIndex(op));
        s.insert(s.end(), {c.Owner == &chip, c.Frequency, c.Octave, c.PhaseStep, c.KeyScaleNumber,
                           c.FeedbackShift, c.ModulationType,
                           c.PairedChannel ? c.PairedChannel - chip.Channels : -1, c.Enabled,
                           c.LeftEnable, c.RightEnable});
    }
    for (const Opl3Chip::Operator& o : chip.Operators) {
        s.insert(s.end(), {o.Owner == &chip,
                           o.OwnerChannel - chip.Channels,
                           o.Phase,
                           o.Waveform,
                           o.MultiplierX2,
                           o.EnvelopeStage,
                           o.EnvelopeLevel,
                           o.OutputLevel,
                           o.AttackRate,
                           o.DecayRate,
                           o.SustainLevel,
                           o.ReleaseRate,
                           o.AttackClockShift,
                           o.AttackClockMask,
                           o.AttackIncrement,
                           rowIndex(o.AttackPattern),
                           o.DecayClockShift,
                           o.DecayClockMask,
                           o.DecayIncrement,
                           rowIndex(o.DecayPattern),
                           o.ReleaseClockShift,
                           o.ReleaseClockMask,
                           o.ReleaseIncrement,
                           rowIndex(o.ReleasePattern),
                           o.KeyScaleShift,
                           o.KeyScaleLevel,
                           o.PrevOutputs[0],
                           o.PrevOutputs[1],
                           o.KeyOn,
                           o.EnvelopeScaling,
                           o.SustainMode,
                           o.TremoloEnable,
                           o.VibratoEnable});
    }
    return s;
}

// Checks that every field holds a value its register can give; empty when all is well.
std::string stateProblems(const Opl3Chip& chip) {
    std::ostringstream why;
    for (int i = 0; i < Opl3Chip::ChannelCount; ++i) {
        const Opl3Chip::Channel& c = chip.Channels[i];
        if (c.Frequency > 1023 || c.Octave > 7 ||
            c.PhaseStep != (uint32_t(c.Frequency) << c.Octave))
            why << "channel " << i << " frequency/block/phase step; ";
        if (c.KeyScaleNumber != c.Octave * 2 + ((c.Frequency >> (chip.NoteSelect ? 9 : 8)) & 1))
            why << "channel " << i << " key scale number; ";
        if (c.FeedbackShift == 1 || c.FeedbackShift > 8 || c.ModulationType > 1)
            why << "channel " << i << " feedback/connection; ";
        const bool pairable = i % 9 < 3;
        if (c.PairedChannel && (!pairable || c.PairedChannel != &chip.Channels[i + 3]))
            why << "channel " << i << " pair; ";
        if (pairable && chip.Channels[i + 3].Enabled == (c.PairedChannel != nullptr))
            why << "channel " << i + 3 << " enable vs pair; ";
    }
    for (int i = 0; i < Opl3Chip::OperatorCount; ++i) {
        const Opl3Chip::Operator& o = chip.Operators[i];
        const bool multiplierOk =
            o.MultiplierX2 == 1 ||
            (o.MultiplierX2 % 2 == 0 && o.MultiplierX2 <= 30 && o.MultiplierX2 != 22 &&
             o.MultiplierX2 != 26 && o.MultiplierX2 != 28);
        if (o.Waveform > 7 || !multiplierOk) why << "operator " << i << " waveform/multiplier; ";
        if (o.EnvelopeStage < Opl3Chip::Off || o.EnvelopeStage > Opl3Chip::Release ||
            o.EnvelopeLevel < 0 || o.EnvelopeLevel > 511)
            why << "operator " << i << " envelope; ";
        if (o.OutputLevel > 252 || o.OutputLevel % 4 || o.KeyScaleLevel > 224 ||
            (o.SustainLevel != 496 && (o.SustainLevel > 224 || o.SustainLevel % 16)))
            why << "operator " << i << " levels; ";
        if (o.AttackRate > 15 || o.DecayRate > 15 || o.ReleaseRate > 15 ||
            o.AttackClockShift > 12 || o.DecayClockShift > 12 || o.ReleaseClockShift > 12)
            why << "operator " << i << " rates; ";
        if (o.PrevOutputs[0] < -4085 || o.PrevOutputs[0] > 4084)
            why << "operator " << i << " output " << o.PrevOutputs[0] << "; ";
    }
    return why.str();
}

class ChipTest : public ::testing::Test {
  protected:
    Opl3Chip chip{0};
    Opl3Chip::Operator& op(int i) { return chip.Operators[i]; }
    Opl3Chip::Channel& channel(int i) { return chip.Channels[i]; }
};

// ---------------------------------------------------------------------------------
// Constant tables
// ---------------------------------------------------------------------------------

TEST(Opl3Tables, LogSinAndExpFollowTheirFormulas) {
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 256; ++i) {
        const double logSin = -std::log2(std::sin((i + 0.5) * pi / 512)) * 256;
        EXPECT_EQ(Opl3Chip::LogSinTable[i], std::lround(logSin)) << "LogSinTable[" << i << "]";
        const double exp = (std::pow(2.0, (255 - i) / 256.0) - 1) * 1024;
        EXPECT_EQ(Opl3Chip::ExpTable[i], std::lround(exp)) << "ExpTable[" << i << "]";
    }
}

// ---------------------------------------------------------------------------------
// Construction and wiring
// ---------------------------------------------------------------------------------

TEST_F(ChipTest, ConstructionWiresEveryOperatorToItsOwnChannel) {
    const int first[18] = {0, 1, 2, 6, 7, 8, 12, 13, 14, 18, 19, 20, 24, 25, 26, 30, 31, 32};
    for (int i = 0; i < 18; ++i) {
        SCOPED_TRACE(i);
        const bool fourOpCapable = i % 9 < 3;
        EXPECT_EQ(channel(i).Ops[0], &op(first[i]));
        EXPECT_EQ(channel(i).Ops[1], &op(first[i] + 3));
        EXPECT_EQ(channel(i).Ops[2], fourOpCapable ? &op(first[i] + 6) : nullptr);
        EXPECT_EQ(channel(i).Ops[3], fourOpCapable ? &op(first[i] + 9) : nullptr);
        EXPECT_EQ(op(first[i]).OwnerChannel, &channel(i));
        EXPECT_EQ(op(first[i] + 3).OwnerChannel, &channel(i));
        EXPECT_EQ(channel(i).Owner, &chip);
        EXPECT_TRUE(channel(i).Enabled);
        EXPECT_EQ(channel(i).PairedChannel, nullptr);
    }
    for (const Opl3Chip::Operator& o : chip.Operators) {
        EXPECT_EQ(o.Owner, &chip);
        EXPECT_EQ(o.EnvelopeStage, Opl3Chip::Off);
        EXPECT_EQ(o.EnvelopeLevel, 511);
        EXPECT_EQ(o.MultiplierX2, 1);
        // Rates were derived at construction: rate 0 at key scale 0.
        EXPECT_EQ(o.AttackClockShift, 12);
        EXPECT_EQ(o.ReleaseClockMask, 4095);
    }
    EXPECT_EQ(chip.SampleRate, 49716);
}

TEST(Opl3Construction, SampleRateIsLimitedToWhatTheInterpolationHandles) {
    EXPECT_EQ(Opl3Chip(44100).SampleRate, 44100);
    EXPECT_EQ(Opl3Chip(-5).SampleRate, 49716);
    EXPECT_EQ(Opl3Chip(1000000).SampleRate, 65535);
}

TEST_F(ChipTest, KeyedNotesAreSilentUntilAnOutputIsEnabled) {
    setVoice(chip, 4, Silent, LoudSine, 0x00);
    setNote(chip, 4, 580, 4, true);
    Stereo s = render(chip, 2000);
    EXPECT_EQ(peak(s.left), 0);
    EXPECT_EQ(peak(s.right), 0);
    // The envelope runs regardless: enabling the left output makes it audible at once.
    EXPECT_EQ(channel(4).Ops[1]->EnvelopeStage, Opl3Chip::Sustain);
    chip.Port(0xC4, 0x10);
    s = render(chip, 2000);
    EXPECT_GT(peak(s.left), 4000);
    EXPECT_EQ(peak(s.right), 0);
}

// ---------------------------------------------------------------------------------
// Register decoding
// ---------------------------------------------------------------------------------

TEST_F(ChipTest, OperatorRegistersReachTheOperatorOfTheirOffsetAndBank) {
    // Offsets 0x00-0x05, 0x08-0x0D, 0x10-0x15 are operators 0-17 of the bank.
    for (int bank = 0; bank < 2; ++bank) {
        for (int offset = 0; offset < 0x16; ++offset) {
            if ((offset & 7) >= 6) continue;
            const int index = bank * 18 + (offset >> 3) * 6 + (offset & 7);
            SCOPED_TRACE(index);
            const int reg = bank * 0x100 + offset;
            chip.Port(static_cast<unsigned short>(reg + 0x20), 0xF5); // AM VIB EGT KSR, mult 5
            chip.Port(static_cast<unsigned short>(reg + 0x40), 0x8B); // KSL 2, TL 11
            chip.Port(static_cast<unsigned short>(reg + 0x60), 0x7C); // AR 7, DR 12
            chip.Port(static_cast<unsigned short>(reg + 0x80), 0xF3); // SL 15, RR 3
            chip.Port(static_cast<unsigned short>(reg + 0xE0), 0xFE); // waveform 6
            const Opl3Chip::Operator& o = op(index);
            EXPECT_TRUE(o.TremoloEnable && o.VibratoEnable && o.SustainMode && o.EnvelopeScaling);
            EXPECT_EQ(o.MultiplierX2, 10);
            EXPECT_EQ(o.KeyScaleShift, 2);
            EXPECT_EQ(o.OutputLevel, 44);
            EXPECT_EQ(o.AttackRate, 7);
            EXPECT_EQ(o.DecayRate, 12);
            EXPECT_EQ(o.SustainLevel, 496);
            EXPECT_EQ(o.ReleaseRate, 3);
            EXPECT_EQ(o.Waveform, 6);
        }
    }
    // Each operator was written exactly once: none of them is left at its defaults.
    for (const Opl3Chip::Operator& o : chip.Operators)
        EXPECT_EQ(o.Waveform, 6);
}

TEST_F(ChipTest, ChannelRegistersReachTheChannelOfTheirNumberAndBank) {
    for (int i = 0; i < 18; ++i) {
        SCOPED_TRACE(i);
        const int base = bankBase(i) + i % 9;
        chip.Port(static_cast<unsigned short>(base + 0xA0), 0x44);
        chip.Port(static_cast<unsigned short>(base + 0xB0), 0x32); // key on, block 4, F hi 2
        chip.Port(static_cast<unsigned short>(base + 0xC0), 0xEB); // R, feedback 5, additive
        EXPECT_EQ(channel(i).Frequency, 0x244);
        EXPECT_EQ(channel(i).Octave, 4);
        EXPECT_EQ(channel(i).PhaseStep, 0x244u << 4);
        EXPECT_TRUE(channel(i).RightEnable);
        EXPECT_FALSE(channel(i).LeftEnable);
        EXPECT_EQ(channel(i).FeedbackShift, 4);
        EXPECT_EQ(channel(i).ModulationType, 1);
        EXPECT_TRUE(channel(i).Ops[0]->KeyOn && channel(i).Ops[1]->KeyOn);
    }
}

TEST_F(ChipTest, DeepTremoloAndVibratoAndNoteSelect) {
    chip.Port(0xBD, 0xBF);
    EXPECT_TRUE(chip.DeepTremolo);
    EXPECT_FALSE(chip.DeepVibrato);
    chip.Port(0xBD, 0x40);
    EXPECT_FALSE(chip.DeepTremolo);
    EXPECT_TRUE(chip.DeepVibrato);
    chip.Port(0x08, 0x40);
    EXPECT_TRUE(chip.NoteSelect);
}

TEST_F(ChipTest, UnmodelledAndUnusedRegistersChangeNothing) {
    // A sounding chip with a bit of everything set, so that a stray write would show.
    for (int c = 0; c < 18; ++c)
        sineNote(chip, c, 300 + 20 * c, c % 8);
    chip.Port(0xBD, 0xC0);
    render(chip, 100);
    const std::vector<long long> before = snapshot(chip);
    const unsigned short ignored[] = {0x26,  0x27,  0x2E,  0x2F,  0x36,  0x3F,  0x46, 0x5F, 0x67,
                                      0x8E,  0x96,  0xFF,  0x126, 0x12F, 0x1F7, 0xA9, 0xAF, 0xB9,
                                      0xBF,  0xC9,  0xCF,  0x1A9, 0x1BF, 0x1CC, 0xD0, 0xD5, 0x1D3,
                                      0x1BD, 0x108, 0x004, 0x105, 0x01,  0x02,  0x03, 0x1C, 0x1FF,
                                      0x200, 0x2BD, 0x2A0, 0x304, 0xFFFF};
    for (unsigned short reg : ignored)
        for (int val : {0x00, 0x55, 0xAA, 0xFF})
            chip.Port(reg, static_cast<unsigned char>(val));
    EXPECT_EQ(snapshot(chip), before);
}

TEST_F(ChipTest, FrequencyLowChangesPitchButNotKeyScaling) {
    setVoice(chip, 0, LoudSine, LoudSine, 0x30);
    chip.Port(0x20, 0x11); // modulator: key scale rate on
    chip.Port(0x40, 0xC0); // modulator: full key-scale level
    setNote(chip, 0, 0x2C0, 7, true);
    EXPECT_EQ(op(0).KeyScaleLevel, 208); // block 7, top 4 bits 11
    chip.Port(0xA0, 0x00);               // F-number 0x200: top 4 bits 8
    EXPECT_EQ(channel(0).PhaseStep, 0x200u << 7);
    EXPECT_EQ(op(0).KeyScaleLevel, 208);
    chip.Port(0xB0, 0x3E); // the same key, block and F high: now the key scale follows
    EXPECT_EQ(op(0).KeyScaleLevel, 192);
    EXPECT_EQ(op(0).Phase, 0u) << "no restart";
}

// ---------------------------------------------------------------------------------
// Derived values
// ---------------------------------------------------------------------------------

TEST_F(ChipTest, KeyScaleNumberAndLevelOfFNumber580Block4) {
    struct Case {
        uint8_t kslBits;
        uint16_t level;
    } cases[] = {{3, 104}, {1, 52}, {2, 26}, {0, 0}};
    setNote(chip, 0, 580, 4, false);
    EXPECT_EQ(channel(0).KeyScaleNumber, 8);
    for (const Case& c : cases) {
        chip.Port(0x43, static_cast<unsigned char>(c.kslBits << 6));
        EXPECT_EQ(op(3).KeyScaleLevel, c.level) << "key-scale bits " << int(c.kslBits);
    }
    chip.Port(0x08, 0x40); // note select: bit 9 of the F-number
    EXPECT_EQ(channel(0).KeyScaleNumber, 9);
    chip.Port(0x08, 0x00);
    EXPECT_EQ(channel(0).KeyScaleNumber, 8);
}

TEST_F(ChipTest, KeyScaleLevelTableAtItsCorners) {
    struct Case {
        int fnum, block;
        uint16_t level;
    } cases[] = {{1023, 7, 224}, {0, 7, 0},      {1023, 0, 0},  {0x240, 1, 8},
                 {0x3FF, 1, 32}, {0x040, 5, 32}, {0x0C0, 3, 20}};
    chip.Port(0x40, 0xC0);
    for (const Case& c : cases) {
        setNote(chip, 0, c.fnum, c.block, false);
        EXPECT_EQ(op(0).KeyScaleLevel, c.level) << c.fnum << " block " << c.block;
    }
}

TEST_F(ChipTest, RateParametersFromRateAndKeyScale) {
    struct Case {
        int rate;
        bool scaling;
        int fnum, block; // chosen for the key scale number
        uint16_t shift, mask, increment;
        int row;
    } cases[] = {
        {9, false, 0x100, 4, 3, 7, 1, 2},  // key scale number 9, a quarter of it enters
        {15, true, 0x3FF, 7, 0, 0, 64, 3}, // 15 * 4 + 15: no cap at rate 15
        {0, false, 0, 0, 12, 4095, 1, 0},  // slowest
        {9, true, 0x100, 4, 1, 1, 1, 1},   // 36 + 9 = 45: high 11, low 1
        {12, false, 0, 0, 0, 0, 1, 0},     // first rate that steps every sample
        {13, true, 0x000, 1, 0, 0, 2, 2},  // 52 + 2
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        chip.Port(0x20, c.scaling ? 0x10 : 0x00);
        chip.Port(0x80, static_cast<unsigned char>(c.rate));        // release rate
        chip.Port(0x60, static_cast<unsigned char>(c.rate | 0x10)); // decay; attack 1
        setNote(chip, 0, c.fnum, c.block, false);
        const Opl3Chip::Operator& o = op(0);
        EXPECT_EQ(o.DecayClockShift, c.shift);
        EXPECT_EQ(o.DecayClockMask, c.mask);
        EXPECT_EQ(o.DecayIncrement, c.increment);
        EXPECT_EQ(o.DecayPattern, Opl3Chip::RateTables[c.row]);
        EXPECT_EQ(o.ReleaseClockShift, c.shift);
        EXPECT_EQ(o.ReleaseIncrement, c.increment);
        EXPECT_EQ(o.ReleasePattern, Opl3Chip::RateTables[c.row]);
    }
    // Attack rate 15 always gets the instant increment, whatever the key scale.
    chip.Port(0x60, 0xF0);
    EXPECT_EQ(op(0).AttackIncrement, 0xFFF);
    chip.Port(0x20, 0x00);
    setNote(chip, 0, 0, 0, false);
    EXPECT_EQ(op(0).AttackIncrement, 0xFFF);
}

TEST_F(ChipTest, SustainLevelAndFeedbackFields) {
    const struct {
        uint8_t field;
        uint16_t sustain;
    } sustain[] = {{0, 0}, {1, 16}, {14, 224}, {15, 496}};
    for (const auto& c : sustain) {
        chip.Port(0x80, static_cast<unsigned char>(c.field << 4));
        EXPECT_EQ(op(0).SustainLevel, c.sustain) << int(c.field);
    }
    const struct {
        uint8_t field;
        uint16_t shift;
    } feedback[] = {{0, 0}, {1, 8}, {4, 5}, {7, 2}};
    for (const auto& c : feedback) {
        chip.Port(0xC0, static_cast<unsigned char>(c.field << 1));
        EXPECT_EQ(channel(0).FeedbackShift, c.shift) << int(c.field);
    }
}

// ---------------------------------------------------------------------------------
// Key on and envelope stages
// ---------------------------------------------------------------------------------

TEST_F(ChipTest, KeyOnRules) {
    setVoice(chip, 0, LoudSine, {0x21, 0x00, 0x54, 0x44, 0x00}, 0x30);

    // Key off of an operator that is Off leaves it Off.
    chip.Port(0xB0, 0x00);
    EXPECT_EQ(op(3).EnvelopeStage, Opl3Chip::Off);

    // Attack rate 15 skips the attack; a lower rate attacks from the current level.
    setNote(chip, 0, 580, 4, true);
    EXPECT_EQ(op(0).EnvelopeStage, Opl3Chip::Decay);
    EXPECT_EQ(op(0).EnvelopeLevel, 0);
    EXPECT_EQ(op(3).EnvelopeStage, Opl3Chip::Attack);
    EXPECT_EQ(op(3).EnvelopeLevel, 511);
    render(chip, 500);

    // Repeating key on with a new block and F-number changes the pitch, not the envelope.
    const uint32_t phase = op(3).Phase;
    const int16_t level = op(3).EnvelopeLevel;
    const int32_t stage = op(3).EnvelopeStage;
    setNote(chip, 0, 600, 5, true);
    EXPECT_EQ(op(3).Phase, phase);
    EXPECT_EQ(op(3).EnvelopeLevel, level);
    EXPECT_EQ(op(3).EnvelopeStage, stage);
    EXPECT_EQ(channel(0).PhaseStep, 600u << 5);

    // Key off moves every sounding stage to Release.
    setNote(chip, 0, 600, 5, false);
    EXPECT_EQ(op(0).EnvelopeStage, Opl3Chip::Release);
    EXPECT_EQ(op(3).EnvelopeStage, Opl3Chip::Release);
    render(chip, 3000);
    // Key on during the release restarts the attack from where the level stands, phase 0.
    const int16_t released = op(3).EnvelopeLevel;
    ASSERT_GT(released, 0);
    ASSERT_LT(released, 511);
    setNote(chip, 0, 600, 5, true);
    EXPECT_EQ(op(3).EnvelopeStage, Opl3Chip::Attack);
    EXPECT_EQ(op(3).EnvelopeLevel, released);
    EXPECT_EQ(op(3).Phase, 0u);
}

TEST_F(ChipTest, AttackRateZeroHoldsTheLevel) {
    setVoice(chip, 0, Silent, {0x21, 0x00, 0x0F, 0x00, 0x00}, 0x30);
    setNote(chip, 0, 580, 4, true);
    render(chip, 20000);
    EXPECT_EQ(op(3).EnvelopeStage, Opl3Chip::Attack);
    EXPECT_EQ(op(3).EnvelopeLevel, 511);
}

TEST_F(ChipTest, SustainHoldsOnlyInSustainMode) {
    // Decay to sustain level 4 (64 units) fast, then release rate 8.
    setVoice(chip, 0, Silent, {0x21, 0x00, 0xFC, 0x48, 0x00}, 0x30);
    setVoice(chip, 1, Silent, {0x01, 0x00, 0xFC, 0x48, 0x00}, 0x30);
    setNote(chip, 0, 580, 4, true);
    setNote(chip, 1, 580, 4, true);
    render(chip, 5000);
    EXPECT_EQ(op(3).EnvelopeStage, Opl3Chip::Sustain);
    EXPECT_EQ(op(3).EnvelopeLevel, 64);
    // Without sustain mode the level keeps falling at the release rate, still in Sustain.
    EXPECT_EQ(op(4).EnvelopeStage, Opl3Chip::Sustain);
    EXPECT_GT(op(4).EnvelopeLevel, 64 + 100);
    render(chip, 5 * Rate);
    EXPECT_EQ(op(4).EnvelopeStage, Opl3Chip::Off);
    EXPECT_EQ(op(3).EnvelopeLevel, 64);
    // The key is still on; keying it off leaves the silent operator Off.
    setNote(chip, 1, 580, 4, false);
    EXPECT_EQ(op(4).EnvelopeStage, Opl3Chip::Off);
}

TEST_F(ChipTest, TheReleaseEndsOnceTheLevelPasses510AndThatSampleIsSilent) {
    // Release rate 13 at key scale 0 adds 2 at odd clock positions (pattern entry 0).
    Opl3Chip::Operator& o = op(0);
    o.ReleaseRate = 13;
    o.ComputeRates();
    chip.EnvelopeClock = 1;
    // 508 + 2 = 510: still releasing. Far down the negative half a sample is -1, not 0.
    o.EnvelopeStage = Opl3Chip::Release;
    o.EnvelopeLevel = 508;
    EXPECT_EQ(o.Output(0, 0, 768, 0), -1);
    EXPECT_EQ(o.EnvelopeStage, Opl3Chip::Release);
    EXPECT_EQ(o.EnvelopeLevel, 510);
    // 509 + 2 = 511 passes 510: Off at once, and this very sample is already 0.
    o.EnvelopeLevel = 509;
    o.PrevOutputs[0] = 100;
    o.PrevOutputs[1] = 200;
    EXPECT_EQ(o.Output(0, 0, 768, 0), 0);
    EXPECT_EQ(o.EnvelopeStage, Opl3Chip::Off);
    EXPECT_EQ(o.EnvelopeLevel, 511);
    EXPECT_EQ(o.PrevOutputs[0], 0);
    EXPECT_EQ(o.PrevOutputs[1], 0);
}

TEST_F(ChipTest, AnOffOperatorIsSilentButItsPhaseAdvances) {
    Opl3Chip::Operator& o = op(0);
    o.PrevOutputs[0] = 1000;
    o.PrevOutputs[1] = -1000;
    o.MultiplierX2 = 2;
    EXPECT_EQ(o.Output(9280, 0, 256, 3), 0);
    EXPECT_EQ(o.Output(9280, 0, 256, 3), 0);
    EXPECT_EQ(o.Phase, 2u * 9280);
    EXPECT_EQ(o.PrevOutputs[0], 0);
    EXPECT_EQ(o.PrevOutputs[1], 0);
}

// ---------------------------------------------------------------------------------
// Envelope timing, derived from the rate rules: a rate moves the level only on the clock
// ticks where (clock & mask) == 0, i.e. every 2^shift samples, by the increment shifted
// right by its pattern entry; the patterns let 4, 5, 6 or 7 of every 8 ticks through when
// the increment is 1.
// ---------------------------------------------------------------------------------

// Average level units per sample of rate R at key-scale contribution k.
double unitsPerSample(int rate, int k) {
    static const int ticksPerEight[4] = {4, 5, 6, 7}; // steps of 1 through each pattern row
    const int combined = rate * 4 + k;
    const int high = combined >> 2, low = combined & 3;
    if (high <= 11) return ticksPerEight[low] / 8.0 / double(1 << (12 - high));
    // Every sample: the full increment on 4 + low of every 8 samples, half of it (rounded
    // down) on the others.
    const int inc = 1 << (high - 12);
    return ((4 + low) * inc + (4 - low) * (inc >> 1)) / 8.0;
}

// Samples until an operator's stage leaves `stage`, or -1 after `limit` samples.
int samplesInStage(Opl3Chip& chip, const Opl3Chip::Operator& o, int32_t stage, int limit) {
    short l, r;
    for (int n = 0; n < limit; ++n) {
        if (o.EnvelopeStage != stage) return n;
        chip.Sample(&l, &r);
    }
    return -1;
}

TEST_F(ChipTest, DecayAndReleaseTakeTheTimeTheirRatesGive) {
    struct Case {
        uint8_t r20, r60, r80; // carrier registers
        int fnum, block;       // key scale number
        int decayK, releaseK;  // key-scale contribution to the rates
        double sustainUnits;
    } cases[] = {
        // Decay rate 8 to sustain 15 (496 units): about 0.32 s; then release rate 6.
        {0x21, 0xF8, 0xF6, 0x100, 0, 0, 0, 496},
        // Key scale rate on, key scale number 9: decay rate 9 steps on 5 of 8 ticks.
        {0x31, 0xF9, 0x8A, 0x100, 4, 9, 9, 128},
        // Sustain level 0: the decay ends at once; release rate 6 from full level, 1.3 s.
        {0x21, 0xF4, 0x06, 0x100, 0, 0, 0, 0},
        // Rates 12 and above step every sample (decay 13 with key scale 0 + 2 from block 5).
        {0x21, 0xFD, 0x3C, 0x000, 5, 2, 2, 48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.r60));
        Opl3Chip fresh(0);
        setVoice(fresh, 0, Silent, {c.r20, 0x00, c.r60, c.r80, 0x00}, 0x30);
        setNote(fresh, 0, c.fnum, c.block, true);
        const Opl3Chip::Operator& carrier = fresh.Operators[3];
        ASSERT_EQ(carrier.EnvelopeStage, Opl3Chip::Decay);

        const double decayRate = unitsPerSample(c.r60 & 15, c.decayK);
        const double expectDecay = c.sustainUnits / decayRate;
        const double tick = std::max(1.0, 1.0 / decayRate); // alignment slack
        const int decay = samplesInStage(fresh, carrier, Opl3Chip::Decay, 10 * Rate);
        EXPECT_NEAR(decay, expectDecay, 2 * tick + 2);

        ASSERT_EQ(carrier.EnvelopeStage, Opl3Chip::Sustain);
        setNote(fresh, 0, c.fnum, c.block, false);
        const double releaseRate = unitsPerSample(c.r80 & 15, c.releaseK);
        // The release ends once the level passes 510.
        const double expectRelease = (511 - c.sustainUnits) / releaseRate;
        const int release = samplesInStage(fresh, carrier, Opl3Chip::Release, 30 * Rate);
        EXPECT_NEAR(release, expectRelease, 2 / releaseRate + 2);
    }
}

TEST_F(ChipTest, AttackTakesTheTimeItsRateGives) {
    // Each attack step moves the level by ceil((level + 1) / 8) towards 0: count the steps
    // from 511, then scale by the samples per effective step of the rate.
    // (35 steps: rate 4 at block 0 takes about 0.36 s, rate 10 about 5.6 ms.)
    int steps = 0;
    for (int level = 511; level > 0; level -= (level + 1 + 7) / 8)
        ++steps;
    for (int rate : {4, 8, 10}) {
        SCOPED_TRACE(rate);
        Opl3Chip fresh(0);
        setVoice(fresh, 0, Silent, {0x21, 0x00, static_cast<uint8_t>(rate << 4), 0x00, 0}, 0x30);
        setNote(fresh, 0, 0x100, 0, true); // key scale contribution 0
        // Increment 1 steps on 4 of 8 ticks: one step per 2 ticks of 2^(12 - rate) samples.
        const double perStep = 1.0 / unitsPerSample(rate, 0);
        const int attack = samplesInStage(fresh, fresh.Operators[3], Opl3Chip::Attack, 30 * Rate);
        EXPECT_NEAR(attack, steps * perStep, 2 * perStep);
    }
}

// ---------------------------------------------------------------------------------
// Waveforms, feedback and algorithms
// ---------------------------------------------------------------------------------

// An operator held at full level (all attenuations 0): Output(0, 0, i, 0) with phase 0
// returns the waveform at index i.
class WaveformTest : public ChipTest {
  protected:
    int16_t at(int waveform, int index) {
        Opl3Chip::Operator& o = op(0);
        o.Waveform = static_cast<uint16_t>(waveform);
        o.EnvelopeStage = Opl3Chip::Sustain;
        o.SustainMode = true;
        o.EnvelopeLevel = 0;
        o.Phase = 0;
        return o.Output(0, 0, static_cast<int16_t>(index), 0);
    }
};

TEST_F(WaveformTest, ValuesAtFullLevel) {
    const struct {
        int waveform, index, value;
    } cases[] = {
        {0, 255, 4084},  {0, 256, 4084}, {0, 767, -4085}, {0, 768, -4085},  {0, 0, 12},
        {0, 512, -13},   {1, 256, 4084}, {1, 768, 12},    {1, 600, 12},     {2, 768, 4084},
        {3, 255, 4084},  {3, 256, 12},   {3, 511, 12},    {3, 767, 4084},   {4, 128, 4084},
        {4, 384, -4085}, {4, 600, 12},   {5, 128, 4084},  {5, 384, 4084},   {5, 700, 12},
        {6, 0, 4084},    {6, 511, 4084}, {6, 512, -4085}, {6, 1023, -4085}, {7, 0, 4084},
        {7, 1, 3998},    {7, 255, 16},   {7, 511, 0},     {7, 512, -1},     {7, 1023, -4085},
    };
    for (const auto& c : cases)
        EXPECT_EQ(at(c.waveform, c.index), c.value)
            << "waveform " << c.waveform << " index " << c.index;
    // The mirrored halves of waveforms 4 and 5 use different indexes (even and odd).
    EXPECT_NE(at(4, 255), at(5, 255));
    EXPECT_EQ(at(4, 255), 12);
}

TEST_F(WaveformTest, SineFollowsTheTrueSine) {
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 1024; ++i) {
        const double expected = 4096 * std::sin((i + 0.5) * 2 * pi / 1024);
        // Within the rounding of the two tables, and at most one unit off the exact value.
        EXPECT_NEAR(at(0, i), expected, 0.004 * std::abs(expected) + 12) << i;
    }
}

TEST_F(ChipTest, AttenuationHalvesTheAmplitudeEvery32UnitsAndSaturates) {
    Opl3Chip::Operator& o = op(0);
    o.EnvelopeStage = Opl3Chip::Sustain;
    o.SustainMode = true;
    o.EnvelopeLevel = 0;
    const struct {
        int level;
        int value;
    } cases[] = {{0, 4084}, {32, 2042}, {64, 1020}, {511, 0}};
    for (const auto& c : cases) {
        o.EnvelopeLevel = static_cast<int16_t>(c.level);
        o.Phase = 0;
        EXPECT_EQ(o.Output(0, 0, 256, 0), c.value) << c.level;
    }
    // The largest attenuation: envelope, output level, key scale and deep tremolo together.
    // The sawtooth's quietest point adds 8 * 511 on top: the log attenuation saturates.
    chip.Port(0x20, 0xA0);
    chip.Port(0x40, 0xFF);
    chip.Port(0xE0, 0x07);
    setNote(chip, 0, 1023, 7, false);
    chip.TremoloLevel = 26;
    o.EnvelopeLevel = 511;
    o.Phase = 0;
    EXPECT_EQ(o.Output(0, 0, 768, 0), -1);
    EXPECT_EQ(o.Output(0, 0, 512, 0), -1);
    EXPECT_EQ(o.Output(0, 0, 511, 0), 0);
}

TEST_F(ChipTest, FeedbackModulatesTheFirstOperatorWithItsLastTwoOutputs) {
    // Two identical operators: one with feedback shift 3, the other fed the same
    // modulation by hand.
    for (int i : {0, 1}) {
        Opl3Chip::Operator& o = op(i);
        o.EnvelopeStage = Opl3Chip::Sustain;
        o.SustainMode = true;
        o.EnvelopeLevel = 0;
        o.MultiplierX2 = 2;
    }
    op(2) = op(0); // the same operator without feedback, for contrast
    int16_t prev0 = 0, prev1 = 0;
    bool differs = false;
    for (int n = 0; n < 300; ++n) {
        const int16_t withFeedback = op(0).Output(3000, 0, 0, 3);
        const int16_t byHand = op(1).Output(3000, 0, static_cast<int16_t>((prev0 + prev1) >> 3), 0);
        ASSERT_EQ(withFeedback, byHand) << n;
        differs = differs || op(2).Output(3000, 0, 0, 0) != withFeedback;
        prev1 = prev0;
        prev0 = withFeedback;
    }
    EXPECT_TRUE(differs);

    // Through the registers: feedback changes the sound of a lone modulator in additive mode.
    Opl3Chip plain(0), fed(0);
    for (Opl3Chip* c : {&plain, &fed}) {
        setVoice(*c, 0, LoudSine, Silent, c == &fed ? 0x39 : 0x31); // additive, feedback 4 / 0
        setNote(*c, 0, 580, 4, true);
    }
    const Stereo a = render(plain, 2000), b = render(fed, 2000);
    EXPECT_NE(a.left, b.left);
    EXPECT_NEAR(measureFrequency(b.left, Rate), 440, 2); // same pitch, other timbre
}

TEST_F(ChipTest, TwoOperatorAlgorithms) {
    // Frequency modulation: the silent-modulator voice is a pure sine; a loud modulator
    // bends it (more zero crossings than the carrier's pitch gives).
    sineNote(chip, 0, 580, 4);
    chip.Port(0xC0, 0x10); // left only
    setVoice(chip, 1, {0x21, 0x00, 0xF0, 0x04, 0x00}, LoudSine, 0x20);
    setNote(chip, 1, 580, 4, true);
    Stereo s = render(chip, Rate / 4);
    EXPECT_NEAR(measureFrequency(s.left, Rate), 440, 0.5);
    EXPECT_LE(peak(s.left), 4085);
    EXPECT_GT(peak(s.right), 4000);
    EXPECT_LE(peak(s.right), 4085);
    // Additive: both operators sound, an octave apart here.
    Opl3Chip add(0);
    setVoice(add, 0, {0x22, 0x00, 0xF0, 0x04, 0x00}, LoudSine, 0x31);
    setNote(add, 0, 580, 4, true);
    s = render(add, Rate / 4);
    EXPECT_GT(peak(s.left), 4084);
    EXPECT_LE(peak(s.left), 2 * 4085);
}

TEST_F(ChipTest, FourOperatorAlgorithmsSoundTheirCarriers) {
    // Channel 0's four operators are at register offsets 0, 3, 8 and 11 (the last two are
    // channel 3's). With one operator loud and the others silent, the output is loud exactly
    // when that operator is a carrier of the algorithm.
    const int offsets[4] = {0x00, 0x03, 0x08, 0x0B};
    const struct {
        int connection0, connection3;
        bool carrier[4];
    } algorithms[] = {
        {0, 0, {false, false, false, true}},
        {1, 0, {true, false, false, true}},
        {0, 1, {false, true, false, true}},
        {1, 1, {true, false, true, true}},
    };
    for (const auto& alg : algorithms) {
        for (int loud = 0; loud < 4; ++loud) {
            SCOPED_TRACE(testing::Message() << "algorithm " << alg.connection0 << alg.connection3
                                            << " loud op " << loud);
            Opl3Chip c(0);
            c.Port(0x104, 0x01);
            for (int k = 0; k < 4; ++k)
                writeOp(c, 0, offsets[k], k == loud ? LoudSine : Silent);
            c.Port(0xC0, static_cast<unsigned char>(0x30 | alg.connection0));
            c.Port(0xC3, static_cast<unsigned char>(0x00 | alg.connection3));
            setNote(c, 0, 580, 4, true);
            const Stereo s = render(c, 4000);
            if (alg.carrier[loud]) {
                EXPECT_GT(peak(s.left), 4000);
                EXPECT_NEAR(measureFrequency(s.left, Rate), 440, 1);
            } else {
                EXPECT_EQ(peak(s.left), 0);
            }
        }
    }
}

TEST_F(ChipTest, FourOperatorModeTakesOverTheSecondChannelAndGivesItBack) {
    // Channel 3 alone: F-number 692, block 4, a sine at 525 Hz.
    sineNote(chip, 3, 692, 4);
    EXPECT_NEAR(measureFrequency(render(chip, Rate / 2).left, Rate), 525, 0.5);

    // Pair on: channel 3 is no longer mixed; channel 0 (outputs off) plays all four.
    chip.Port(0x104, 0x01);
    EXPECT_FALSE(channel(3).Enabled);
    EXPECT_EQ(channel(0).PairedChannel, &channel(3));
    // 0xC0 is never copied: the second channel keeps its own connection and outputs.
    chip.Port(0xC0, 0x01);
    EXPECT_EQ(channel(3).ModulationType, 0);
    EXPECT_TRUE(channel(3).LeftEnable);
    // (At the native rate a sample lags one call: the first one is still from before.)
    std::vector<short> after = render(chip, 4000).left;
    EXPECT_EQ(peak({after.begin() + 1, after.end()}), 0);

    // Channel 0's frequency drives the pair: its carrier, channel 3's, now sounds at 880 Hz.
    setVoice(chip, 0, Silent, Silent, 0x30);
    setNote(chip, 0, 580, 5, true);
    EXPECT_EQ(channel(3).Frequency, 580);
    EXPECT_EQ(channel(3).Octave, 5);
    EXPECT_NEAR(measureFrequency(render(chip, Rate / 2).left, Rate), 880, 1);
    // The second channel's own frequency registers reach only it, and do not change the pitch
    // of the pair.
    setNote(chip, 3, 692, 4, true);
    EXPECT_EQ(channel(0).Frequency, 580);
    EXPECT_NEAR(measureFrequency(render(chip, Rate / 2).left, Rate), 880, 1);
    setNote(chip, 3, 580, 5, true);

    // Pair off: both channels sound on their own again (channel 0 is silent, channel 3 keeps
    // the block it was given through the pair).
    chip.Port(0x104, 0x00);
    EXPECT_TRUE(channel(3).Enabled);
    EXPECT_EQ(channel(0).PairedChannel, nullptr);
    EXPECT_NEAR(measureFrequency(render(chip, Rate / 2).left, Rate), 880, 1);
    // A write to channel 3's own registers reaches only channel 3.
    setNote(chip, 3, 580, 4, true);
    EXPECT_EQ(channel(0).Octave, 5);
    EXPECT_NEAR(measureFrequency(render(chip, Rate / 2).left, Rate), 440, 0.5);

    // Bank 1: bit 3 pairs channels 9 and 12, bit 5 channels 11 and 14.
    chip.Port(0x104, 0x28);
    EXPECT_EQ(channel(9).PairedChannel, &channel(12));
    EXPECT_EQ(channel(11).PairedChannel, &channel(14));
    EXPECT_FALSE(channel(12).Enabled || channel(14).Enabled);
    EXPECT_TRUE(channel(3).Enabled && channel(13).Enabled);
}

// ---------------------------------------------------------------------------------
// Tremolo and vibrato
// ---------------------------------------------------------------------------------

TEST_F(ChipTest, TremoloDepthAndPeriod) {
    for (bool deep : {false, true}) {
        SCOPED_TRACE(deep);
        Opl3Chip c(0);
        c.Port(0xBD, deep ? 0x80 : 0x00);
        sineNote(c, 0, 580, 4, {0xA1, 0x00, 0xF0, 0x04, 0x00}); // tremolo on
        const int deepest = deep ? 26 : 6;
        int maxLevel = 0, peakAtMax = 0, firstMax = -1, lastMax = -1;
        short l, r;
        // Call n has computed n chip samples (the first call computes none).
        for (int n = 0; n <= 13440; ++n) {
            c.Sample(&l, &r);
            maxLevel = std::max<int>(maxLevel, c.TremoloLevel);
            if (c.TremoloLevel == deepest) {
                if (firstMax < 0) firstMax = n;
                lastMax = n;
                // Past the first few samples at the deepest level, the output shows it.
                if (n > firstMax + 3) peakAtMax = std::max(peakAtMax, std::abs(int(l)));
            }
        }
        EXPECT_EQ(maxLevel, deepest);
        // A triangle: the deepest point is half a period (6720 chip samples) in.
        EXPECT_NEAR((firstMax + lastMax) / 2.0, 6720, 1);
        // 26 units is 2^(-26/32) of full amplitude (-4.9 dB), 6 units 2^(-6/32).
        EXPECT_NEAR(peakAtMax, 4084 * std::pow(2.0, -deepest / 32.0), 0.01 * 4084);
        EXPECT_EQ(c.TremoloPhase, 0); // a full period
    }
}

TEST_F(ChipTest, VibratoBendsThePitchAndReturnsOverItsPeriod) {
    chip.Port(0xBD, 0x40); // deep vibrato
    // Channel 0 with vibrato, channel 1 without, same note: their phases part and meet again
    // after one vibrato period of 8192 chip samples.
    sineNote(chip, 0, 580, 4, {0x61, 0x00, 0xF0, 0x04, 0x00});
    sineNote(chip, 1, 580, 4);
    render(chip, 1 + 3000);              // 3000 chip samples
    EXPECT_GT(op(3).Phase, op(4).Phase); // the first quarter bends upwards
    render(chip, 8192 - 3000);
    EXPECT_EQ(op(3).Phase, op(4).Phase);

    // F-number 580 (top bits 4) at block 4: the top of the vibrato adds 4 << 4 = 64 to the
    // phase step of 9280 (0.7 %) when deep, half of it otherwise.
    for (bool deep : {true, false}) {
        Opl3Chip c(0);
        c.Port(0xBD, deep ? 0x40 : 0x00);
        sineNote(c, 0, 580, 4, {0x61, 0x00, 0xF0, 0x04, 0x00});
        render(c, 2 + 1024 * 2);                                       // steps 0 and 1
        const double f = measureFrequency(render(c, 1024).left, Rate); // step 2: the top
        EXPECT_NEAR(f, 440.0 * (9280 + (deep ? 64 : 32)) / 9280, 0.5) << deep;
    }

    // F-numbers below 128 get no vibrato.
    Opl3Chip low(0);
    low.Port(0xBD, 0x40);
    sineNote(low, 0, 127, 7, {0x61, 0x00, 0xF0, 0x04, 0x00});
    sineNote(low, 1, 127, 7);
    render(low, 5000);
    EXPECT_EQ(low.Operators[3].Phase, low.Operators[4].Phase);
}

// ---------------------------------------------------------------------------------
// Output: pitch, mixing, clipping and the rate conversion
// ---------------------------------------------------------------------------------

TEST_F(ChipTest, FNumber580Block4IsA440) {
    sineNote(chip, 0, 580, 4);
    const Stereo s = render(chip, Rate); // one second
    EXPECT_NEAR(measureFrequency(s.left, Rate), 440.0, 0.05);
    EXPECT_EQ(s.left, s.right);
    EXPECT_EQ(peak(s.left), 4085);
    // Multiplier 2 doubles it, multiplier 0 (x0.5) halves it.
    for (const auto& c : {std::pair<uint8_t, double>{0x22, 880}, {0x20, 220}, {0x2F, 6600}}) {
        Opl3Chip m(0);
        sineNote(m, 0, 580, 4, {c.first, 0x00, 0xF0, 0x04, 0x00});
        EXPECT_NEAR(measureFrequency(render(m, Rate).left, Rate), c.second, 0.5) << c.second;
    }
}

TEST_F(ChipTest, FirstSamplesAtTheNativeRate) {
    // A reference chip with the same registers, run channel by channel, gives the chip
    // samples; the steady sine needs no clocks.
    Opl3Chip ref(0);
    sineNote(chip, 0, 580, 4);
    sineNote(ref, 0, 580, 4);
    short l, r;
    chip.Sample(&l, &r);
    EXPECT_EQ(l, 0);
    chip.Sample(&l, &r);
    EXPECT_EQ(l, 0);
    for (int n = 0; n < 200; ++n) {
        short refLeft, refRight;
        ref.Channels[0].Output(refLeft, refRight);
        chip.Sample(&l, &r);
        ASSERT_EQ(l, refLeft) << n;
        ASSERT_EQ(r, refRight) << n;
    }
}

TEST_F(ChipTest, SumsClipPerChipSample) {
    for (int c = 0; c < 18; ++c)
        sineNote(chip, c, 580, 4);
    const Stereo s = render(chip, 2000);
    EXPECT_EQ(*std::max_element(s.left.begin(), s.left.end()), 32767);
    EXPECT_EQ(*std::min_element(s.left.begin(), s.left.end()), -32768);

    // At another output rate the interpolation runs on clipped chip samples: never beyond.
    Opl3Chip other(44100);
    for (int c = 0; c < 18; ++c)
        sineNote(other, c, 580, 4);
    const Stereo t = render(other, 2000);
    EXPECT_EQ(*std::max_element(t.left.begin(), t.left.end()), 32767);
    EXPECT_EQ(*std::min_element(t.left.begin(), t.left.end()), -32768);
}

TEST(Opl3OutputRate, OtherRatesKeepThePitchAndInterpolate) {
    for (int rate : {48000, 44100, 22050, 8000}) {
        SCOPED_TRACE(rate);
        Opl3Chip chip(rate);
        sineNote(chip, 0, 580, 4);
        const Stereo s = render(chip, rate);
        EXPECT_NEAR(measureFrequency(s.left, rate), 440.0, 0.1);
        EXPECT_GT(peak(s.left), 3500);
    }
    // Interpolated samples lie between the two chip samples they come from.
    Opl3Chip chip(32000);
    sineNote(chip, 0, 580, 4);
    for (int n = 0; n < 5000; ++n) {
        short l, r;
        chip.Sample(&l, &r);
        const int lo = std::min(chip.PrevChipSample[0], chip.CurrChipSample[0]);
        const int hi = std::max(chip.PrevChipSample[0], chip.CurrChipSample[0]);
        ASSERT_GE(l, lo);
        ASSERT_LE(l, hi);
    }
}

// ---------------------------------------------------------------------------------
// Robustness
// ---------------------------------------------------------------------------------

TEST(Opl3Robustness, EveryRegisterAndValueIsAccepted) {
    Opl3Chip chip(0);
    short l, r;
    for (int reg = 0; reg < Opl3Chip::RegisterCount; ++reg) {
        for (int val = 0; val < 256; ++val) {
            chip.Port(static_cast<unsigned short>(reg), static_cast<unsigned char>(val));
            if (val % 64 == 63) chip.Sample(&l, &r);
        }
        const std::string problems = stateProblems(chip);
        ASSERT_TRUE(problems.empty()) << "after register " << std::hex << reg << ": " << problems;
    }
}

TEST(Opl3Robustness, ShiftFieldsBeyondTheirRangeActAsTheLargestShift) {
    // Fields set directly to shifts no register gives must not shift by more than the type
    // allows (undefined); they act as the largest shift that means anything: 16 for the
    // 16-bit envelope clock, 31 for a feedback sum.
    const int32_t stages[] = {Opl3Chip::Attack, Opl3Chip::Decay, Opl3Chip::Release};
    for (int32_t stage : stages) {
        SCOPED_TRACE(stage);
        Opl3Chip largest(0), beyond(0);
        for (Opl3Chip* c : {&largest, &beyond}) {
            Opl3Chip::Operator& o = c->Operators[0];
            o.EnvelopeStage = stage;
            o.EnvelopeLevel = 300;
            o.SustainLevel = 496;
            o.AttackRate = o.DecayRate = o.ReleaseRate = 10;
            o.AttackClockMask = o.DecayClockMask = o.ReleaseClockMask = 0; // a step every sample
            o.AttackIncrement = o.DecayIncrement = o.ReleaseIncrement = 4;
            o.AttackPattern = o.DecayPattern = o.ReleasePattern = Opl3Chip::RateTables[1];
            // Shifted by 16 the clock is 0, pattern entry 0 (halve); a shift taken modulo 32
            // would reach entry 7 (keep).
            c->EnvelopeClock = 0xFFFF;
            const uint16_t shift = c == &largest ? 16 : 1000;
            o.AttackClockShift = o.DecayClockShift = o.ReleaseClockShift = shift;
        }
        largest.Operators[0].Output(0, 0, 0, 0);
        beyond.Operators[0].Output(0, 0, 0, 0);
        EXPECT_EQ(beyond.Operators[0].EnvelopeLevel, largest.Operators[0].EnvelopeLevel);
        EXPECT_NE(largest.Operators[0].EnvelopeLevel, 300);
    }

    // Feedback: the sum -5000 shifted by 31 is -1, which moves phase index 2 to 1; a shift
    // taken modulo 32 (300 -> 12) would give -2, index 0.
    auto held = [](Opl3Chip& c, int16_t prev0, int16_t prev1) -> Opl3Chip::Operator& {
        Opl3Chip::Operator& o = c.Operators[0];
        o.EnvelopeStage = Opl3Chip::Sustain;
        o.SustainMode = true;
        o.EnvelopeLevel = 0;
        o.Phase = 2 << 10;
        o.PrevOutputs[0] = prev0;
        o.PrevOutputs[1] = prev1;
        return o;
    };
    Opl3Chip reference(0);
    const int16_t atIndex1 = held(reference, 0, 0).Output(0, 0, -1, 0);
    EXPECT_NE(atIndex1, held(reference, 0, 0).Output(0, 0, -2, 0));
    for (int16_t shift : {int16_t(31), int16_t(300), int16_t(-1)}) {
        SCOPED_TRACE(shift);
        Opl3Chip c(0);
        EXPECT_EQ(held(c, -3000, -2000).Output(0, 0, 0, shift), atIndex1);
        // The same through a channel whose feedback field was set directly.
        Opl3Chip viaChannel(0);
        held(viaChannel, -3000, -2000);
        viaChannel.Operators[3].EnvelopeStage = Opl3Chip::Off;
        viaChannel.Channels[0].ModulationType = 1;
        viaChannel.Channels[0].LeftEnable = true;
        viaChannel.Channels[0].FeedbackShift = static_cast<uint16_t>(shift);
        short left = 0, right = 0;
        viaChannel.Channels[0].Output(left, right);
        EXPECT_EQ(left, atIndex1);
    }
}

TEST_F(ChipTest, RateAndBlockFieldsBeyondTheirRangeShiftEverythingOut) {
    // Set directly, a block of 40 or a rate of 100 would shift by more than 31 (undefined):
    // everything is shifted out instead.
    channel(0).Frequency = 580;
    channel(0).Octave = 40;
    channel(0).ComputePhaseStep();
    EXPECT_EQ(channel(0).PhaseStep, 0u);
    channel(0).Octave = 31;
    channel(0).ComputePhaseStep();
    EXPECT_EQ(channel(0).PhaseStep, 580u << 31);
    op(0).DecayRate = 100;
    op(0).ComputeRates();
    EXPECT_EQ(op(0).DecayIncrement, 0);
    EXPECT_EQ(op(0).DecayClockMask, 0);
}

TEST(Opl3Robustness, RandomRegisterSequencesStayInRange) {
    std::mt19937 rng(0x0F1A3u);
    for (int rate : {0, 48000, 11025}) {
        Opl3Chip chip(rate);
        for (int round = 0; round < 400; ++round) {
            const int writes = rng() % 64;
            for (int w = 0; w < writes; ++w) {
                // Mostly meaningful registers, sometimes anything at all.
                const int reg =
                    rng() % 4 ? (rng() & 0x100) | (0x20 + rng() % 0xE0) : rng() % 0x10000;
                chip.Port(static_cast<unsigned short>(reg), static_cast<unsigned char>(rng()));
            }
            for (int n = 0; n < 256; ++n) {
                short l, r;
                chip.Sample(&l, &r);
                for (const Opl3Chip::Operator& o : chip.Operators)
                    ASSERT_TRUE(o.PrevOutputs[0] >= -4085 && o.PrevOutputs[0] <= 4084)
                        << "round " << round << " sample " << n << ": " << o.PrevOutputs[0];
            }
            const std::string problems = stateProblems(chip);
            ASSERT_TRUE(problems.empty()) << "round " << round << ": " << problems;
        }
    }
}

} // namespace
