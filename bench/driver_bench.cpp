// Cost of the computer driver's decision for one step, against the 50 ms of a frame: over
// whole races on each track, alone and with a second car on the track to pass (sound
// silenced, no key held).
#include "assets.h"
#include "main.h"
#include "sim.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

std::vector<unsigned int> expand(const TrSegm* segm, unsigned short count) {
    unsigned int n = 0;
    generateTrack(nullptr, &n, segm, count);
    std::vector<unsigned int> steps(n);
    n = 0;
    generateTrack(steps.data(), &n, segm, count);
    return steps;
}

// The positions of a whole three-lap race of the computer against a second computer
// car, or alone (the other car parked far off the road), recorded step by step.
std::vector<Player> raceViews(std::vector<unsigned int>& steps, bool alone,
                              std::vector<Player>& others) {
    unsigned int n = static_cast<unsigned int>(steps.size());
    Player a{}, b{};
    a.x = alone ? 100.0f : -2.0f;
    b.x = 2.0f;
    a.z = b.z = -5.0f;
    setComputerDriver(0, !alone);
    setComputerDriver(1, true);
    resetState();
    std::vector<Player> mine;
    while (!getExitToMenu() && mine.size() < 20 * 60 * 5) {
        mine.push_back(b);
        others.push_back(a);
        simStep(a, b, steps.data(), n);
    }
    setComputerDriver(0, false);
    setComputerDriver(1, false);
    return mine;
}

void BM_ComputerControls(benchmark::State& st, const TrSegm* segm, unsigned short count,
                         bool alone) {
    std::vector<unsigned int> steps = expand(segm, count);
    std::vector<Player> others;
    std::vector<Player> mine = raceViews(steps, alone, others);
    unsigned int n = static_cast<unsigned int>(steps.size());
    size_t i = 0;
    for (auto _ : st) {
        Controls c = computerControls(mine[i], others[i], steps.data(), n);
        benchmark::DoNotOptimize(c);
        if (++i == mine.size()) i = 0;
    }
}

BENCHMARK_CAPTURE(BM_ComputerControls, boul_alone, boulSegm, BOUL_SEGMENTS, true);
BENCHMARK_CAPTURE(BM_ComputerControls, suburb_alone, suburbSegm, SUBURB_SEGMENTS, true);
BENCHMARK_CAPTURE(BM_ComputerControls, iron_alone, ironSegm, IRON_SEGMENTS, true);
BENCHMARK_CAPTURE(BM_ComputerControls, boul_two_cars, boulSegm, BOUL_SEGMENTS, false);
BENCHMARK_CAPTURE(BM_ComputerControls, iron_two_cars, ironSegm, IRON_SEGMENTS, false);

} // namespace
