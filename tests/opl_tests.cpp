// The FM voice layer: the exact register writes of each operation, against a recorder.
#include "opl.h"

#include "doubles/fm_recorder.h"

#include <gtest/gtest.h>

namespace {

class VoiceLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        OPL_mode = 3;
        OPL_left = 0x10;
        OPL_right = 0x20;
        fmWrites.clear();
    }
    void TearDown() override {
        OPL_mode = 0;
        OPL_left = 0x10;
        OPL_right = 0x20;
    }
};

// Every byte distinct, so a swapped pair of writes shows.
const FMInstrument distinct = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B};

TEST_F(VoiceLayer, SetVoiceWritesElevenBytesToTheVoicesSlotsInOrder) {
    struct Case {
        int voice;
        uint16_t slot;    // modulator's operator offset
        uint16_t channel; // offset of 0xA0/0xB0/0xC0
    };
    const Case cases[] = {
        {0, 0x00, 0},  {1, 0x01, 1},  {2, 0x02, 2},   {3, 0x08, 3}, {4, 0x09, 4},
        {5, 0x0A, 5},  {6, 0x10, 6},  {8, 0x12, 8},   {9, 0x18, 9}, {10, 0x19, 10},
        {11, 0x00, 0}, {14, 0x08, 3}, {-1, 0x19, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.voice);
        fmWrites.clear();
        FMSetVoice(c.voice, &distinct);
        const uint16_t s = c.slot;
        const std::vector<FMWrite> expected = {
            {uint16_t(0x20 + s), 0x11},         {uint16_t(0x23 + s), 0x12},
            {uint16_t(0x40 + s), 0x13},         {uint16_t(0x43 + s), 0x14},
            {uint16_t(0x60 + s), 0x15},         {uint16_t(0x63 + s), 0x16},
            {uint16_t(0x80 + s), 0x17},         {uint16_t(0x83 + s), 0x18},
            {uint16_t(0xE0 + s), 0x19},         {uint16_t(0xE3 + s), 0x1A},
            {uint16_t(0xC0 + c.channel), 0x1B},
        };
        EXPECT_EQ(fmWrites, expected);
    }
}

TEST_F(VoiceLayer, NotesWriteFNumberLowThenBlockAndKeyByte) {
    struct Case {
        const char* what;
        void (*call)(int, int, int);
        int voice, fnum, block;
        std::vector<FMWrite> expected;
    };
    const Case cases[] = {
        {"key on 0x305 block 0", FMKeyOn, 2, 0x305, 0, {{0xA2, 0x05}, {0xB2, 0x23}}},
        {"key on 440 Hz", FMKeyOn, 0, 580, 4, {{0xA0, 0x44}, {0xB0, 0x32}}},
        {"key on top of range", FMKeyOn, 8, 1023, 7, {{0xA8, 0xFF}, {0xB8, 0x3F}}},
        {"key on voice 11 is voice 0", FMKeyOn, 11, 773, 0, {{0xA0, 0x05}, {0xB0, 0x23}}},
        {"key off keeps pitch", FMKeyOff, 4, 580, 5, {{0xA4, 0x44}, {0xB4, 0x16}}},
        {"key off at zero", FMKeyOff, 1, 0, 0, {{0xA1, 0x00}, {0xB1, 0x00}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fmWrites.clear();
        c.call(c.voice, c.fnum, c.block);
        EXPECT_EQ(fmWrites, c.expected);
    }
}

TEST_F(VoiceLayer, VoiceOffClearsOnlyTheKeyRegister) {
    FMVoiceOff(4);
    FMVoiceOff(13); // 13 mod 11 = 2
    const std::vector<FMWrite> expected = {{0xB4, 0x00}, {0xB2, 0x00}};
    EXPECT_EQ(fmWrites, expected);
}

TEST_F(VoiceLayer, MutedLayerWritesNothing) {
    OPL_mode = 0;
    FMSetVoice(0, &distinct);
    FMKeyOn(0, 580, 4);
    FMKeyOff(0, 580, 4);
    FMVoiceOff(0);
    EXPECT_TRUE(fmWrites.empty());
}

TEST_F(VoiceLayer, SetVoiceWithoutInstrumentWritesNothing) {
    FMSetVoice(0, nullptr);
    EXPECT_TRUE(fmWrites.empty());
}

TEST_F(VoiceLayer, SwapExchangesTheOutputBits) {
    EXPECT_EQ(OPL_left, 0x10);
    EXPECT_EQ(OPL_right, 0x20);
    opl_swap();
    EXPECT_EQ(OPL_left, 0x20);
    EXPECT_EQ(OPL_right, 0x10);
    opl_swap(); // the option given twice still means "swapped"
    EXPECT_EQ(OPL_left, 0x20);
    EXPECT_EQ(OPL_right, 0x10);
}

} // namespace
