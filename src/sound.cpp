// The game's sound effects: instruments, voices and speakers of each sound.
#include "sound.h"

#include "opl.h"

#include <cstdint>

namespace {

// FM voices of the sounds. A new sound on a voice cuts whatever it was playing.
constexpr int VOICE_SHARED = 0;     // start-light beeps and crashes, both speakers
constexpr int VOICE_ENGINE = 1;     // + player: 1 first player's engine, 2 second's
constexpr int VOICE_BEEP_LEFT = 3;  // title-screen speaker test, left
constexpr int VOICE_BEEP_RIGHT = 4; // title-screen speaker test, right

constexpr int PLAYER_COUNT = 2;
constexpr int CAR_COUNT = 3;

// Notes as (F-number, block): the chip sounds F * 49716 / 2^(20 - block) Hz.
constexpr int BEEP_FNUM = 580; // 440 Hz at block 4, 880 Hz at block 5
constexpr int BEEP_BLOCK_LOW = 4;
constexpr int BEEP_BLOCK_HIGH = 5;
constexpr int CRASH_FNUM = 773; // about 36.7 Hz at block 0
constexpr int CRASH_BLOCK = 0;
constexpr int MAX_FNUM = 1023;

// Crash loudness 63 is full level; each step below adds 0.75 dB of carrier attenuation.
constexpr unsigned char CRASH_LOUDEST = 63;

// Instruments without their speaker bits: the feedback byte holds feedback and connection
// only, and the output bits of the moment are added when the sound is played.
// clang-format off
//                                           modChar carChar modLvl carLvl modAtk carAtk modSus carSus modWv carWv  fb
// Percussive two-operator tone: modulator x3 (half-sine), carrier x1, feedback 4.
constexpr FMInstrument beepInstrument =     {0x03,   0x01,   0x47,  0x00,  0x95,  0x95,  0x15,  0x15,  0x01, 0x00, 0x08};
// Very low, fast, percussive tone with the largest feedback; carLevel is set per crash.
constexpr FMInstrument crashInstrument =    {0x02,   0x01,   0x47,  0x00,  0xF8,  0xF5,  0xFF,  0x7F,  0x00, 0x00, 0x0E};
// Sustained engine tones, feedback 1, one per car.
constexpr FMInstrument motorInstruments[CAR_COUNT] = {
    /* skoda */                             {0x21,   0xE2,   0x00,  0x11,  0x87,  0x8B,  0x17,  0x0E,  0x00, 0x00, 0x02},
    /* trabant */                           {0x21,   0x25,   0x03,  0x09,  0x87,  0x8B,  0x17,  0x0E,  0x00, 0x01, 0x02},
    /* beetle */                            {0x62,   0x23,   0x03,  0x09,  0x87,  0x8B,  0x17,  0x0E,  0x01, 0x01, 0x02},
};
// clang-format on
// Block of each car's engine note: the beetle's engine sounds an octave lower.
constexpr int32_t motorOctaves[CAR_COUNT] = {1, 1, 0};

// Block of each player's engine note, chosen by snd_motorSetup.
int32_t snd_octave[PLAYER_COUNT] = {1, 1};

FMInstrument withSpeakers(FMInstrument instrument, uint8_t speakers) {
    instrument.feedback = static_cast<uint8_t>(instrument.feedback | speakers);
    return instrument;
}

uint8_t bothSpeakers() {
    return static_cast<uint8_t>(OPL_left | OPL_right);
}

uint8_t playerSpeaker(int player) {
    return player == 0 ? OPL_left : OPL_right;
}

bool validPlayer(int player) {
    return player >= 0 && player < PLAYER_COUNT;
}

// Programs a voice and restarts its note from the attack, even while the last one sounds.
void playOneShot(int voice, const FMInstrument& instrument, int fnum, int block) {
    FMSetVoice(voice, &instrument);
    FMVoiceOff(voice);
    FMKeyOn(voice, fnum, block);
}

} // namespace

void snd_beepLeft() {
    playOneShot(VOICE_BEEP_LEFT, withSpeakers(beepInstrument, OPL_left), BEEP_FNUM, BEEP_BLOCK_LOW);
}

void snd_beepRight() {
    playOneShot(VOICE_BEEP_RIGHT, withSpeakers(beepInstrument, OPL_right), BEEP_FNUM,
                BEEP_BLOCK_LOW);
}

void snd_beepLights(bool high) {
    playOneShot(VOICE_SHARED, withSpeakers(beepInstrument, bothSpeakers()), BEEP_FNUM,
                high ? BEEP_BLOCK_HIGH : BEEP_BLOCK_LOW);
}

void snd_crash(unsigned char loudness) {
    // Above 63 the attenuation would underflow into the key-scale bits.
    if (loudness > CRASH_LOUDEST) loudness = CRASH_LOUDEST;
    FMInstrument crash = withSpeakers(crashInstrument, bothSpeakers());
    crash.carLevel = static_cast<uint8_t>(CRASH_LOUDEST - loudness);
    playOneShot(VOICE_SHARED, crash, CRASH_FNUM, CRASH_BLOCK);
}

void snd_motorSetup(int player, int car) {
    if (!validPlayer(player) || car < 0 || car >= CAR_COUNT) return;
    snd_octave[player] = motorOctaves[car];
    const FMInstrument engine = withSpeakers(motorInstruments[car], playerSpeaker(player));
    FMSetVoice(VOICE_ENGINE + player, &engine);
    // Silent until the first snd_motorFreq keys it on.
    FMVoiceOff(VOICE_ENGINE + player);
}

void snd_motorFreq(int player, int fnum) {
    if (!validPlayer(player)) return;
    // An F-number outside 10 bits would spill into the block bits.
    if (fnum < 0) fnum = 0;
    if (fnum > MAX_FNUM) fnum = MAX_FNUM;
    // Re-keying a sounding voice only retunes it: the engine note carries on.
    FMKeyOn(VOICE_ENGINE + player, fnum, snd_octave[player]);
}

void snd_motorStop(int player) {
    if (!validPlayer(player)) return;
    FMVoiceOff(VOICE_ENGINE + player);
}
