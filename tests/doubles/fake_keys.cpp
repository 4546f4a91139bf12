#include "fake_keys.h"

#include <cstring>

unsigned char fakeKeys[SCAN_CODES];

void releaseAllKeys() {
    std::memset(fakeKeys, 0, sizeof fakeKeys);
}

unsigned char getKeyState(unsigned char code) {
    return fakeKeys[code];
}
