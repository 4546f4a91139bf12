// A stand-in for WriteFM that records every register write instead of reaching a chip.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

struct FMWrite {
    uint16_t reg;
    uint8_t value;
    bool operator==(const FMWrite& o) const { return reg == o.reg && value == o.value; }
};

inline std::ostream& operator<<(std::ostream& os, const FMWrite& w) {
    return os << std::hex << "{0x" << w.reg << ", 0x" << int(w.value) << "}" << std::dec;
}

// Every WriteFM call since the last clear, in order.
extern std::vector<FMWrite> fmWrites;
