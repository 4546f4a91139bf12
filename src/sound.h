// The game's sound effects, each a short fixed sequence of FM voice-layer calls.
// Voice 0: start lights and crash; 1 and 2: the engines; 3 and 4: the speaker test.
#pragma once

// Speaker-test beep on the left side (title screen, Left arrow).
void snd_beepLeft();
// Speaker-test beep on the right side (title screen, Right arrow).
void snd_beepRight();
// Start-light beep on both sides: 440 Hz, or 880 Hz for the green light.
void snd_beepLights(bool high);
// Crash on both sides at a loudness of 40..63.
void snd_crash(unsigned char loudness);
// Loads the engine of a car (0..2) into a player's (0..1) voice, silent until retuned.
void snd_motorSetup(int player, int car);
// Sets a player's engine pitch (an F-number), keying the note on.
void snd_motorFreq(int player, int fnum);
// Releases a player's engine note.
void snd_motorStop(int player);
