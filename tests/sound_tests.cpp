// The sound effects: which registers each one writes, for which voice, pitch and speakers.
#include "sound.h"

#include "opl.h"

#include "doubles/fm_recorder.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Bytes = std::array<uint8_t, 11>;

// The eleven writes of loading an instrument into a voice.
std::vector<FMWrite> load(int voice, const Bytes& b) {
    const uint16_t s = uint16_t((voice % 3) + 8 * (voice / 3));
    const uint16_t ops[10] = {0x20, 0x23, 0x40, 0x43, 0x60, 0x63, 0x80, 0x83, 0xE0, 0xE3};
    std::vector<FMWrite> w;
    for (int i = 0; i < 10; ++i)
        w.push_back({uint16_t(ops[i] + s), b[i]});
    w.push_back({uint16_t(0xC0 + voice), b[10]});
    return w;
}

std::vector<FMWrite> operator+(std::vector<FMWrite> a, const std::vector<FMWrite>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<FMWrite> off(int voice) {
    return {{uint16_t(0xB0 + voice), 0}};
}

std::vector<FMWrite> on(int voice, int fnum, int block) {
    return {{uint16_t(0xA0 + voice), uint8_t(fnum & 0xFF)},
            {uint16_t(0xB0 + voice), uint8_t(0x20 | (block << 2) | (fnum >> 8))}};
}

Bytes beep(uint8_t speakers) {
    return {0x03, 0x01, 0x47, 0x00, 0x95, 0x95, 0x15, 0x15, 0x01, 0x00, uint8_t(speakers | 0x08)};
}

Bytes crash(uint8_t carLevel) {
    return {0x02, 0x01, 0x47, carLevel, 0xF8, 0xF5, 0xFF, 0x7F, 0x00, 0x00, 0x3E};
}

const Bytes engines[3] = {
    {0x21, 0xE2, 0x00, 0x11, 0x87, 0x8B, 0x17, 0x0E, 0x00, 0x00, 0x02},
    {0x21, 0x25, 0x03, 0x09, 0x87, 0x8B, 0x17, 0x0E, 0x00, 0x01, 0x02},
    {0x62, 0x23, 0x03, 0x09, 0x87, 0x8B, 0x17, 0x0E, 0x01, 0x01, 0x02},
};

Bytes engine(int car, uint8_t speaker) {
    Bytes b = engines[car];
    b[10] = uint8_t(b[10] | speaker);
    return b;
}

class SoundEffects : public ::testing::Test {
  protected:
    void SetUp() override {
        OPL_mode = 3;
        OPL_left = 0x10;
        OPL_right = 0x20;
        // The engine blocks live on between tests: put both players back to car 0.
        snd_motorSetup(0, 0);
        snd_motorSetup(1, 0);
        fmWrites.clear();
    }
    void TearDown() override {
        OPL_mode = 0;
        OPL_left = 0x10;
        OPL_right = 0x20;
    }
};

TEST_F(SoundEffects, OneShotsLoadKeyOffAndKeyOnTheirVoice) {
    struct Case {
        const char* what;
        void (*play)();
        std::vector<FMWrite> expected;
    };
    const Case cases[] = {
        {"beep left", snd_beepLeft, load(3, beep(0x10)) + off(3) + on(3, 580, 4)},
        {"beep right", snd_beepRight, load(4, beep(0x20)) + off(4) + on(4, 580, 4)},
        {"lights low", [] { snd_beepLights(false); }, load(0, beep(0x30)) + off(0) + on(0, 580, 4)},
        {"lights high", [] { snd_beepLights(true); }, load(0, beep(0x30)) + off(0) + on(0, 580, 5)},
        {"crash 63", [] { snd_crash(63); }, load(0, crash(0)) + off(0) + on(0, 773, 0)},
        {"crash 40", [] { snd_crash(40); }, load(0, crash(23)) + off(0) + on(0, 773, 0)},
        {"crash too loud", [] { snd_crash(200); }, load(0, crash(0)) + off(0) + on(0, 773, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fmWrites.clear();
        c.play();
        EXPECT_EQ(fmWrites, c.expected);
    }
}

TEST_F(SoundEffects, SwapMovesEverySidedSoundToTheOtherSpeaker) {
    opl_swap();
    snd_beepLeft();
    snd_beepRight();
    snd_beepLights(false);
    snd_motorSetup(0, 1);
    snd_motorSetup(1, 2);
    const std::vector<FMWrite> expected =
        load(3, beep(0x20)) + off(3) + on(3, 580, 4) + load(4, beep(0x10)) + off(4) +
        on(4, 580, 4) + load(0, beep(0x30)) + off(0) + on(0, 580, 4) + load(1, engine(1, 0x20)) +
        off(1) + load(2, engine(2, 0x10)) + off(2);
    EXPECT_EQ(fmWrites, expected);
}

TEST_F(SoundEffects, EngineIsLoadedSilentThenRetunedAtTheCarsBlockThenStopped) {
    struct Case {
        int player, car;
        uint8_t speaker;
        int block;
    };
    const Case cases[] = {
        {0, 0, 0x10, 1}, {0, 1, 0x10, 1}, {0, 2, 0x10, 0},
        {1, 0, 0x20, 1}, {1, 1, 0x20, 1}, {1, 2, 0x20, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "player " << c.player << " car " << c.car);
        fmWrites.clear();
        const int voice = c.player + 1;
        snd_motorSetup(c.player, c.car);
        EXPECT_EQ(fmWrites, load(voice, engine(c.car, c.speaker)) + off(voice));
        fmWrites.clear();
        snd_motorFreq(c.player, 369);
        snd_motorFreq(c.player, 908);
        snd_motorStop(c.player);
        EXPECT_EQ(fmWrites, on(voice, 369, c.block) + on(voice, 908, c.block) + off(voice));
    }
}

TEST_F(SoundEffects, EachPlayerKeepsItsOwnEngineBlock) {
    snd_motorSetup(0, 2);
    snd_motorSetup(1, 0);
    fmWrites.clear();
    snd_motorFreq(0, 500);
    snd_motorFreq(1, 500);
    EXPECT_EQ(fmWrites, on(1, 500, 0) + on(2, 500, 1));
}

TEST_F(SoundEffects, BadPlayerOrCarChangesNothing) {
    snd_motorSetup(0, 2); // block 0 for player 0
    fmWrites.clear();
    const std::pair<int, int> bad[] = {{2, 0}, {0, 3}, {-1, 0}, {0, -1}, {1000000, 1}};
    for (const auto& b : bad)
        snd_motorSetup(b.first, b.second);
    snd_motorFreq(2, 500);
    snd_motorFreq(-1, 500);
    snd_motorStop(2);
    snd_motorStop(-1);
    EXPECT_TRUE(fmWrites.empty());
    // Player 0 still plays at the beetle's block.
    snd_motorFreq(0, 500);
    EXPECT_EQ(fmWrites, on(1, 500, 0));
}

TEST_F(SoundEffects, EngineFNumberIsKeptToTenBits) {
    snd_motorFreq(0, 5000);
    snd_motorFreq(0, -5);
    EXPECT_EQ(fmWrites, on(1, 1023, 1) + on(1, 0, 1));
}

TEST_F(SoundEffects, MutedEffectsWriteNothing) {
    OPL_mode = 0;
    snd_beepLeft();
    snd_beepRight();
    snd_beepLights(true);
    snd_crash(50);
    snd_motorSetup(0, 1);
    snd_motorFreq(0, 500);
    snd_motorStop(0);
    EXPECT_TRUE(fmWrites.empty());
}

} // namespace
