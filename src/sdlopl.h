// FM sound output: the software OPL3 chip and the audio path that plays it.
// The chip model (Opl3Chip) is plain integer code; the audio path runs it on SDL's audio
// thread through libsamplerate, and WriteFM is the one way the game writes its registers.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------------------------
// The OPL3 chip model
// ---------------------------------------------------------------------------------

// @@OPL3CHIP@@ (the Opl3Chip class goes here)

// ---------------------------------------------------------------------------------
// Audio path
// ---------------------------------------------------------------------------------

// Sample rate of the audio device, in Hz.
constexpr int AUDIO_RATE = 48000;
// Frames per audio callback.
constexpr int AUDIO_FRAMES = 512;

// Switches FM output on (enabled non-zero) or off; the port has no effect.
void opl_init(int port, int enabled);
// Deletes the resampler; after the audio device is closed.
void opl_deinit();
// Creates the resampler and starts the audio device; right after it is opened.
void initOplEmulation();
// The audio device's callback: len bytes of interleaved 16-bit stereo at 48000 Hz.
void oplEmulationCallback(void* userdata, uint8_t* stream, int len);
// Writes one chip register, locked against the audio thread.
void WriteFM(unsigned short reg, unsigned char value);
