// Cost of one race view and of building the projection tables and sprites at start-up.
#include "main.h"

#include "assets.h"
#include "doubles/fake_lights.h"
#include "sim.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_drawProto2(benchmark::State& state) {
    generateTlis();
    precompute();
    Track iron;
    expandTrack(iron, ironSegm, IRON_SEGMENTS);
    track = iron.steps.get();
    trackSize = iron.size;
    backg = backgs[2].get();
    fakeLights = 3; // two red lamps: their copies are counted
    std::vector<unsigned char> fb(SCREEN_BYTES, 0);
    Player me{}, other{};
    me.laps = other.laps = 1;
    me.x = -0.8f;
    other.x = 1.3f;
    other.z = 6.0f;
    // Moves through the whole lap, bends included, with the other car in view.
    float z = 0;
    for (auto _ : state) {
        me.z = z;
        other.z = z + 6.0f < trackSize ? z + 6.0f : z + 6.0f - trackSize;
        drawProto2(fb.data(), me, other, spriteSet[0], cars[3]);
        benchmark::DoNotOptimize(fb.data());
        z += 0.37f;
        if (z >= trackSize) z -= trackSize;
    }
}
BENCHMARK(BM_drawProto2);

void BM_precompute(benchmark::State& state) {
    generateTlis();
    for (auto _ : state) {
        precompute();
        benchmark::DoNotOptimize(mips[0].texels[0].get());
    }
}
BENCHMARK(BM_precompute);

} // namespace
