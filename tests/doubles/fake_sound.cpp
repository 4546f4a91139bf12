#include "fake_sound.h"

#include "sound.h"

std::vector<SoundCall> soundCalls;

std::ostream& operator<<(std::ostream& os, const SoundCall& c) {
    static const char* const names[] = {"beepLeft",   "beepRight", "beepLights", "crash",
                                        "motorSetup", "motorFreq", "motorStop"};
    return os << names[static_cast<int>(c.op)] << "(" << c.arg0 << ", " << c.arg1 << ")";
}

void snd_beepLeft() {
    soundCalls.push_back({SoundOp::BeepLeft, 0, 0});
}
void snd_beepRight() {
    soundCalls.push_back({SoundOp::BeepRight, 0, 0});
}
void snd_beepLights(bool high) {
    soundCalls.push_back({SoundOp::BeepLights, high ? 1 : 0, 0});
}
void snd_crash(unsigned char loudness) {
    soundCalls.push_back({SoundOp::Crash, loudness, 0});
}
void snd_motorSetup(int player, int car) {
    soundCalls.push_back({SoundOp::MotorSetup, player, car});
}
void snd_motorFreq(int player, int fnum) {
    soundCalls.push_back({SoundOp::MotorFreq, player, fnum});
}
void snd_motorStop(int player) {
    soundCalls.push_back({SoundOp::MotorStop, player, 0});
}
