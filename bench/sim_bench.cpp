// Cost of one race step: both cars driving on the iron track, sound and keys stubbed out.
#include "assets.h"
#include "main.h"
#include "sdltk.h"
#include "sim.h"
#include "sound.h"

#include <benchmark/benchmark.h>

#include <vector>

// Silent sound effects and a keyboard on which both accelerators are held.
void snd_beepLeft() {}
void snd_beepRight() {}
void snd_beepLights(bool) {}
void snd_crash(unsigned char) {}
void snd_motorSetup(int, int) {}
void snd_motorFreq(int, int fnum) {
    benchmark::DoNotOptimize(fnum);
}
void snd_motorStop(int) {}
unsigned char getKeyState(unsigned char code) {
    return code == SC_W || code == SC_UP;
}

namespace {

void startRace(Player& a, Player& b, unsigned int* steps, unsigned int n) {
    a = Player{};
    b = Player{};
    a.x = -2.0f;
    b.x = 2.0f;
    a.z = b.z = -5.0f;
    resetState();
    for (int i = 0; i < 61; i++) // through the countdown
        simStep(a, b, steps, n);
}

void BM_SimStep(benchmark::State& st) {
    unsigned int n = 0;
    generateTrack(nullptr, &n, ironSegm, IRON_SEGMENTS);
    std::vector<unsigned int> steps(n);
    n = 0;
    generateTrack(steps.data(), &n, ironSegm, IRON_SEGMENTS);

    Player a, b;
    startRace(a, b, steps.data(), n);
    int sinceStart = 0;
    for (auto _ : st) {
        simStep(a, b, steps.data(), n);
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        if (++sinceStart == 3000) { // a new race before this one ends
            startRace(a, b, steps.data(), n);
            sinceStart = 0;
        }
    }
}
BENCHMARK(BM_SimStep);

} // namespace
