// A scripted stand-in for the keyboard queue and the quit flag, linked into tests in
// place of input.cpp so that key handling can be driven without SDL.
#pragma once

// Empties the scripted queue and clears the quit flag.
void fakeInputReset();
// Appends one key event (pressed 1 for a press, 0 for a release) to the queue.
void fakeInputPush(unsigned char pressed, unsigned char code);
// Number of events still waiting in the queue.
int fakeInputPending();
