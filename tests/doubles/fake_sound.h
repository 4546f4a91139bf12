// Test double of the sound effects: every snd_ call is recorded, nothing is played.
#pragma once

#include <ostream>
#include <vector>

enum class SoundOp { BeepLeft, BeepRight, BeepLights, Crash, MotorSetup, MotorFreq, MotorStop };

// One recorded call; unused arguments are 0.
struct SoundCall {
    SoundOp op;
    int arg0;
    int arg1;
    bool operator==(const SoundCall& o) const {
        return op == o.op && arg0 == o.arg0 && arg1 == o.arg1;
    }
};

std::ostream& operator<<(std::ostream& os, const SoundCall& c);

// Every call since the last clear, oldest first.
extern std::vector<SoundCall> soundCalls;
