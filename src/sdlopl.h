// FM sound output: the software OPL3 chip and the audio path that plays it.
// The chip model (Opl3Chip) is plain integer code; the audio path runs it on SDL's audio
// thread through libsamplerate, and WriteFM is the one way the game writes its registers.
#pragma once

#include <cstdint>
#include <vector>

#include <samplerate.h>

// ---------------------------------------------------------------------------------
// The OPL3 chip model
// ---------------------------------------------------------------------------------

// A software model of the YMF262 (OPL3) FM synthesis chip: 36 operators in 18 two-operator
// channels (two banks of 9), four-operator pairing, eight waveforms, tremolo and vibrato.
// Registers are written through Port; Sample delivers stereo 16-bit samples at SampleRate,
// computing chip samples at the native 49716 Hz and interpolating between them.
// Integer arithmetic only, no heap memory. Not modelled: status reads, timers, rhythm mode,
// the waveform-select enable (0x01), the OPL3 mode bit (0x105) and outputs C and D: the model
// always acts as an OPL3 in OPL3 mode. Not thread-safe: serialise Port and Sample.
// All state is in the public fields below, and each chip sample reads them afresh, so a field
// set directly (as tests do) takes effect from the next chip sample. The derived fields
// (PhaseStep, KeyScaleNumber, KeyScaleLevel and the rate parameters) are recomputed by the
// setters and Compute functions, that is by register writes, not when a field they come from
// is set directly.
class Opl3Chip {
  public:
    class Operator;

    // The chip's own sample rate, in Hz.
    static constexpr int NativeRate = 49716;
    // Highest output rate; the interpolation products must stay within 32 bits.
    static constexpr int MaxSampleRate = 65535;
    // Register numbers are 9 bits: bit 8 selects bank 1.
    static constexpr int RegisterCount = 512;
    // Channels and operators of the whole chip, and of one bank.
    static constexpr int ChannelCount = 18;
    static constexpr int OperatorCount = 36;
    static constexpr int BankChannels = 9;
    static constexpr int BankOperators = 18;

    // Sizes of the constant tables.
    static constexpr int LogSinTableSize = 256;
    static constexpr int ExpTableSize = 256;
    static constexpr int RateTableRows = 4;
    static constexpr int RateTableColumns = 8;

    // Attenuation of the first quarter of a sine sampled at 1024 points per period, in log
    // units of which 256 halve the amplitude: round(-log2(sin((i + 0.5) * pi / 512)) * 256).
    static const uint16_t LogSinTable[LogSinTableSize];
    // Fraction of 2^((255 - i) / 256), scaled by 1024: round((2^((255 - i) / 256) - 1) * 1024).
    static const uint16_t ExpTable[ExpTableSize];
    // Right shifts applied to an envelope increment, one row per low two bits of the
    // combined rate, indexed by bits (clock >> shift) & 7 of the envelope clock.
    static const uint16_t RateTables[RateTableRows][RateTableColumns];

    // Envelope stages, the values of Operator::EnvelopeStage.
    static constexpr int32_t Off = -1;
    static constexpr int32_t Attack = 0;
    static constexpr int32_t Decay = 1;
    static constexpr int32_t Sustain = 2;
    static constexpr int32_t Release = 3;
    // Envelope level of a silent operator, the largest: where an operator starts and where a
    // release ends.
    static constexpr int16_t SilentLevel = 511;

    // One two-operator channel; channels 0-2 and 9-11 can also drive a four-operator pair.
    class Channel {
      public:
        // The channel's operators; entries 2 and 3 (those of channel + 3) only in channels
        // 0, 1, 2, 9, 10 and 11, used only while the four-operator pair is on.
        Operator* Ops[4];
        // The model that holds the channel.
        Opl3Chip* Owner;
        // F-number, 10 bits.
        uint16_t Frequency;
        // Block, 0 to 7.
        uint16_t Octave;
        // Frequency << Octave, the phase increment before the multiplier.
        uint32_t PhaseStep;
        // Key scale number, 0 to 15: Octave * 2 plus one F-number bit chosen by NoteSelect.
        uint16_t KeyScaleNumber;
        // Right shift of the first operator's feedback sum: 0 (none) or 8 down to 2.
        uint16_t FeedbackShift;
        // Connection bit: 0 frequency modulation, 1 additive.
        uint16_t ModulationType;
        // The second channel of a four-operator pair, or null.
        Channel* PairedChannel;
        // Mixed into the output (false for the second channel of an active pair).
        bool Enabled;
        // Sounds on the left / right output.
        bool LeftEnable;
        bool RightEnable;

