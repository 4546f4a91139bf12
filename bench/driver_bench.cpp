// Cost of the computer driver's decision for one step, against the 50 ms of a frame: over
// whole races on each track, alone and with a second car on the track to pass (sound
// silenced, no key held).
#include "assets.h"
#include "main.h"
#include "sim.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// The positions of a whole three-lap race of the computer against a second computer
// car, or alone (the other car parked far off the road), recorded step by step.
std::vector<Player> raceViews(const Track& road, bool alone, std::vector<Player>& others) {
    const unsigned int n = road.size;
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
        simStep(a, b, road.steps.get(), n);
    }
    setComputerDriver(0, false);
    setComputerDriver(1, false);
    return mine;
}

void BM_ComputerControls(benchmark::State& st, const TrSegm* segm, unsigned short count,
                         bool alone) {
    Track road;
    if (expandTrack(road, segm, count) != TRACK_OK) {
        st.SkipWithError("the layout does not expand");
        return;
    }
    std::vector<Player> others;
    std::vector<Player> mine = raceViews(road, alone, others);
    const unsigned int n = road.size;
    size_t i = 0;
    for (auto _ : st) {
        Controls c = computerControls(mine[i], others[i], road.steps.get(), n);
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
