// The OPL3 chip model: register decoding, envelope and phase generators, waveforms and the
// two- and four-operator algorithms. Integer arithmetic only; everything that depends only on
// register values is derived when the register is written.
#include "sdlopl.h"

// ---------------------------------------------------------------------------------
// Constant tables
// ---------------------------------------------------------------------------------

// clang-format off

// round(-log2(sin((i + 0.5) * pi / 512)) * 256): the first quarter of a sine, 1024 points
// per period, as an attenuation in which 256 units halve the amplitude. Checked against the
// formula by the tests.
constexpr uint16_t Opl3Chip::LogSinTable[LogSinTableSize] = {
    2137, 1731, 1543, 1419, 1326, 1252, 1190, 1137, 1091, 1050, 1013,  979,  949,  920,  894,  869,
     846,  825,  804,  785,  767,  749,  732,  717,  701,  687,  672,  659,  646,  633,  621,  609,
     598,  587,  576,  566,  556,  546,  536,  527,  518,  509,  501,  492,  484,  476,  468,  461,
     453,  446,  439,  432,  425,  418,  411,  405,  399,  392,  386,  380,  375,  369,  363,  358,
     352,  347,  341,  336,  331,  326,  321,  316,  311,  307,  302,  297,  293,  289,  284,  280,
     276,  271,  267,  263,  259,  255,  251,  248,  244,  240,  236,  233,  229,  226,  222,  219,
     215,  212,  209,  205,  202,  199,  196,  193,  190,  187,  184,  181,  178,  175,  172,  169,
     167,  164,  161,  159,  156,  153,  151,  148,  146,  143,  141,  138,  136,  134,  131,  129,
     127,  125,  122,  120,  118,  116,  114,  112,  110,  108,  106,  104,  102,  100,   98,   96,
      94,   92,   91,   89,   87,   85,   83,   82,   80,   78,   77,   75,   74,   72,   70,   69,
      67,   66,   64,   63,   62,   60,   59,   57,   56,   55,   53,   52,   51,   49,   48,   47,
      46,   45,   43,   42,   41,   40,   39,   38,   37,   36,   35,   34,   33,   32,   31,   30,
      29,   28,   27,   26,   25,   24,   23,   23,   22,   21,   20,   20,   19,   18,   17,   17,
      16,   15,   15,   14,   13,   13,   12,   12,   11,   10,   10,    9,    9,    8,    8,    7,
       7,    7,    6,    6,    5,    5,    5,    4,    4,    4,    3,    3,    3,    2,    2,    2,
       2,    1,    1,    1,    1,    1,    1,    1,    0,    0,    0,    0,    0,    0,    0,    0,
};

// round((2^((255 - i) / 256) - 1) * 1024): the fraction of a power of two, scaled by 1024,
// that turns a log attenuation back into an amplitude. Checked against the formula by the tests.
constexpr uint16_t Opl3Chip::ExpTable[ExpTableSize] = {
    1018, 1013, 1007, 1002,  996,  991,  986,  980,  975,  969,  964,  959,  953,  948,  942,  937,
     932,  927,  921,  916,  911,  906,  900,  895,  890,  885,  880,  874,  869,  864,  859,  854,
     849,  844,  839,  834,  829,  824,  819,  814,  809,  804,  799,  794,  789,  784,  779,  774,
     770,  765,  760,  755,  750,  745,  741,  736,  731,  726,  722,  717,  712,  708,  703,  698,
     693,  689,  684,  680,  675,  670,  666,  661,  657,  652,  648,  643,  639,  634,  630,  625,
     621,  616,  612,  607,  603,  599,  594,  590,  585,  581,  577,  572,  568,  564,  560,  555,
     551,  547,  542,  538,  534,  530,  526,  521,  517,  513,  509,  505,  501,  496,  492,  488,
     484,  480,  476,  472,  468,  464,  460,  456,  452,  448,  444,  440,  436,  432,  428,  424,
     420,  416,  412,  409,  405,  401,  397,  393,  389,  385,  382,  378,  374,  370,  367,  363,
     359,  355,  352,  348,  344,  340,  337,  333,  329,  326,  322,  318,  315,  311,  308,  304,
     300,  297,  293,  290,  286,  283,  279,  276,  272,  268,  265,  262,  258,  255,  251,  248,
     244,  241,  237,  234,  231,  227,  224,  220,  217,  214,  210,  207,  204,  200,  197,  194,
     190,  187,  184,  181,  177,  174,  171,  168,  164,  161,  158,  155,  152,  148,  145,  142,
     139,  136,  133,  130,  126,  123,  120,  117,  114,  111,  108,  105,  102,   99,   96,   93,
      90,   87,   84,   81,   78,   75,   72,   69,   66,   63,   60,   57,   54,   51,   48,   45,
      42,   40,   37,   34,   31,   28,   25,   22,   20,   17,   14,   11,    8,    6,    3,    0,
};

