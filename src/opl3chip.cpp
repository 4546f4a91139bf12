// The OPL3 chip model's registers: construction and wiring, the register decoder, the
// setters and the values derived when a register is written (phase step, key scale number,
// key-scale attenuation, envelope rate parameters). The sound is made in opl3synth.cpp.
#include "sdlopl.h"

#include <initializer_list>

// ---------------------------------------------------------------------------------
// Constant tables
// ---------------------------------------------------------------------------------

// clang-format off

// The chip's envelope increment patterns: a 1 halves the increment at that clock position,
// so the four rows step on 4, 5, 6 and 7 of every 8 positions (rate fraction 0 to 3).
constexpr uint16_t Opl3Chip::RateTables[RateTableRows][RateTableColumns] = {
    {1, 0, 1, 0, 1, 0, 1, 0},
    {1, 0, 1, 0, 0, 0, 1, 0},
    {1, 0, 0, 0, 1, 0, 0, 0},
    {1, 0, 0, 0, 0, 0, 0, 0},
};

// clang-format on

namespace {

// Attack increment of rate 15 (the attack is skipped at key on, but a rate changed to 15
// during the attack finishes it at once).
constexpr uint16_t InstantAttackIncrement = 0xFFF;

// One rate's parameters, derived from its 4-bit rate and the key scale contribution.
struct RateParams {
    uint16_t ClockShift;
    uint16_t ClockMask;
    uint16_t Increment;
    const uint16_t* Pattern;
};

RateParams rateParams(unsigned rate, unsigned keyScale) {
    const unsigned combined = rate * 4 + keyScale;
    const unsigned high = combined >> 2;
    const unsigned low = combined & 3;
    RateParams p;
    if (high <= 11) {
        p.ClockShift = static_cast<uint16_t>(12 - high);
        p.ClockMask = static_cast<uint16_t>((1u << (12 - high)) - 1);
        p.Increment = 1;
    } else {
        p.ClockShift = 0;
        p.ClockMask = 0;
        // Rates from registers reach high 18 at most; a rate field set directly beyond 15
        // gets an increment that does not fit, 0, rather than a shift beyond 31 (undefined).
        p.Increment = static_cast<uint16_t>(high - 12 < 16 ? 1u << (high - 12) : 0);
    }
    p.Pattern = Opl3Chip::RateTables[low];
    return p;
}

// ---------------------------------------------------------------------------------
// Register decoding: one handler per register group
// ---------------------------------------------------------------------------------

// 0xBD: deep tremolo (bit 7) and deep vibrato (bit 6); the rhythm bits are not modelled.
void writeDepths(Opl3Chip& chip, uint8_t val) {
    chip.DeepTremolo = (val & 0x80) != 0;
    chip.DeepVibrato = (val & 0x40) != 0;
}

// 0x104: bits 0-2 pair channels 0, 1, 2 with channels 3, 4, 5 and bits 3-5 pair 9, 10, 11
// with 12, 13, 14. The second channel of a pair is not mixed on its own.
void writeFourOperatorPairs(Opl3Chip& chip, uint8_t val) {
    for (int k = 0; k < 6; ++k) {
        const int i = k <= 2 ? k : k + 6;
        const bool on = (val >> k) & 1;
        chip.Channels[i].PairedChannel = on ? &chip.Channels[i + 3] : nullptr;
        chip.Channels[i + 3].Enabled = !on;
    }
}

// 0x08: note select (bit 6), which F-number bit enters every key scale number.
void writeNoteSelect(Opl3Chip& chip, uint8_t val) {
    chip.NoteSelect = (val & 0x40) != 0;
    for (Opl3Chip::Channel& c : chip.Channels)
        c.ComputeKeyScaleNumber();
}

// 0x00-0x1F of either bank: only note select (0x08) and the four-operator pairs (0x104) are
// modelled; the test register, the timers, the status and 0x105 are not.
void writeGlobal(Opl3Chip& chip, unsigned reg, uint8_t val) {
    if (reg == 0x08) writeNoteSelect(chip, val);
    if (reg == 0x104) writeFourOperatorPairs(chip, val);
}

// 0xA0-0xA8: F-number low; the first channel of a four-operator pair drives both.
void writeFrequencyLow(Opl3Chip::Channel& c, uint8_t val) {
    c.SetFrequencyLow(val);
    if (c.PairedChannel) c.PairedChannel->SetFrequencyLow(val);
}

// 0xB0-0xB8: key (bit 5), block (bits 2-4) and F-number high (bits 0-1), in this order, on
// the channel and then on its pair.
void writeKeyBlock(Opl3Chip::Channel& c, uint8_t val) {
    for (Opl3Chip::Channel* target : {&c, c.PairedChannel}) {
        if (!target) continue;
        target->SetKeyOn((val & 0x20) != 0);
        target->SetOctave((val >> 2) & 7);
        target->SetFrequencyHigh(val & 3);
    }
}

// 0xC0-0xC8: right (bit 5) and left (bit 4) outputs, feedback (bits 1-3), connection (bit 0);
// never copied to a pair. Bits 6 and 7 (outputs C and D) are not modelled.
void writeOutputs(Opl3Chip::Channel& c, uint8_t val) {
    c.SetRightEnable((val & 0x20) != 0);
    c.SetLeftEnable((val & 0x10) != 0);
    c.SetFeedback((val >> 1) & 7);
    c.SetModulationType(val & 1);
}

// 0x20: tremolo, vibrato, sustain mode, key scale rate and the frequency multiplier.
void writeFlags(Opl3Chip::Operator& op, uint8_t val) {
    op.TremoloEnable = (val & 0x80) != 0;
    op.VibratoEnable = (val & 0x40) != 0;
    op.SustainMode = (val & 0x20) != 0;
    op.EnvelopeScaling = (val & 0x10) != 0;
    op.ComputeRates();
    op.SetFrequencyMultiplier(val & 15);
}

// 0x40: key-scale level (bits 6-7) and total level (bits 0-5).
void writeLevels(Opl3Chip::Operator& op, uint8_t val) {
    op.SetKeyScale(val >> 6);
    op.SetOutputLevel(val & 63);
}

// 0x60: attack rate (bits 4-7) and decay rate (bits 0-3).
void writeAttackDecay(Opl3Chip::Operator& op, uint8_t val) {
    op.SetAttackRate(val >> 4);
    op.SetDecayRate(val & 15);
}

// 0x80: sustain level (bits 4-7) and release rate (bits 0-3).
void writeSustainRelease(Opl3Chip::Operator& op, uint8_t val) {
    op.SetSustainLevel(val >> 4);
    op.SetReleaseRate(val & 15);
}

// 0xE0: waveform (bits 0-2).
void writeWaveform(Opl3Chip::Operator& op, uint8_t val) {
    op.SetWaveform(val & 7);
}

// 0xD0-0xD8: nothing there.
void writeNothing(Opl3Chip::Channel&, uint8_t) {}

// Handlers of the channel registers 0xA0, 0xB0, 0xC0 and 0xD0, by (register - 0xA0) >> 4.
using ChannelWrite = void (*)(Opl3Chip::Channel&, uint8_t);
constexpr ChannelWrite ChannelWrites[4] = {writeFrequencyLow, writeKeyBlock, writeOutputs,
                                           writeNothing};

// Handlers of the operator registers by register >> 5: 0x20, 0x40, 0x60, 0x80 and 0xE0 (the
// groups 0x00, 0xA0 and 0xC0 are not operator registers).
using OperatorWrite = void (*)(Opl3Chip::Operator&, uint8_t);
constexpr OperatorWrite OperatorWrites[8] = {nullptr,          writeFlags,          writeLevels,
                                             writeAttackDecay, writeSustainRelease, nullptr,
                                             nullptr,          writeWaveform};

// The channel of a channel register (0xA0-0xDF of either bank); null for numbers 9 to 15.
Opl3Chip::Channel* channelOf(Opl3Chip& chip, unsigned reg) {
    const unsigned index = reg & 0x0F;
    if (index >= Opl3Chip::BankChannels) return nullptr;
    return &chip.Channels[index + (reg & 0x100 ? Opl3Chip::BankChannels : 0)];
}

// The operator of an operator register; null for the gaps in the register map.
Opl3Chip::Operator* operatorOf(Opl3Chip& chip, unsigned reg) {
    // clang-format off
    // Operator index within a bank for the low 5 bits of an operator register; -1 for the
    // gaps. Operators are laid out in three groups of six (the chip's register map).
    constexpr int OpLookupSize = 32;
    static constexpr int8_t op_lookup[OpLookupSize] = {
         0,  1,  2,  3,  4,  5, -1, -1,
         6,  7,  8,  9, 10, 11, -1, -1,
        12, 13, 14, 15, 16, 17, -1, -1,
        -1, -1, -1, -1, -1, -1, -1, -1,
    };
    // clang-format on
    const int index = op_lookup[reg & 0x1F];
    if (index < 0) return nullptr;
    return &chip.Operators[index + (reg & 0x100 ? Opl3Chip::BankOperators : 0)];
}

} // namespace

