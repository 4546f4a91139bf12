// The platform layer's device id, for programs that drive the audio path without SDL's
// window code: 0 is "no device", and a program that opens one stores its id here.
#include "sdltk.h"

uint32_t audioDevice = 0;
