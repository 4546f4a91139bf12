#include "fake_keys.h"

#include "sdltk.h"

#include <cstring>

unsigned char fakeKeys[256];

void releaseAllKeys() {
    std::memset(fakeKeys, 0, sizeof fakeKeys);
}

unsigned char getKeyState(unsigned char code) {
    return fakeKeys[code];
}