// ---------------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------------

Opl3Chip::Opl3Chip(int sample_rate) {
    for (Channel& c : Channels) {
        for (Operator*& op : c.Ops)
            op = nullptr;
        c.Owner = nullptr;
        c.Frequency = 0;
        c.Octave = 0;
        c.PhaseStep = 0;
        c.KeyScaleNumber = 0;
        c.FeedbackShift = 0;
        c.ModulationType = 0;
        c.PairedChannel = nullptr;
        c.Enabled = true;
        c.LeftEnable = false;
        c.RightEnable = false;
    }
    for (Operator& op : Operators) {
        op.Owner = nullptr;
        op.OwnerChannel = nullptr;
        op.Phase = 0;
        op.Waveform = 0;
        op.MultiplierX2 = 1;
        op.EnvelopeStage = Off;
        op.EnvelopeLevel = SilentLevel;
        op.OutputLevel = 0;
        op.AttackRate = 0;
        op.DecayRate = 0;
        op.SustainLevel = 0;
        op.ReleaseRate = 0;
        op.AttackClockShift = op.AttackClockMask = op.AttackIncrement = 0;
        op.AttackPattern = RateTables[0];
        op.DecayClockShift = op.DecayClockMask = op.DecayIncrement = 0;
        op.DecayPattern = RateTables[0];
        op.ReleaseClockShift = op.ReleaseClockMask = op.ReleaseIncrement = 0;
        op.ReleasePattern = RateTables[0];
        op.KeyScaleShift = 0;
        op.KeyScaleLevel = 0;
        op.PrevOutputs[0] = op.PrevOutputs[1] = 0;
        op.KeyOn = false;
        op.EnvelopeScaling = false;
        op.SustainMode = false;
        op.TremoloEnable = false;
        op.VibratoEnable = false;
    }
    Init(sample_rate);
}

