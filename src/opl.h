// The FM voice layer and the FM output switches: the game's whole interface to FM sound.
// Voices are the first nine two-operator channels of bank 0; every write goes through WriteFM.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------------------------
// Output switches
// ---------------------------------------------------------------------------------

// 3 while FM sound is on, 0 when muted (set by opl_init).
extern int OPL_mode;
// Output bit of register 0xC0 for left-side sounds (0x10; 0x20 after opl_swap).
extern uint8_t OPL_left;
// Output bit of register 0xC0 for right-side sounds (0x20; 0x10 after opl_swap).
extern uint8_t OPL_right;

// Exchanges the left and right output bits ("-swap").
void opl_swap();
// The chip's status register; the model has none, so always 0.
int ReadFM();

// ---------------------------------------------------------------------------------
// Voice layer
// ---------------------------------------------------------------------------------

// The eleven register bytes of a two-operator voice.
struct FMInstrument {
    uint8_t modChar, carChar;       // 0x20/0x23: tremolo, vibrato, sustain, KSR, multiple
    uint8_t modLevel, carLevel;     // 0x40/0x43: key scale level, attenuation
    uint8_t modAttack, carAttack;   // 0x60/0x63: attack and decay rates
    uint8_t modSustain, carSustain; // 0x80/0x83: sustain level and release rate
    uint8_t modWave, carWave;       // 0xE0/0xE3: waveform
    uint8_t feedback;               // 0xC0: output bits, feedback, connection
};

// Loads an instrument into a voice (0..10, taken modulo 11) without keying it.
void FMSetVoice(int voice, const FMInstrument* instrument);
// Starts (or retunes) a note: F-number 0..1023 at block 0..7.
void FMKeyOn(int voice, int fnum, int block);
// Releases a note at the given pitch.
void FMKeyOff(int voice, int fnum, int block);
// Keys a voice off and clears its block and high F-number bits.
void FMVoiceOff(int voice);