// The chip's envelope increment patterns: a 1 halves the increment at that clock position,
// so the four rows step on 4, 5, 6 and 7 of every 8 positions (rate fraction 0 to 3).
constexpr uint16_t Opl3Chip::RateTables[RateTableRows][RateTableColumns] = {
    {1, 0, 1, 0, 1, 0, 1, 0},
    {1, 0, 1, 0, 0, 0, 1, 0},
    {1, 0, 0, 0, 1, 0, 0, 0},
    {1, 0, 0, 0, 0, 0, 0, 0},
};

// clang-format on

#if defined(__GNUC__)
#define OPL_INLINE inline __attribute__((always_inline))
#else
#define OPL_INLINE inline
#endif

namespace {

// Envelope levels: 511 is silence; the release ends once the level passes 510.
constexpr int16_t SilentLevel = 511;
constexpr int16_t ReleaseEndLevel = 510;
// The chip limits the log attenuation to 13 bits.
constexpr uint32_t MaxLogAttenuation = 0x1FFF;
// Attack increment of rate 15 (the attack is skipped at key on, but a rate changed to 15
// during the attack finishes it at once).
constexpr uint16_t InstantAttackIncrement = 0xFFF;
// Tremolo triangle period and its peak, in chip samples.
constexpr uint16_t TremoloPeriod = 13440;
constexpr uint16_t TremoloPeak = TremoloPeriod / 2 - 1;
// Chip samples per vibrato step; eight steps make a vibrato period.
constexpr uint16_t VibratoStepSamples = 1024;

// Per-waveform table of the whole period (1024 phase positions): bits 0 to 14 hold the log
// attenuation added to the operator's attenuation, bit 15 the sign. Built at compile time
// from LogSinTable, so a sample costs one load instead of a branch per waveform.
constexpr int WaveformCount = 8;
constexpr int WavePeriod = 1024;
constexpr uint16_t WaveNegative = 0x8000;
// LogSinTable[0], the smallest value of the sine: the "silent" half of the cut waveforms.
constexpr uint16_t WaveFloor = Opl3Chip::LogSinTable[0];

struct WaveTableData {
    uint16_t Entries[WaveformCount][WavePeriod];
};

constexpr uint16_t waveEntry(int waveform, int i) {
    const uint16_t* L = Opl3Chip::LogSinTable;
    const int q = i & 255;
    const bool b7 = (i & 0x80) != 0, b8 = (i & 0x100) != 0, b9 = (i & 0x200) != 0;
    const uint16_t sine = L[b8 ? 255 - q : q];
    const int half = 2 * (q & 127);
    switch (waveform) {
    case 0: // sine
        return sine | (b9 ? WaveNegative : 0);
    case 1: // half sine
        return b9 ? WaveFloor : sine;
    case 2: // absolute sine
        return sine;
    case 3: // quarter sine pulses
        return b8 ? WaveFloor : L[q];
    case 4: // double-speed sine in the first half
        return b9 ? WaveFloor : (L[b7 ? 254 - half : half] | (b8 ? WaveNegative : 0));
    case 5: // double-speed absolute sine in the first half
        return b9 ? WaveFloor : L[b7 ? 255 - half : half];
    case 6: // square
        return b9 ? WaveNegative : 0;
    default: // logarithmic sawtooth
        return b9 ? (8 * (511 - (i & 511))) | WaveNegative : 8 * (i & 511);
    }
}

constexpr WaveTableData makeWaveTable() {
    WaveTableData t{};
    for (int w = 0; w < WaveformCount; ++w)
        for (int i = 0; i < WavePeriod; ++i)
            t.Entries[w][i] = waveEntry(w, i);
    return t;
}

constexpr WaveTableData WaveTable = makeWaveTable();

// The exponent stage, out = ((ExpTable[a & 255] + 1024) >> (a >> 8)) * 2, for every log
// attenuation a below AudibleLogAttenuation; from there on (a >> 8 >= 11 shifts the largest
// mantissa, 2042, to 0) every value is 0, so one table replaces the whole computation.
constexpr uint32_t AudibleLogAttenuation = 11 * 256;
static_assert(AudibleLogAttenuation <= MaxLogAttenuation, "the table covers the saturation");

struct ExpOutputData {
    int16_t Entries[AudibleLogAttenuation + 1];
};

constexpr ExpOutputData makeExpOutput() {
    ExpOutputData t{};
    for (uint32_t a = 0; a <= AudibleLogAttenuation; ++a)
        t.Entries[a] = static_cast<int16_t>(((Opl3Chip::ExpTable[a & 255] + 1024) >> (a >> 8)) * 2);
    return t;
}

constexpr ExpOutputData ExpOutput = makeExpOutput();
static_assert(ExpOutput.Entries[AudibleLogAttenuation] == 0, "silent from here on");

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
        p.Increment = static_cast<uint16_t>(1u << (high - 12));
    }
    p.Pattern = Opl3Chip::RateTables[low];
    return p;
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

    if (reg_num >= RegisterCount) return;
    const bool bank1 = (reg_num & 0x100) != 0;

    if (reg_num == 0xBD) {
        DeepTremolo = (val & 0x80) != 0;
        DeepVibrato = (val & 0x40) != 0;
        return;
    }

    switch (reg_num & 0xE0) {
    case 0x00:
        if (reg_num == 0x104) {
            // Four-operator pairs: channels 0, 1, 2 (bits 0-2) and 9, 10, 11 (bits 3-5).
            for (int k = 0; k < 6; ++k) {
                const int i = k <= 2 ? k : k + 6;
                const bool on = (val >> k) & 1;
                Channels[i].PairedChannel = on ? &Channels[i + 3] : nullptr;
                Channels[i + 3].Enabled = !on;
            }
        } else if (reg_num == 0x08) {
            NoteSelect = (val & 0x40) != 0;
            for (Channel& c : Channels)
                c.ComputeKeyScaleNumber();
        }
        return;

    case 0xA0:
    case 0xC0: {
        int index = reg_num & 0x0F;
        if (index >= BankChannels) return;
        if (bank1) index += BankChannels;
        Channel& c = Channels[index];
        switch (reg_num & 0xF0) {
        case 0xA0:
            c.SetFrequencyLow(val);
            if (c.PairedChannel) c.PairedChannel->SetFrequencyLow(val);
            break;
        case 0xB0: {
            // Key, block and F-number high, in this order, on the channel and then its pair.
            auto write = [val](Channel& target) {
                target.SetKeyOn((val & 0x20) != 0);
                target.SetOctave((val >> 2) & 7);
                target.SetFrequencyHigh(val & 3);
            };
            write(c);
            if (c.PairedChannel) write(*c.PairedChannel);
            break;
        }
        case 0xC0:
            c.SetRightEnable((val & 0x20) != 0);
            c.SetLeftEnable((val & 0x10) != 0);
            c.SetFeedback((val >> 1) & 7);
            c.SetModulationType(val & 1);
            break;
        default: // 0xD0: nothing there
            break;
        }
        return;
    }

    default: { // 0x20, 0x40, 0x60, 0x80, 0xE0: operator registers
        int index = op_lookup[reg_num & 0x1F];
        if (index < 0) return;
        if (bank1) index += BankOperators;
        Operator& op = Operators[index];
        switch (reg_num & 0xE0) {
        case 0x20:
            op.TremoloEnable = (val & 0x80) != 0;
            op.VibratoEnable = (val & 0x40) != 0;
            op.SustainMode = (val & 0x20) != 0;
            op.EnvelopeScaling = (val & 0x10) != 0;
            op.ComputeRates();
            op.SetFrequencyMultiplier(val & 15);
            break;
        case 0x40:
            op.SetKeyScale(val >> 6);
            op.SetOutputLevel(val & 63);
            break;
        case 0x60:
            op.SetAttackRate(val >> 4);
            op.SetDecayRate(val & 15);
            break;
        case 0x80:
            op.SetSustainLevel(val >> 4);
            op.SetReleaseRate(val & 15);
            break;
        default: // 0xE0
            op.SetWaveform(val & 7);
            break;
        }
        return;
    }
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
    PhaseStep = static_cast<uint32_t>(Frequency) << Octave;
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

// ---------------------------------------------------------------------------------
// Sample synthesis
// ---------------------------------------------------------------------------------

namespace {

// The shared clocks as one chip sample sees them (the values left by the previous sample).
struct ChipClocks {
    unsigned Envelope;
    unsigned TremoloLevel;
    // Vibrato offset = VibratoWhole * base + VibratoHalf * (base >> 1), with the base
    // shifted right by VibratoDepthShift.
    int VibratoWhole;
    int VibratoHalf;
    unsigned VibratoDepthShift;
};

// The vibrato waveform, 0, +1/2, +1, +1/2, 0, -1/2, -1, -1/2 of the depth, as the factors of
// the whole and of the halved depth for vibrato steps 0 to 7.
constexpr int VibratoSteps = 8;
constexpr int8_t VibratoWhole[VibratoSteps] = {0, 0, 1, 0, 0, 0, -1, 0};
constexpr int8_t VibratoHalf[VibratoSteps] = {0, 1, 0, 1, 0, -1, 0, -1};

ChipClocks clocksOf(const Opl3Chip& chip) {
    const unsigned step = chip.VibratoStep & 7;
    return {chip.EnvelopeClock, chip.TremoloLevel, VibratoWhole[step], VibratoHalf[step],
            chip.DeepVibrato ? 0u : 1u};
}

// The level after one step of a rising (decay, release) rate: the increment shifted by the
// pattern entry of this clock position, or no change between the rate's ticks and at rate 0.
OPL_INLINE int risingStep(int level, unsigned rate, unsigned clock, unsigned shift, unsigned mask,
                          unsigned increment, const uint16_t* pattern) {
    // Branch-free: the ticks of slow rates come too irregularly to predict.
    const bool moves = (rate != 0) & ((clock & mask) == 0);
    const unsigned step = increment >> pattern[(clock >> shift) & 7];
    return level + static_cast<int>(moves ? step : 0u);
}

// Off (or any value that is no stage): the operator is silent.
OPL_INLINE bool isOff(const Opl3Chip::Operator& op) {
    return op.EnvelopeStage < Opl3Chip::Attack || op.EnvelopeStage > Opl3Chip::Release;
}

// The phase of an operator moves in every stage, Off included.
OPL_INLINE void advancePhase(Opl3Chip::Operator& op, uint32_t phaseStep, int16_t vibrato) {
    if (op.VibratoEnable) phaseStep += static_cast<uint32_t>(static_cast<int32_t>(vibrato));
    op.Phase += (phaseStep * op.MultiplierX2) >> 1;
}

// One chip sample of an Off operator: the phase moves, the feedback history clears.
OPL_INLINE void advanceOff(Opl3Chip::Operator& op, uint32_t phaseStep, int16_t vibrato) {
    advancePhase(op, phaseStep, vibrato);
    op.PrevOutputs[0] = op.PrevOutputs[1] = 0;
}

// One chip sample of one operator; forced inline so that the channel algorithms compile to
// straight-line code (the member function below is the same for callers outside).
OPL_INLINE int16_t operatorOutput(Opl3Chip::Operator& op, const ChipClocks& clocks,
                                  uint32_t phaseStep, int16_t vibrato, int16_t modulation,
                                  int16_t feedbackShift) {
    advancePhase(op, phaseStep, vibrato);

    // The attenuation of this sample is taken before the envelope steps.
    const int level = op.EnvelopeLevel;
    const unsigned att =
        (level + op.OutputLevel + op.KeyScaleLevel + (op.TremoloEnable ? clocks.TremoloLevel : 0)) &
        0xFFFF;

    // Envelope step. A zero mask never holds; a rate holds between its clock ticks.
    const unsigned clock = clocks.Envelope;
    const int32_t stage = op.EnvelopeStage;
    if (isOff(op)) {
        op.PrevOutputs[0] = op.PrevOutputs[1] = 0;
        return 0;
    }
    if (stage == Opl3Chip::Sustain && op.SustainMode) {
        // Held while the key is on.
    } else if (stage == Opl3Chip::Decay) {
        const int next = risingStep(level, op.DecayRate, clock, op.DecayClockShift,
                                    op.DecayClockMask, op.DecayIncrement, op.DecayPattern);
        if (next >= static_cast<int>(op.SustainLevel)) {
            op.EnvelopeLevel = static_cast<int16_t>(op.SustainLevel);
            op.EnvelopeStage = Opl3Chip::Sustain;
        } else {
            op.EnvelopeLevel = static_cast<int16_t>(next);
        }
    } else if (stage == Opl3Chip::Sustain || stage == Opl3Chip::Release) {
        // Without sustain mode a sustained level keeps falling at the release rate.
        const int next = risingStep(level, op.ReleaseRate, clock, op.ReleaseClockShift,
                                    op.ReleaseClockMask, op.ReleaseIncrement, op.ReleasePattern);
        if (next > ReleaseEndLevel) {
            op.EnvelopeStage = Opl3Chip::Off;
            op.EnvelopeLevel = SilentLevel;
            op.PrevOutputs[0] = op.PrevOutputs[1] = 0;
            return 0;
        }
        op.EnvelopeLevel = static_cast<int16_t>(next);
    } else { // Attack
        int next = level;
        if (op.AttackRate != 0 && (clock & op.AttackClockMask) == 0) {
            const int inc =
                op.AttackIncrement >> op.AttackPattern[(clock >> op.AttackClockShift) & 7];
            // Flooring shift: the attack always moves by at least one unit.
            next = level + ((-level - 1) * inc >> 3);
        }
        if (next > 0) {
            op.EnvelopeLevel = static_cast<int16_t>(next);
        } else {
            op.EnvelopeStage = Opl3Chip::Decay;
            op.EnvelopeLevel = 0;
        }
    }

    int m = modulation;
    if (feedbackShift != 0)
        m = static_cast<int16_t>(m + ((op.PrevOutputs[0] + op.PrevOutputs[1]) >> feedbackShift));
    const unsigned index = ((op.Phase >> 10) + static_cast<unsigned>(m)) & (WavePeriod - 1);

    // Every attenuation from AudibleLogAttenuation up (to the chip's limit and beyond) is 0.
    const unsigned wave = WaveTable.Entries[op.Waveform & 7][index];
    unsigned a = att * 8u + (wave & ~static_cast<unsigned>(WaveNegative));
    if (a > AudibleLogAttenuation) a = AudibleLogAttenuation;
    int out = ExpOutput.Entries[a];
    out ^= -static_cast<int>(wave >> 15); // negative: the complement, -out - 1

    op.PrevOutputs[1] = op.PrevOutputs[0];
    op.PrevOutputs[0] = static_cast<int16_t>(out);
    return static_cast<int16_t>(out);
}

} // namespace

int16_t Opl3Chip::Operator::Output(uint32_t phaseStep, int16_t vibrato, int16_t modulation,
                                   int16_t feedbackShift) {
    return operatorOutput(*this, clocksOf(*Owner), phaseStep, vibrato, modulation, feedbackShift);
}

namespace {

// One chip sample of one channel, inlined into the chip's mixing loop.
OPL_INLINE void channelOutput(Opl3Chip::Channel& ch, const ChipClocks& clocks, short& left,
                              short& right) {
    if (!ch.Enabled) {
        left = right = 0;
        return;
    }

    // Vibrato: a 3-bit depth from the top F-number bits (halved unless deep), taken whole
    // and halved as the vibrato step says, then scaled by the block like the phase step.
    // Most voices use none, so it is only worked out when an operator may need it.
    int16_t vibrato = 0;
    if (ch.PairedChannel || ch.Ops[0]->VibratoEnable || ch.Ops[1]->VibratoEnable) {
        const int base = ((ch.Frequency >> 7) & 7) >> clocks.VibratoDepthShift;
        const int offset = base * clocks.VibratoWhole + (base >> 1) * clocks.VibratoHalf;
        vibrato = static_cast<int16_t>(offset * (1 << (ch.Octave & 7)));
    }

    const uint32_t step = ch.PhaseStep;
    const int16_t fb = static_cast<int16_t>(ch.FeedbackShift);
    int out;
    if (!ch.PairedChannel) {
        if (isOff(*ch.Ops[0]) && isOff(*ch.Ops[1])) {
            // A silent channel, the common case: what operatorOutput does for Off, in short.
            advanceOff(*ch.Ops[0], step, vibrato);
            advanceOff(*ch.Ops[1], step, vibrato);
            left = right = 0;
            return;
        }
        const int16_t o0 = operatorOutput(*ch.Ops[0], clocks, step, vibrato, 0, fb);
        if (ch.ModulationType == 0)
            out = operatorOutput(*ch.Ops[1], clocks, step, vibrato, o0, 0);
        else
            out = o0 + operatorOutput(*ch.Ops[1], clocks, step, vibrato, 0, 0);
    } else {
        // Four operators, all at this channel's pitch; the two connection bits choose one of
        // four algorithms.
        const int16_t o0 = operatorOutput(*ch.Ops[0], clocks, step, vibrato, 0, fb);
        switch (ch.ModulationType | (ch.PairedChannel->ModulationType << 1)) {
        case 0: {
            const int16_t o1 = operatorOutput(*ch.Ops[1], clocks, step, vibrato, o0, 0);
            const int16_t o2 = operatorOutput(*ch.Ops[2], clocks, step, vibrato, o1, 0);
            out = operatorOutput(*ch.Ops[3], clocks, step, vibrato, o2, 0);
            break;
        }
        case 1: {
            const int16_t o1 = operatorOutput(*ch.Ops[1], clocks, step, vibrato, 0, 0);
            const int16_t o2 = operatorOutput(*ch.Ops[2], clocks, step, vibrato, o1, 0);
            out = o0 + operatorOutput(*ch.Ops[3], clocks, step, vibrato, o2, 0);
            break;
        }
        case 2: {
            const int16_t o1 = operatorOutput(*ch.Ops[1], clocks, step, vibrato, o0, 0);
            const int16_t o2 = operatorOutput(*ch.Ops[2], clocks, step, vibrato, 0, 0);
            out = o1 + operatorOutput(*ch.Ops[3], clocks, step, vibrato, o2, 0);
            break;
        }
        default: {
            const int16_t o1 = operatorOutput(*ch.Ops[1], clocks, step, vibrato, 0, 0);
            const int16_t o2 = operatorOutput(*ch.Ops[2], clocks, step, vibrato, o1, 0);
            out = o0 + o2 + operatorOutput(*ch.Ops[3], clocks, step, vibrato, 0, 0);
            break;
        }
        }
    }
    // A channel sums at most three operators, well within 16 bits.
    left = ch.LeftEnable ? static_cast<short>(out) : 0;
    right = ch.RightEnable ? static_cast<short>(out) : 0;
}

} // namespace

void Opl3Chip::Channel::Output(short& left, short& right) {
    channelOutput(*this, clocksOf(*Owner), left, right);
}

void Opl3Chip::Output(short& left, short& right) {
    const ChipClocks clocks = clocksOf(*this);
    int32_t sumLeft = 0, sumRight = 0;
    for (Channel& c : Channels) {
        if (!c.Enabled) continue;
        short l, r;
        channelOutput(c, clocks, l, r);
        sumLeft += l;
        sumRight += r;
    }
    auto clip = [](int32_t v) -> short {
        return static_cast<short>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
    };
    left = clip(sumLeft);
    right = clip(sumRight);

    // The clocks advance after the channels, which see the values of the previous sample.
    ++EnvelopeClock;
    TremoloPhase = static_cast<uint16_t>(TremoloPhase + 1 == TremoloPeriod ? 0 : TremoloPhase + 1);
    const unsigned v = TremoloPhase <= TremoloPeak ? TremoloPhase : TremoloPeriod - TremoloPhase;
    TremoloLevel = static_cast<uint16_t>(DeepTremolo ? v >> 8 : v >> 10);
    if (++VibratoDivider == VibratoStepSamples) {
        VibratoDivider = 0;
        VibratoStep = (VibratoStep + 1) & 7;
    }
}

void Opl3Chip::Sample(short* left, short* right) {
    while (RateAccumulator >= SampleRate) {
        PrevChipSample[0] = CurrChipSample[0];
        PrevChipSample[1] = CurrChipSample[1];
        Output(CurrChipSample[0], CurrChipSample[1]);
        RateAccumulator -= SampleRate;
    }
    // Linear interpolation; SampleRate <= 65535 keeps the products within 32 bits.
    const int32_t weightCurr = RateAccumulator;
    const int32_t weightPrev = SampleRate - RateAccumulator;
    *left = static_cast<short>((PrevChipSample[0] * weightPrev + CurrChipSample[0] * weightCurr) /
                               SampleRate);
    *right = static_cast<short>((PrevChipSample[1] * weightPrev + CurrChipSample[1] * weightCurr) /
                                SampleRate);
    RateAccumulator += NativeRate;
}
