#include "fm_recorder.h"

#include "sdlopl.h"

std::vector<FMWrite> fmWrites;

void WriteFM(unsigned short reg, unsigned char value) {
    fmWrites.push_back({reg, value});
}
