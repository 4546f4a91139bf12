// The audio path and the sound effects as heard: the chip model, resampled to 48000 Hz by the
// device callback, measured for level, pitch and side.
#include "sdlopl.h"

#include "opl.h"
#include "sdltk.h"
#include "sim.h"
#include "sound.h"

#include "audio_measure.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>

namespace {

constexpr int BYTES_PER_FRAME = 4;
constexpr int CALLBACK_BYTES = AUDIO_FRAMES * BYTES_PER_FRAME;

// Pitch the chip gives an F-number at a block, in Hz.
double chipHz(int fnum, int block) {
    return fnum * 49716.0 / double(1 << (20 - block));
}

class AudioPath : public ::testing::Test {
  protected:
    void SetUp() override {
        // The game never resets the chip; a test needs one that has never sounded.
        chip.~Opl3Chip();
        new (&chip) Opl3Chip(0);
        OPL_left = 0x10;
        OPL_right = 0x20;
        opl_init(0x388, 1);
        initOplEmulation();
        ASSERT_NE(src_state, nullptr);
    }
    void TearDown() override {
        opl_deinit();
        opl_init(0x388, 0);
        OPL_left = 0x10;
        OPL_right = 0x20;
    }

    // Runs the device callback for about `seconds` of sound, 512 frames at a time.
    std::vector<int16_t> render(double seconds) {
        const int callbacks = int(seconds * AUDIO_RATE / AUDIO_FRAMES + 0.5);
        std::vector<int16_t> out(size_t(callbacks) * AUDIO_FRAMES * 2);
        for (int c = 0; c < callbacks; ++c)
            oplEmulationCallback(nullptr,
                                 reinterpret_cast<uint8_t*>(&out[size_t(c) * AUDIO_FRAMES * 2]),
                                 CALLBACK_BYTES);
        return out;
    }
};

// A pure sine on voice 0: silent modulator (attack rate 0 never leaves full attenuation),
// carrier at full level held by its sustain, sounding on the given sides.
void playSine(uint8_t sides, int fnum, int block) {
    const FMInstrument sine = {0x01, 0x21, 0x3F, 0x00, 0x00,          0xF0,
                               0x00, 0x00, 0x00, 0x00, uint8_t(sides)};
    FMSetVoice(0, &sine);
    FMKeyOn(0, fnum, block);
}

TEST_F(AudioPath, CallbackPlaysTheChipResampledTo48kHz) {
    playSine(0x10, 580, 4);
    const std::vector<int16_t> out = render(0.5);
    // Skip the converter's start-up; then a full-level sine at the chip's pitch on the left.
    const std::vector<float> left = channelOf(out, 0, 4800);
    const std::vector<float> right = channelOf(out, 1, 0);
    EXPECT_NEAR(pitchOf(left, AUDIO_RATE, 100, 2000), chipHz(580, 4), 0.5);
    EXPECT_NEAR(peakOf(left), 4084, 40); // the chip's full-level sine peak
    EXPECT_NEAR(rmsOf(left), 4084 / std::sqrt(2.0), 30);
    EXPECT_EQ(peakOf(right), 0); // a side the channel does not drive stays exactly silent
}

TEST_F(AudioPath, CallbackPullsChipFramesAtTheChipsRate) {
    const uint16_t before = chip.EnvelopeClock;
    render(100 * AUDIO_FRAMES / double(AUDIO_RATE));
    const int chipFrames = uint16_t(chip.EnvelopeClock - before);
    // 100 callbacks of 512 frames need 51200 * 49716 / 48000 = 53030 chip frames, plus the
    // filter's look-ahead.
    EXPECT_GE(chipFrames, 53030);
    EXPECT_LE(chipFrames, 53030 + 400);
}

TEST_F(AudioPath, MutedCallbackPlaysZerosWithoutRunningTheChip) {
    playSine(0x30, 580, 4);
    opl_init(0x388, 0);
    std::vector<uint8_t> stream(CALLBACK_BYTES, 0x55);
    const uint16_t clock = chip.EnvelopeClock;
    oplEmulationCallback(nullptr, stream.data(), CALLBACK_BYTES);
    EXPECT_EQ(std::count(stream.begin(), stream.end(), 0), CALLBACK_BYTES);
    EXPECT_EQ(chip.EnvelopeClock, clock);
}

TEST_F(AudioPath, WithoutAConverterTheCallbackPlaysSilence) {
    playSine(0x30, 580, 4);
    opl_deinit();
    EXPECT_EQ(src_state, nullptr);
    opl_deinit(); // a second shutdown must not delete anything twice
    std::vector<uint8_t> stream(CALLBACK_BYTES, 0x55);
    oplEmulationCallback(nullptr, stream.data(), CALLBACK_BYTES);
    EXPECT_EQ(std::count(stream.begin(), stream.end(), 0), CALLBACK_BYTES);
}

TEST_F(AudioPath, BufferKeepsItsStorageAndOddSizesAreFilled) {
    playSine(0x30, 580, 4);
    render(0.1);
    const size_t capacity = samples.capacity();
    EXPECT_GE(capacity, size_t(AUDIO_FRAMES * 2));
    const float* storage = samples.data();
    // Sizes SDL might hand over: smaller, odd, larger; each fully written.
    for (int len : {1024, 2046, 2047, 4096}) {
        SCOPED_TRACE(len);
        std::vector<uint8_t> stream(size_t(len) + 8, 0x55);
        oplEmulationCallback(nullptr, stream.data(), len);
        EXPECT_EQ(stream[size_t(len)], 0x55); // nothing written past the end
        if (len % 2 != 0) {
            EXPECT_EQ(stream[size_t(len) - 1], 0); // half a sample is kept silent
        }
        if (len <= 2048) {
            EXPECT_EQ(samples.data(), storage);
        }
    }
    EXPECT_EQ(ReadFM(), 0);
}

// --- the sound effects as heard ---

struct Heard {
    double leftRms, rightRms, leftHz, rightHz;
};

class Effects : public AudioPath {
  protected:
    // Renders `seconds` and measures the stretch [from, from + length) seconds.
    Heard listen(double seconds, double from, double length, double fMin, double fMax) {
        const std::vector<int16_t> out = render(seconds);
        const size_t a = size_t(from * AUDIO_RATE), b = size_t((from + length) * AUDIO_RATE);
        const std::vector<float> l = channelOf(out, 0, a, b), r = channelOf(out, 1, a, b);
        return {rmsOf(l), rmsOf(r), pitchOf(l, AUDIO_RATE, fMin, fMax),
                pitchOf(r, AUDIO_RATE, fMin, fMax)};
    }
};

TEST_F(Effects, BeepsSoundAtTheirPitchOnTheirSide) {
    struct Case {
        const char* what;
        void (*play)();
        bool swapped;
        double hz;
        bool left, right;
    };
    const Case cases[] = {
        {"beep left", snd_beepLeft, false, 440, true, false},
        {"beep right", snd_beepRight, false, 440, false, true},
        {"lights low", [] { snd_beepLights(false); }, false, 440, true, true},
        {"lights high", [] { snd_beepLights(true); }, false, 880, true, true},
        {"beep left swapped", snd_beepLeft, true, 440, false, true},
        {"beep right swapped", snd_beepRight, true, 440, true, false},
        {"lights swapped", [] { snd_beepLights(true); }, true, 880, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        if (c.swapped) opl_swap();
        c.play();
        const Heard h = listen(0.25, 0.02, 0.1, 100, 2000);
        for (auto [on, rms, hz] : {std::tuple{c.left, h.leftRms, h.leftHz},
                                   std::tuple{c.right, h.rightRms, h.rightHz}}) {
            if (on) {
                EXPECT_GT(rms, 300);
                EXPECT_NEAR(hz, c.hz, c.hz * 0.005);
            } else {
                EXPECT_EQ(rms, 0);
            }
        }
    }
}

TEST_F(Effects, CrashIsALowThudWhoseLevelFollowsLoudness) {
    // The first few hundredths of a second are the noisy hit of the feedback; the thud
    // rings on at the note's pitch for about half a second.
    snd_crash(63);
    const Heard loud = listen(0.25, 0.05, 0.15, 25, 200);
    TearDown();
    SetUp();
    snd_crash(40);
    const Heard soft = listen(0.25, 0.05, 0.15, 25, 200);
    EXPECT_NEAR(loud.leftHz, chipHz(773, 0), 1.0);
    EXPECT_NEAR(loud.rightHz, chipHz(773, 0), 1.0);
    EXPECT_GT(loud.leftRms, 1000);
    EXPECT_NEAR(loud.leftRms, loud.rightRms, 1e-9);
    // 23 steps of carrier attenuation at 0.75 dB each.
    EXPECT_NEAR(20 * std::log10(loud.leftRms / soft.leftRms), 17.25, 1.5);
}

TEST_F(Effects, CrashCutsALightBeepOnTheSharedVoice) {
    snd_beepLights(true);
    render(0.02);
    snd_crash(63);
    const Heard h = listen(0.25, 0.05, 0.15, 25, 2000);
    EXPECT_NEAR(h.leftHz, chipHz(773, 0), 1.0);
}

TEST_F(Effects, EngineSoundsAtTheGearboxPitchOfItsSpeedOnItsPlayersSide) {
    // Speeds in each of the four gears and at both ends, with the pitch the gearbox gives
    // there for cars 0 and 1 (0.9, 0.45, 0.3 and 0.216 Hz per tenth of a step per second,
    // never below 35 Hz); car 2's engine sounds an octave lower.
    struct Speed {
        float speed;
        double hz;
    };
    const Speed speeds[] = {{0.0f, 35.0},  {8.25f, 73.8}, {8.5f, 38.25},
                            {20.0f, 60.0}, {25.0f, 54.0}, {50.0f, 86.184}};
    for (int car : {0, 1, 2}) {
        for (int player : {0, 1}) {
            for (const Speed& s : speeds) {
                SCOPED_TRACE(testing::Message()
                             << "car " << car << " player " << player << " speed " << s.speed);
                TearDown();
                SetUp();
                snd_motorSetup(player, car);
                snd_motorFreq(player, speed2fnum(s.speed));
                const Heard h = listen(0.3, 0.1, 0.15, 15, 150);
                const double expected = car == 2 ? s.hz / 2 : s.hz;
                EXPECT_NEAR(player == 0 ? h.leftHz : h.rightHz, expected, expected * 0.01);
                EXPECT_GT(player == 0 ? h.leftRms : h.rightRms, 300);
                EXPECT_EQ(player == 0 ? h.rightRms : h.leftRms, 0);
            }
        }
    }
}

TEST_F(Effects, EngineIsSilentUntilRetunedAndDiesAwayWhenStopped) {
    snd_motorSetup(0, 1);
    snd_motorSetup(1, 2);
    EXPECT_EQ(peakOf(channelOf(render(0.1), 0)), 0);
    snd_motorFreq(0, 500);
    snd_motorFreq(1, 500);
    render(0.1);
    // Retuning a sounding engine changes its pitch without a new attack.
    snd_motorFreq(0, 700);
    const Heard running = listen(0.25, 0.05, 0.15, 15, 150);
    EXPECT_NEAR(running.leftHz, chipHz(700, 1), chipHz(700, 1) * 0.01);
    EXPECT_NEAR(running.rightHz, chipHz(500, 0), chipHz(500, 0) * 0.01);
    snd_motorStop(0);
    snd_motorStop(1);
    const std::vector<int16_t> after = render(0.5);
    const size_t tail = after.size() / 2 - 4800;
    EXPECT_EQ(peakOf(channelOf(after, 0, tail)), 0);
    EXPECT_EQ(peakOf(channelOf(after, 1, tail)), 0);
}

// --- the real device: register writes locked against the audio thread ---

TEST(AudioDevice, WritesFromTheGameThreadAreLockedAgainstTheCallback) {
    // Runs without a sound card; a driver given in the environment (e.g. disk) is kept.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (SDL_Init(SDL_INIT_AUDIO) != 0) GTEST_SKIP() << "no SDL audio driver: " << SDL_GetError();
    audioDevice = openFmAudioDevice();
    if (audioDevice == 0) {
        SDL_Quit();
        GTEST_SKIP() << "no audio device: " << SDL_GetError();
    }
    opl_init(0x388, 1);
    initOplEmulation();
    ASSERT_NE(src_state, nullptr);

    SDL_LockAudioDevice(audioDevice);
    const uint16_t clockBefore = chip.EnvelopeClock;
    SDL_UnlockAudioDevice(audioDevice);

    // The game's traffic: start lights, crashes, engines retuned every step.
    snd_motorSetup(0, 0);
    snd_motorSetup(1, 2);
    const Uint32 start = SDL_GetTicks();
    for (int step = 0; SDL_GetTicks() - start < 400; ++step) {
        snd_beepLights(step % 3 == 0);
        snd_crash(static_cast<unsigned char>(40 + step % 24));
        snd_motorFreq(0, 369 + step % 500);
        snd_motorFreq(1, 908 - step % 500);
        SDL_Delay(1);
    }

    SDL_LockAudioDevice(audioDevice);
    const uint16_t clockAfter = chip.EnvelopeClock;
    SDL_UnlockAudioDevice(audioDevice);
    EXPECT_NE(clockAfter, clockBefore) << "the callback never ran";

    SDL_CloseAudioDevice(audioDevice);
    audioDevice = 0;
    opl_deinit();
    opl_init(0x388, 0);
    SDL_Quit();
}

} // namespace