        // Sets the low 8 bits of the F-number and recomputes the phase step.
        void SetFrequencyLow(unsigned short value);
        // Sets bits 8 and 9 of the F-number (value bits 0-1); phase step and key scale number.
        void SetFrequencyHigh(unsigned short value);
        // Sets the block (value & 7); phase step and key scale number.
        void SetOctave(unsigned short value);
        // Keys the channel's own two operators on or off.
        void SetKeyOn(bool on);
        // Sets the feedback field, 0 to 7 (0 is no feedback).
        void SetFeedback(unsigned short value);
        // Sets the connection bit.
        void SetModulationType(unsigned short value);
        // Enables the left / right output.
        void SetLeftEnable(bool on);
        void SetRightEnable(bool on);
        // PhaseStep = Frequency << Octave.
        void ComputePhaseStep();
        // Recomputes KeyScaleNumber, then the rates and key-scale level of every operator.
        void ComputeKeyScaleNumber();
        // One chip sample of the channel (zero on a side that is not enabled).
        void Output(short& left, short& right);
    };

    // One operator: phase generator, envelope generator and waveform.
    class Operator {
      public:
        // The model.
        Opl3Chip* Owner;
        // The two-operator channel whose block, F-number and key scale number this operator's
        // key scaling and rates follow.
        Channel* OwnerChannel;
        // Phase accumulator; bits 10 and up index the waveform.
        uint32_t Phase;
        // Waveform, 0 to 7.
        uint16_t Waveform;
        // Twice the frequency multiplier.
        uint16_t MultiplierX2;
        // Off, Attack, Decay, Sustain or Release.
        int32_t EnvelopeStage;
        // Envelope attenuation, 0 (loudest) to 511; 32 units halve the amplitude.
        int16_t EnvelopeLevel;
        // Total level * 4, in envelope units.
        uint16_t OutputLevel;
        // Raw 4-bit rates.
        uint16_t AttackRate;
        uint16_t DecayRate;
        // Sustain attenuation in envelope units (field * 16, 496 for field 15).
        uint16_t SustainLevel;
        uint16_t ReleaseRate;
        // Attack parameters: the level moves only when (clock & mask) == 0, by
        // increment >> pattern[(clock >> shift) & 7].
        uint16_t AttackClockShift;
        uint16_t AttackClockMask;
        uint16_t AttackIncrement;
        const uint16_t* AttackPattern;
        // Decay parameters, as for the attack.
        uint16_t DecayClockShift;
        uint16_t DecayClockMask;
        uint16_t DecayIncrement;
        const uint16_t* DecayPattern;
        // Release parameters, as for the attack.
        uint16_t ReleaseClockShift;
        uint16_t ReleaseClockMask;
        uint16_t ReleaseIncrement;
        const uint16_t* ReleasePattern;
        // Right shift of the key-scale table chosen by the key-scale bits (8 means none).
        uint16_t KeyScaleShift;
        // Key-scale attenuation in envelope units.
        uint16_t KeyScaleLevel;
        // The last output and the one before it, for feedback.
        int16_t PrevOutputs[2];
        // Key state.
        bool KeyOn;
        // Key scale rate: the full key scale number (not a quarter of it) enters the rates.
        bool EnvelopeScaling;
        // Hold at the sustain level while the key is on.
        bool SustainMode;
        // Tremolo / vibrato apply.
        bool TremoloEnable;
        bool VibratoEnable;

        // Key on (attack from the current level, phase reset) or off (release); repeating
        // the current state does nothing.
        void SetKeyOn(bool on);
        // Setters for the flags of register 0x20.
        void SetTremoloEnable(bool on);
        void SetVibratoEnable(bool on);
        void SetSustainMode(bool on);
        void SetEnvelopeScaling(bool on);
        // Sets the 4-bit multiplier field.
        void SetFrequencyMultiplier(unsigned short value);
        // Sets the 2-bit key-scale field and recomputes the key-scale level.
        void SetKeyScale(unsigned short value);
        // Sets the 6-bit total level.
        void SetOutputLevel(unsigned short value);
        // Set the 4-bit rates and recompute the rate parameters.
        void SetAttackRate(unsigned short value);
        void SetDecayRate(unsigned short value);
        void SetReleaseRate(unsigned short value);
        // Sets the 4-bit sustain level field.
        void SetSustainLevel(unsigned short value);
        // Sets the waveform (value & 7).
        void SetWaveform(unsigned short value);
        // Derives the shift, mask, increment and pattern of the three rates.
        void ComputeRates();
        // Derives KeyScaleLevel from the owning channel's block and F-number.
        void ComputeKeyScaleLevel();
        // One chip sample: advances phase and envelope, returns -4085 to 4084.
        int16_t Output(uint32_t phaseStep, int16_t vibrato, int16_t modulation,
                       int16_t feedbackShift);
    };

