// The OPL3 chip model's sound: phase and envelope generators, waveforms, the two- and
// four-operator algorithms, the mix of the 18 channels and the conversion to the output rate.
// Integer arithmetic only.
//
// Every chip sample reads the operators' and channels' public fields afresh: they are the
// model's state, a caller may change any of them between two calls, and nothing derived from
// them is kept from one chip sample to the next, so nothing here can go stale. (Measured:
// private copies of the register-derived values, even unchecked, saved only a tenth of the
// instructions; the cost is in the per-operator work itself.) The speed comes from the
// look-up tables below, from keeping the rare work (envelope steps, vibrato, four-operator
// channels) out of the common path, and from a short path for silent channels.
#include "sdlopl.h"

#include <algorithm>

#if defined(__GNUC__)
#define OPL_INLINE inline __attribute__((always_inline))
#define OPL_NOINLINE __attribute__((noinline))
#define OPL_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define OPL_INLINE inline
#define OPL_NOINLINE
#define OPL_LIKELY(x) (x)
#endif

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

// clang-format on

namespace {

// The release ends once the level passes 510.
constexpr int ReleaseEndLevel = 510;
// The chip limits the log attenuation to 13 bits.
constexpr unsigned MaxLogAttenuation = 0x1FFF;
// Tremolo triangle period and its peak, in chip samples.
constexpr uint16_t TremoloPeriod = 13440;
constexpr uint16_t TremoloPeak = TremoloPeriod / 2 - 1;
// Chip samples per vibrato step; eight steps make a vibrato period.
constexpr uint16_t VibratoStepSamples = 1024;
// Largest shifts that mean something: the envelope clock has 16 bits and a feedback sum fits
// in 31; fields written with larger values are treated as these (a larger shift is undefined
// in C++).
constexpr unsigned MaxClockShift = 16;
constexpr unsigned MaxFeedbackShift = 31;

// The waveform and exponent stages as two look-ups in one table object, so that one base
// address serves both.
//
// Wave[w][i]: waveform w at phase index i (0 to 1023) as a log attenuation, 256 units to a
// halving, plus NegativeOffset in the halves where the waveform is negative. A waveform's
// 2 KB stay together: most voices use one or two waveforms, and so touch little cache.
//
// Exp[a]: the exponent stage, ((ExpTable[a & 255] + 1024) >> (a >> 8)) * 2, for a total log
// attenuation a; at a + NegativeOffset its complement, -out - 1, the chip's negative sample.
// From AudibleLogAttenuation on every value is 0 (a >> 8 >= 11 shifts the largest mantissa,
// 2042, to 0). So an operator's own attenuation is limited to AttenuationLimit before the
// waveform's value is added, which keeps the sum inside the table and gives the same sample
// as limiting the sum to the chip's 13 bits.
constexpr int WaveformCount = 8;
constexpr int WavePeriod = 1024;
// LogSinTable[0], the smallest value of the sine: the "silent" half of the cut waveforms.
constexpr unsigned WaveFloor = Opl3Chip::LogSinTable[0];
// The largest log value of a waveform: the quiet end of the sawtooth.
constexpr unsigned MaxWaveLog = 8 * 511;
constexpr unsigned AudibleLogAttenuation = 11 * 256;
static_assert(AudibleLogAttenuation <= MaxLogAttenuation, "silent before the chip's limit");
// Operator attenuations from here on (in envelope units, 8 log units each) are silent.
constexpr unsigned AttenuationLimit = AudibleLogAttenuation / 8;
constexpr unsigned NegativeOffset = AttenuationLimit * 8 + MaxWaveLog + 1;
constexpr unsigned ExpEntries = 2 * NegativeOffset;

struct SynthTableData {
    uint16_t Wave[WaveformCount][WavePeriod];
    int16_t Exp[ExpEntries];
};

// The log value of a waveform at a phase index, with NegativeOffset where it is negative.
constexpr unsigned waveEntry(int waveform, int i) {
    const uint16_t* L = Opl3Chip::LogSinTable;
    const int q = i & 255;
    const bool b7 = (i & 0x80) != 0, b8 = (i & 0x100) != 0, b9 = (i & 0x200) != 0;
    const unsigned sine = L[b8 ? 255 - q : q];
    const int half = 2 * (q & 127);
    switch (waveform) {
    case 0: // sine
        return sine + (b9 ? NegativeOffset : 0);
    case 1: // half sine
        return b9 ? WaveFloor : sine;
    case 2: // absolute sine
        return sine;
    case 3: // quarter sine pulses
        return b8 ? WaveFloor : L[q];
    case 4: // double-speed sine in the first half
        return b9 ? WaveFloor : L[b7 ? 254 - half : half] + (b8 ? NegativeOffset : 0);
    case 5: // double-speed absolute sine in the first half
        return b9 ? WaveFloor : L[b7 ? 255 - half : half];
    case 6: // square
        return b9 ? NegativeOffset : 0;
    default: // logarithmic sawtooth
        return b9 ? 8 * (511 - (i & 511)) + NegativeOffset : 8 * (i & 511);
    }
}

constexpr int16_t expEntry(unsigned a) {
    if (a >= AudibleLogAttenuation) return 0;
    return static_cast<int16_t>(((Opl3Chip::ExpTable[a & 255] + 1024) >> (a >> 8)) * 2);
}

constexpr SynthTableData makeSynthTables() {
    SynthTableData t{};
    for (int w = 0; w < WaveformCount; ++w)
        for (int i = 0; i < WavePeriod; ++i)
            t.Wave[w][i] = static_cast<uint16_t>(waveEntry(w, i));
    for (unsigned a = 0; a < NegativeOffset; ++a) {
        t.Exp[a] = expEntry(a);
        t.Exp[a + NegativeOffset] = static_cast<int16_t>(~expEntry(a));
    }
    return t;
}

constexpr SynthTableData SynthTables = makeSynthTables();

// ---------------------------------------------------------------------------------
// Envelope
// ---------------------------------------------------------------------------------

// Whether a rate moves the level at envelope clock `clock`: never at rate 0, else on the
// clocks where (clock & mask) is 0 (a mask of 0 moves on every clock).
OPL_INLINE bool rateTicks(unsigned rate, unsigned mask, unsigned clock) {
    return rate != 0 && (clock & mask) == 0;
}

// The increment of a rate at envelope clock `clock`: shifted right by the pattern entry of
// this clock position.
OPL_INLINE int rateIncrement(unsigned increment, const uint16_t* pattern, unsigned shift,
                             unsigned clock) {
    return static_cast<int>(increment >> pattern[(clock >> std::min(shift, MaxClockShift)) & 7]);
}

// The parts of an envelope step that change the stage or move the level: rare, so kept out
// of the per-operator code. They return false when the operator has gone Off.
OPL_NOINLINE bool attackStep(Opl3Chip::Operator& op, unsigned clock) {
    const int level = op.EnvelopeLevel;
    int next = level;
    if (rateTicks(op.AttackRate, op.AttackClockMask, clock)) {
        const int increment =
            rateIncrement(op.AttackIncrement, op.AttackPattern, op.AttackClockShift, clock);
        // Flooring shift: the attack always moves by at least one unit.
        next = level + ((-level - 1) * increment >> 3);
    }
    if (next > 0) {
        op.EnvelopeLevel = static_cast<int16_t>(next);
    } else {
        op.EnvelopeStage = Opl3Chip::Decay;
        op.EnvelopeLevel = 0;
    }
    return true;
}

OPL_NOINLINE bool decayStep(Opl3Chip::Operator& op, unsigned clock) {
    int next = op.EnvelopeLevel;
    if (rateTicks(op.DecayRate, op.DecayClockMask, clock))
        next += rateIncrement(op.DecayIncrement, op.DecayPattern, op.DecayClockShift, clock);
    if (next >= static_cast<int>(op.SustainLevel)) {
        op.EnvelopeLevel = static_cast<int16_t>(op.SustainLevel);
        op.EnvelopeStage = Opl3Chip::Sustain;
    } else {
        op.EnvelopeLevel = static_cast<int16_t>(next);
    }
    return true;
}

// The release, and a sustain without sustain mode, which falls at the release rate.
OPL_NOINLINE bool releaseStep(Opl3Chip::Operator& op, unsigned clock) {
    int next = op.EnvelopeLevel;
    if (rateTicks(op.ReleaseRate, op.ReleaseClockMask, clock))
        next += rateIncrement(op.ReleaseIncrement, op.ReleasePattern, op.ReleaseClockShift, clock);
    if (next > ReleaseEndLevel) {
        op.EnvelopeStage = Opl3Chip::Off;
        op.EnvelopeLevel = Opl3Chip::SilentLevel;
        return false;
    }
    op.EnvelopeLevel = static_cast<int16_t>(next);
    return true;
}

// One envelope step at envelope clock `clock`; false when the operator is Off (or has just
// gone Off) and so silent. Between a rate's ticks only the limit of the stage is checked
// here; the steps themselves are out of line.
OPL_INLINE bool envelopeStep(Opl3Chip::Operator& op, unsigned clock) {
    const int32_t stage = op.EnvelopeStage;
    if (stage == Opl3Chip::Off) return false; // the most common stage after Sustain
    const int level = op.EnvelopeLevel;
    switch (stage) {
    case Opl3Chip::Attack:
        if (level > 0 && !rateTicks(op.AttackRate, op.AttackClockMask, clock)) return true;
        return attackStep(op, clock);
    case Opl3Chip::Decay:
        if (level < static_cast<int>(op.SustainLevel) &&
            !rateTicks(op.DecayRate, op.DecayClockMask, clock))
            return true;
        return decayStep(op, clock);
    case Opl3Chip::Sustain:
        if (op.SustainMode) return true; // held while the key is on
        [[fallthrough]];
    case Opl3Chip::Release:
        if (level <= ReleaseEndLevel && !rateTicks(op.ReleaseRate, op.ReleaseClockMask, clock))
            return true;
        return releaseStep(op, clock);
    default: // Off, or any value that is no stage
        return false;
    }
}

// ---------------------------------------------------------------------------------
// Operators and channels
// ---------------------------------------------------------------------------------

// The shared clocks as one chip sample sees them (the values left by the previous sample).
struct ChipClocks {
    unsigned Envelope;
    unsigned TremoloLevel;
    // Vibrato offset = VibratoWhole * depth + VibratoHalf * (depth >> 1), with the depth
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

// A channel's phase step with this chip sample's vibrato offset: a 3-bit depth from the top
// F-number bits (halved unless deep), taken whole or halved as the vibrato step says, then
// scaled by the block like the phase step.
OPL_INLINE uint32_t vibratoStep(const Opl3Chip::Channel& ch, const ChipClocks& clocks) {
    const int depth = ((ch.Frequency >> 7) & 7) >> clocks.VibratoDepthShift;
    const int offset = depth * clocks.VibratoWhole + (depth >> 1) * clocks.VibratoHalf;
    const int16_t vibrato = static_cast<int16_t>(offset * (1 << (ch.Octave & 7)));
    return ch.PhaseStep + static_cast<uint32_t>(static_cast<int32_t>(vibrato));
}

// The feedback of a channel's first operator: its last two outputs, shifted (0: none).
OPL_INLINE int feedback(const Opl3Chip::Operator& op, unsigned shift) {
    if (shift == 0) return 0;
    return (op.PrevOutputs[0] + op.PrevOutputs[1]) >> std::min(shift, MaxFeedbackShift);
}

// One chip sample of one operator, -4085 to 4084, with `modulation` added to its phase index
// (the feedback of a channel's first operator included). `vibratoStep` is the channel's
// phase step with its vibrato offset; without Vibrato no operator of the channel uses it.
// Forced inline so that each channel compiles to straight-line code.
template <bool Vibrato>
OPL_INLINE int operatorOutput(Opl3Chip::Operator& op, const ChipClocks& clocks, uint32_t step,
                              uint32_t vibratoStep, int modulation) {
    // The phase moves in every stage, Off included.
    if (Vibrato && op.VibratoEnable) step = vibratoStep;
    const uint32_t phase = op.Phase + ((step * op.MultiplierX2) >> 1);
    op.Phase = phase;

    // The attenuation of this sample is taken before the envelope steps.
    const int level = op.EnvelopeLevel;
    const int32_t stage = op.EnvelopeStage;
    if (!OPL_LIKELY(stage == Opl3Chip::Sustain && op.SustainMode) &&
        !envelopeStep(op, clocks.Envelope)) {
        op.PrevOutputs[0] = op.PrevOutputs[1] = 0;
        return 0;
    }
    unsigned att = level + op.OutputLevel + op.KeyScaleLevel;
    if (op.TremoloEnable) att += clocks.TremoloLevel;
    att = std::min(att & 0xFFFF, AttenuationLimit);

    const unsigned index = ((phase >> 10) + static_cast<unsigned>(modulation)) & (WavePeriod - 1);
    const int out = SynthTables.Exp[att * 8 + SynthTables.Wave[op.Waveform & 7][index]];
    op.PrevOutputs[1] = op.PrevOutputs[0];
    op.PrevOutputs[0] = static_cast<int16_t>(out);
    return out;
}

// One chip sample of a four-operator channel, all four operators at this channel's pitch;
// the two connection bits choose one of four algorithms. Out of line: it is rare.
OPL_NOINLINE int fourOperatorOutput(Opl3Chip::Channel& ch, const ChipClocks& clocks) {
    Opl3Chip::Operator& op0 = *ch.Ops[0];
    Opl3Chip::Operator& op1 = *ch.Ops[1];
    Opl3Chip::Operator& op2 = *ch.Ops[2];
    Opl3Chip::Operator& op3 = *ch.Ops[3];
    const uint32_t step = ch.PhaseStep;
    const uint32_t vstep = vibratoStep(ch, clocks);
    const int o0 = operatorOutput<true>(op0, clocks, step, vstep, feedback(op0, ch.FeedbackShift));
    switch (ch.ModulationType | (ch.PairedChannel->ModulationType << 1)) {
    case 0: {
        const int o1 = operatorOutput<true>(op1, clocks, step, vstep, o0);
        const int o2 = operatorOutput<true>(op2, clocks, step, vstep, o1);
        return operatorOutput<true>(op3, clocks, step, vstep, o2);
    }
    case 1: {
        const int o1 = operatorOutput<true>(op1, clocks, step, vstep, 0);
        const int o2 = operatorOutput<true>(op2, clocks, step, vstep, o1);
        return o0 + operatorOutput<true>(op3, clocks, step, vstep, o2);
    }
    case 2: {
        const int o1 = operatorOutput<true>(op1, clocks, step, vstep, o0);
        const int o2 = operatorOutput<true>(op2, clocks, step, vstep, 0);
        return o1 + operatorOutput<true>(op3, clocks, step, vstep, o2);
    }
    default: {
        const int o1 = operatorOutput<true>(op1, clocks, step, vstep, 0);
        const int o2 = operatorOutput<true>(op2, clocks, step, vstep, o1);
        return o0 + o2 + operatorOutput<true>(op3, clocks, step, vstep, 0);
    }
    }
}

// The two operators of a channel: the first modulates the second (connection 0), or both
// are heard (connection 1).
template <bool Vibrato>
OPL_INLINE int twoOperatorOutput(Opl3Chip::Channel& ch, const ChipClocks& clocks,
                                 Opl3Chip::Operator& op0, Opl3Chip::Operator& op1) {
    const uint32_t step = ch.PhaseStep;
    const uint32_t vstep = Vibrato ? vibratoStep(ch, clocks) : step;
    const int o0 =
        operatorOutput<Vibrato>(op0, clocks, step, vstep, feedback(op0, ch.FeedbackShift));
    const bool additive = ch.ModulationType != 0;
    const int o1 = operatorOutput<Vibrato>(op1, clocks, step, vstep, additive ? 0 : o0);
    return additive ? o0 + o1 : o1;
}

// An Off operator: silent, with its feedback history cleared, but its phase still moves.
OPL_INLINE void advanceOff(Opl3Chip::Operator& op, uint32_t step) {
    op.Phase += (step * op.MultiplierX2) >> 1;
    op.PrevOutputs[0] = op.PrevOutputs[1] = 0;
}

// A two-operator channel whose operators are both Off, the most common kind: advances their
// phases as operatorOutput would and returns true; false (and nothing done) for any other
// channel.
OPL_INLINE bool silentChannel(Opl3Chip::Channel& ch, const ChipClocks& clocks) {
    Opl3Chip::Operator& op0 = *ch.Ops[0];
    Opl3Chip::Operator& op1 = *ch.Ops[1];
    if (ch.PairedChannel || op0.EnvelopeStage != Opl3Chip::Off ||
        op1.EnvelopeStage != Opl3Chip::Off)
        return false;
    uint32_t vstep = ch.PhaseStep;
    if (op0.VibratoEnable || op1.VibratoEnable) vstep = vibratoStep(ch, clocks);
    advanceOff(op0, op0.VibratoEnable ? vstep : ch.PhaseStep);
    advanceOff(op1, op1.VibratoEnable ? vstep : ch.PhaseStep);
    return true;
}

// One chip sample of one channel that is not silent, before its output enables.
OPL_INLINE int channelOutput(Opl3Chip::Channel& ch, const ChipClocks& clocks) {
    if (ch.PairedChannel) return fourOperatorOutput(ch, clocks);
    Opl3Chip::Operator& op0 = *ch.Ops[0];
    Opl3Chip::Operator& op1 = *ch.Ops[1];
    // Most voices use no vibrato: then the offset is not worked out at all.
    if (op0.VibratoEnable || op1.VibratoEnable)
        return twoOperatorOutput<true>(ch, clocks, op0, op1);
    return twoOperatorOutput<false>(ch, clocks, op0, op1);
}

} // namespace

// ---------------------------------------------------------------------------------
// The public entry points
// ---------------------------------------------------------------------------------

int16_t Opl3Chip::Operator::Output(uint32_t phaseStep, int16_t vibrato, int16_t modulation,
                                   int16_t feedbackShift) {
    const int fb = feedback(*this, static_cast<uint16_t>(feedbackShift));
    const uint32_t vstep = phaseStep + static_cast<uint32_t>(static_cast<int32_t>(vibrato));
    return static_cast<int16_t>(
        operatorOutput<true>(*this, clocksOf(*Owner), phaseStep, vstep, modulation + fb));
}

void Opl3Chip::Channel::Output(short& left, short& right) {
    const ChipClocks clocks = clocksOf(*Owner);
    if (!Enabled || silentChannel(*this, clocks)) {
        left = right = 0;
        return;
    }
    // A channel sums at most three operators, well within 16 bits.
    const short out = static_cast<short>(channelOutput(*this, clocks));
    left = LeftEnable ? out : 0;
    right = RightEnable ? out : 0;
}

void Opl3Chip::Output(short& left, short& right) {
    const ChipClocks clocks = clocksOf(*this);
    int32_t sumLeft = 0, sumRight = 0;
    for (Channel& c : Channels) {
        if (!c.Enabled || silentChannel(c, clocks)) continue;
        // A channel sums at most three operators, well within 16 bits.
        const int out = channelOutput(c, clocks);
        if (c.LeftEnable) sumLeft += out;
        if (c.RightEnable) sumRight += out;
    }
    left = static_cast<short>(std::clamp(sumLeft, -32768, 32767));
    right = static_cast<short>(std::clamp(sumRight, -32768, 32767));

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
    if (RateAccumulator == 0) {
        // On a chip sample (always, at the native rate): the interpolation gives it exactly.
        *left = PrevChipSample[0];
        *right = PrevChipSample[1];
    } else {
        // Linear interpolation; SampleRate <= 65535 keeps the products within 32 bits.
        const int32_t weightCurr = RateAccumulator;
        const int32_t weightPrev = SampleRate - RateAccumulator;
        *left = static_cast<short>(
            (PrevChipSample[0] * weightPrev + CurrChipSample[0] * weightCurr) / SampleRate);
        *right = static_cast<short>(
            (PrevChipSample[1] * weightPrev + CurrChipSample[1] * weightCurr) / SampleRate);
    }
    RateAccumulator += NativeRate;
}