void Opl3Chip::Init(int sample_rate) {
    EnvelopeClock = 0;
    TremoloPhase = 0;
    TremoloLevel = 0;
    VibratoDivider = 0;
    VibratoStep = 0;
    NoteSelect = false;
    DeepTremolo = false;
    DeepVibrato = false;

    for (Operator& op : Operators)
        op.Owner = this;
    for (Channel& c : Channels)
        c.Owner = this;

    // Each bank has its channels' first operators at 0, 1, 2, 6, 7, 8, 12, 13, 14; channels
    // 0-2 of a bank also carry the operators of channel + 3 for four-operator mode. Wiring in
    // ascending order leaves every operator owned by its own two-operator channel.
    for (int i = 0; i < ChannelCount; ++i) {
        const int inBank = i % BankChannels;
        const int t = (i / BankChannels) * BankOperators + (inBank % 3) + 6 * (inBank / 3);
        Channel& c = Channels[i];
        const bool fourOp = inBank < 3;
        c.Ops[0] = &Operators[t];
        c.Ops[1] = &Operators[t + 3];
        c.Ops[2] = fourOp ? &Operators[t + 6] : nullptr;
        c.Ops[3] = fourOp ? &Operators[t + 9] : nullptr;
        for (Operator* op : c.Ops)
            if (op) op->OwnerChannel = &c;
    }
    for (Operator& op : Operators)
        op.ComputeRates();
    SetSampleRate(sample_rate);
}

void Opl3Chip::SetSampleRate(int sample_rate) {
    if (sample_rate <= 0) sample_rate = NativeRate;
    if (sample_rate > MaxSampleRate) sample_rate = MaxSampleRate;
    SampleRate = sample_rate;
    RateAccumulator = 0;
    PrevChipSample[0] = PrevChipSample[1] = 0;
    CurrChipSample[0] = CurrChipSample[1] = 0;
}

// ---------------------------------------------------------------------------------
// Register decoding
// ---------------------------------------------------------------------------------