    // Output sample rate in Hz; 49716 when constructed with 0.
    int32_t SampleRate;
    // Position of the next output sample after PrevChipSample, in 1/SampleRate chip samples.
    int32_t RateAccumulator;
    // The chip sample before the current one, and the current one (left, right).
    int16_t PrevChipSample[2];
    int16_t CurrChipSample[2];
    // Channels 0-8 are bank 0, 9-17 bank 1.
    Channel Channels[ChannelCount];
    // Operators 0-17 are bank 0, 18-35 bank 1.
    Operator Operators[OperatorCount];
    // Counts chip samples (wraps at 65536); drives the envelope rates.
    uint16_t EnvelopeClock;
    // Tremolo triangle position (0 to 13439) and its attenuation in envelope units.
    uint16_t TremoloPhase;
    uint16_t TremoloLevel;
    // Chip samples since the last vibrato step (0 to 1023) and the step (0 to 7).
    uint16_t VibratoDivider;
    uint16_t VibratoStep;
    // Register 0x08 bit 6: which F-number bit enters the key scale number.
    bool NoteSelect;
    // Register 0xBD bits 7 and 6: deep tremolo and deep vibrato.
    bool DeepTremolo;
    bool DeepVibrato;

    // A silent chip (all keys off, all outputs disabled) producing sample_rate Hz; 0 (or
    // less) means the native rate, rates above MaxSampleRate are limited to it.
    explicit Opl3Chip(int sample_rate);
    ~Opl3Chip() {}
    // Channels and operators point into the object: it cannot be copied or moved.
    Opl3Chip(const Opl3Chip&) = delete;
    Opl3Chip& operator=(const Opl3Chip&) = delete;
    Opl3Chip(Opl3Chip&&) = delete;
    Opl3Chip& operator=(Opl3Chip&&) = delete;

    // Sets the output rate (as the constructor) and restarts the interpolation from silence.
    void SetSampleRate(int sample_rate);
    // Writes one register; numbers above 0x1FF and unmodelled registers are ignored.
    void Port(unsigned short reg_num, unsigned char val);
    // One stereo sample at SampleRate.
    void Sample(short* left, short* right);

  private:
    // Resets the clocks and switches, wires channels and operators, sets the rate.
    void Init(int sample_rate);
    // One chip sample at the native rate: mixes all channels and advances the clocks.
    void Output(short& left, short& right);
};

// ---------------------------------------------------------------------------------
// Audio path
// ---------------------------------------------------------------------------------

// Sample rate of the audio device, in Hz.
constexpr int AUDIO_RATE = 48000;
// Frames per audio callback.
constexpr int AUDIO_FRAMES = 512;

// The one chip model, running at its native rate; written only through WriteFM.
extern Opl3Chip chip;
// The resampler from the chip's rate to the device's; null before initOplEmulation, after
// opl_deinit, or when it could not be created (the callback then plays silence).
extern SRC_STATE* src_state;
// The callback's float buffer; it keeps its storage between callbacks.
extern std::vector<float> samples;

// Switches FM output on (enabled non-zero) or off; the port has no effect.
void opl_init(int port, int enabled);
// Deletes the resampler; after the audio device is closed.
void opl_deinit();
// Opens the default audio device for FM sound, paused: AUDIO_RATE Hz, signed 16-bit stereo,
// AUDIO_FRAMES frames per callback into oplEmulationCallback, no changes allowed (SDL
// converts for the hardware, so the callback always sees this format). Needs SDL's audio
// subsystem started. Returns the device id, or 0 when there is none (SDL_GetError says why).
uint32_t openFmAudioDevice();
// Creates the resampler and starts the audio device; right after it is opened.
void initOplEmulation();
// The audio device's callback: len bytes of interleaved 16-bit stereo at 48000 Hz; zeros
// while muted or without a resampler.
void oplEmulationCallback(void* userdata, uint8_t* stream, int len);
// Writes one chip register, locked against the audio thread.
void WriteFM(unsigned short reg, unsigned char value);
