// Test double of the keyboard: the test sets which scan codes are held.
#pragma once

#include "sdltk.h"

// 1 while the key with that scan code counts as held; read by getKeyState.
extern unsigned char fakeKeys[SCAN_CODES];

// Releases every key.
void releaseAllKeys();