void Opl3Chip::Port(unsigned short reg_num, unsigned char val) {
    if (reg_num >= RegisterCount) return;
    const unsigned group = reg_num & 0xE0;
    if (reg_num == 0xBD) { // not 0x1BD, which falls among the ignored channel registers
        writeDepths(*this, val);
    } else if (group == 0x00) {
        writeGlobal(*this, reg_num, val);
    } else if (group == 0xA0 || group == 0xC0) {
        if (Channel* c = channelOf(*this, reg_num))
            ChannelWrites[((reg_num - 0xA0) >> 4) & 3](*c, val);
    } else if (Operator* op = operatorOf(*this, reg_num)) {
        OperatorWrites[group >> 5](*op, val);
    }
}

// ---------------------------------------------------------------------------------
// Channel settings
// ---------------------------------------------------------------------------------

void Opl3Chip::Channel::SetFrequencyLow(unsigned short value) {
    Frequency = static_cast<uint16_t>((Frequency & 0x300) | (value & 0xFF));
    ComputePhaseStep();
}

void Opl3Chip::Channel::SetFrequencyHigh(unsigned short value) {
    Frequency = static_cast<uint16_t>((Frequency & 0xFF) | ((value << 8) & 0x300));
    ComputePhaseStep();
    ComputeKeyScaleNumber();
}

void Opl3Chip::Channel::SetOctave(unsigned short value) {
    Octave = value & 7;
    ComputePhaseStep();
    ComputeKeyScaleNumber();
}

void Opl3Chip::Channel::SetKeyOn(bool on) {
    Ops[0]->SetKeyOn(on);
    Ops[1]->SetKeyOn(on);
}

void Opl3Chip::Channel::SetFeedback(unsigned short value) {
    value &= 7;
    FeedbackShift = value == 0 ? 0 : static_cast<uint16_t>(9 - value);
}

void Opl3Chip::Channel::SetModulationType(unsigned short value) {
    ModulationType = value & 1;
}

void Opl3Chip::Channel::SetLeftEnable(bool on) {
    LeftEnable = on;
}

void Opl3Chip::Channel::SetRightEnable(bool on) {
    RightEnable = on;
}

void Opl3Chip::Channel::ComputePhaseStep() {
    // A block set directly beyond 31 shifts everything out (a shift that far is undefined).
    PhaseStep = Octave < 32 ? static_cast<uint32_t>(Frequency) << Octave : 0;
}

void Opl3Chip::Channel::ComputeKeyScaleNumber() {
    const unsigned bit = Owner->NoteSelect ? (Frequency >> 9) & 1 : (Frequency >> 8) & 1;
    KeyScaleNumber = static_cast<uint16_t>(Octave * 2 + bit);
    for (Operator* op : Ops) {
        if (!op) continue;
        op->ComputeRates();
        op->ComputeKeyScaleLevel();
    }
}

// ---------------------------------------------------------------------------------
// Operator settings
// ---------------------------------------------------------------------------------

void Opl3Chip::Operator::SetKeyOn(bool on) {
    if (on == KeyOn) return;
    KeyOn = on;
    if (on) {
        if (AttackRate == 15) {
            EnvelopeStage = Decay;
            EnvelopeLevel = 0;
        } else {
            EnvelopeStage = Attack;
        }
        Phase = 0;
    } else if (EnvelopeStage == Attack || EnvelopeStage == Decay || EnvelopeStage == Sustain) {
        EnvelopeStage = Release;
    }
}

void Opl3Chip::Operator::SetTremoloEnable(bool on) {
    TremoloEnable = on;
}

void Opl3Chip::Operator::SetVibratoEnable(bool on) {
    VibratoEnable = on;
}

void Opl3Chip::Operator::SetSustainMode(bool on) {
    SustainMode = on;
}

void Opl3Chip::Operator::SetEnvelopeScaling(bool on) {
    EnvelopeScaling = on;
    ComputeRates();
}

void Opl3Chip::Operator::SetFrequencyMultiplier(unsigned short value) {
    // Twice the chip's multipliers 0.5, 1 to 10, 10, 12, 12, 15, 15 for fields 0 to 15.
    constexpr int MultiplierCount = 16;
    static constexpr uint16_t multiplierX2[MultiplierCount] = {
        1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 20, 24, 24, 30, 30,
    };
    MultiplierX2 = multiplierX2[value & 15];
}

