// Cost of one race step: both cars driving on the iron track, sound silenced and both
// accelerators held.
#include "assets.h"
#include "doubles/fake_keys.h"
#include "main.h"
#include "sdltk.h"
#include "sim.h"

#include <benchmark/benchmark.h>

namespace {

void startRace(Player& a, Player& b, unsigned int* steps, unsigned int n) {
    a = Player{};
    b = Player{};
    a.x = -2.0f;
    b.x = 2.0f;
    a.z = b.z = -5.0f;
    resetState();
    releaseAllKeys();
    fakeKeys[SC_W] = fakeKeys[SC_UP] = 1; // both cars accelerate
    // Through the countdown.
    for (int i = 0; i < 61; i++)
        simStep(a, b, steps, n);
}

void BM_SimStep(benchmark::State& st) {
    Track iron;
    expandTrack(iron, ironSegm, IRON_SEGMENTS);
    unsigned int* steps = iron.steps.get();
    const unsigned int n = iron.size;

    Player a, b;
    startRace(a, b, steps, n);
    int sinceStart = 0;
    for (auto _ : st) {
        simStep(a, b, steps, n);
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        if (++sinceStart == 3000) { // a new race before this one ends
            startRace(a, b, steps, n);
            sinceStart = 0;
        }
    }
}
BENCHMARK(BM_SimStep);

} // namespace
