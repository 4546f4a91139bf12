// The FM voice layer and the FM output switches.
#include "opl.h"

#include "sdlopl.h"

int OPL_mode = 0;
uint8_t OPL_left = 0x10;
uint8_t OPL_right = 0x20;

void opl_swap() {
    OPL_left = 0x20;
    OPL_right = 0x10;
}

int ReadFM() {
    return 0;
}

namespace {

// Voice numbers wrap at 11, as the game's callers have always relied on; a negative number
// wraps the same way rather than reaching a register far outside the chip's map.
constexpr int VOICE_WRAP = 11;

int voiceIndex(int voice) {
    return ((voice % VOICE_WRAP) + VOICE_WRAP) % VOICE_WRAP;
}

// Register offset of a voice's first operator (the modulator); the carrier is 3 above.
int modulatorSlot(int v) {
    return (v % 3) + 8 * (v / 3);
}

// The 0xB0 byte of a note: top two F-number bits, block in bits 2-4, key-on in bit 5.
// The F-number is not masked: callers keep it within 0..1023.
uint8_t keyByte(int fnum, int block) {
    return static_cast<uint8_t>(((fnum >> 8) | (block << 2)) & 0xFF);
}

void writeNote(int voice, int fnum, int block, bool keyOn) {
    const int v = voiceIndex(voice);
    WriteFM(static_cast<unsigned short>(0xA0 + v), static_cast<unsigned char>(fnum & 0xFF));
    WriteFM(static_cast<unsigned short>(0xB0 + v), keyByte(fnum, block) | (keyOn ? 0x20 : 0x00));
}

} // namespace

void FMSetVoice(int voice, const FMInstrument* instrument) {
    if (OPL_mode == 0 || instrument == nullptr) return;
    const int v = voiceIndex(voice);
    const unsigned short slot = static_cast<unsigned short>(modulatorSlot(v));
    const FMInstrument& in = *instrument;
    WriteFM(0x20 + slot, in.modChar);
    WriteFM(0x23 + slot, in.carChar);
    WriteFM(0x40 + slot, in.modLevel);
    WriteFM(0x43 + slot, in.carLevel);
    WriteFM(0x60 + slot, in.modAttack);
    WriteFM(0x63 + slot, in.carAttack);
    WriteFM(0x80 + slot, in.modSustain);
    WriteFM(0x83 + slot, in.carSustain);
    WriteFM(0xE0 + slot, in.modWave);
    WriteFM(0xE3 + slot, in.carWave);
    WriteFM(static_cast<unsigned short>(0xC0 + v), in.feedback);
}

void FMKeyOn(int voice, int fnum, int block) {
    if (OPL_mode == 0) return;
    writeNote(voice, fnum, block, true);
}

void FMKeyOff(int voice, int fnum, int block) {
    if (OPL_mode == 0) return;
    writeNote(voice, fnum, block, false);
}

void FMVoiceOff(int voice) {
    if (OPL_mode == 0) return;
    WriteFM(static_cast<unsigned short>(0xB0 + voiceIndex(voice)), 0);
}