void Opl3Chip::Operator::SetKeyScale(unsigned short value) {
    // Right shift of the key-scale table for key-scale fields 0 to 3: off, 1/2, 1/4, full
    // (the chip's 0, 1.5, 3 and 6 dB per octave, with 0 and 3 swapped in the field).
    constexpr int KslShiftSize = 4;
    static constexpr uint8_t kslShift[KslShiftSize] = {8, 1, 2, 0};
    KeyScaleShift = kslShift[value & 3];
    ComputeKeyScaleLevel();
}

void Opl3Chip::Operator::SetOutputLevel(unsigned short value) {
    OutputLevel = static_cast<uint16_t>((value & 63) * 4);
}

void Opl3Chip::Operator::SetAttackRate(unsigned short value) {
    AttackRate = value & 15;
    ComputeRates();
}

void Opl3Chip::Operator::SetDecayRate(unsigned short value) {
    DecayRate = value & 15;
    ComputeRates();
}

void Opl3Chip::Operator::SetReleaseRate(unsigned short value) {
    ReleaseRate = value & 15;
    ComputeRates();
}

void Opl3Chip::Operator::SetSustainLevel(unsigned short value) {
    value &= 15;
    // Field 15 is the chip's -93 dB (practically silent), not the -45 dB of a linear step.
    SustainLevel = value == 15 ? 496 : static_cast<uint16_t>(value * 16);
}

void Opl3Chip::Operator::SetWaveform(unsigned short value) {
    Waveform = value & 7;
}

void Opl3Chip::Operator::ComputeRates() {
    const unsigned ksn = OwnerChannel ? OwnerChannel->KeyScaleNumber : 0;
    const unsigned k = EnvelopeScaling ? ksn : ksn >> 2;

    const RateParams a = rateParams(AttackRate, k);
    AttackClockShift = a.ClockShift;
    AttackClockMask = a.ClockMask;
    AttackIncrement = a.Increment;
    AttackPattern = a.Pattern;

    const RateParams d = rateParams(DecayRate, k);
    DecayClockShift = d.ClockShift;
    DecayClockMask = d.ClockMask;
    DecayIncrement = d.Increment;
    DecayPattern = d.Pattern;

    const RateParams r = rateParams(ReleaseRate, k);
    ReleaseClockShift = r.ClockShift;
    ReleaseClockMask = r.ClockMask;
    ReleaseIncrement = r.Increment;
    ReleasePattern = r.Pattern;

    if (AttackRate == 15) AttackIncrement = InstantAttackIncrement;
}

void Opl3Chip::Operator::ComputeKeyScaleLevel() {
    // clang-format off
    // Key-scale attenuation by block (rows) and the top 4 bits of the F-number: the chip's
    // block 7 row, lowered by 32 (3 dB) per block below 7 and limited at 0.
    constexpr int LevTabBlocks = 8;
    constexpr int LevTabColumns = 16;
    static constexpr uint8_t levtab[LevTabBlocks * LevTabColumns] = {
        0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
        0,   0,   0,   0,   0,   0,   0,   0,   0,   8,  12,  16,  20,  24,  28,  32,
        0,   0,   0,   0,   0,  12,  20,  28,  32,  40,  44,  48,  52,  56,  60,  64,
        0,   0,   0,  20,  32,  44,  52,  60,  64,  72,  76,  80,  84,  88,  92,  96,
        0,   0,  32,  52,  64,  76,  84,  92,  96, 104, 108, 112, 116, 120, 124, 128,
        0,  32,  64,  84,  96, 108, 116, 124, 128, 136, 140, 144, 148, 152, 156, 160,
        0,  64,  96, 116, 128, 140, 148, 156, 160, 168, 172, 176, 180, 184, 188, 192,
        0,  96, 128, 148, 160, 172, 180, 188, 192, 200, 204, 208, 212, 216, 220, 224,
    };
    // clang-format on
    const unsigned octave = OwnerChannel ? OwnerChannel->Octave & 7 : 0;
    const unsigned frequency = OwnerChannel ? OwnerChannel->Frequency & 0x3FF : 0;
    KeyScaleLevel =
        static_cast<uint16_t>(levtab[octave * LevTabColumns + (frequency >> 6)] >> KeyScaleShift);
}
