// Test double of the sound effects for benchmarks: every snd_ call does nothing, so that
// neither sound nor recording is measured.
#include "sound.h"

void snd_beepLeft() {}
void snd_beepRight() {}
void snd_beepLights(bool) {}
void snd_crash(unsigned char) {}
void snd_motorSetup(int, int) {}
void snd_motorFreq(int, int) {}
void snd_motorStop(int) {}
