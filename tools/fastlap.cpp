// Searches for the fastest three-lap race one car can drive alone on each track, over the
// same four controls a player has and with the game's own motion rules, and races the
// computer driver alone on the same tracks for comparison.
//
// Usage: fastlap [--beam N] [--road] [--cells X V] [--driver] [--trace DIR]
//                [boul|suburb|iron ...]                      (default: all three tracks)
//
// The search is a beam search in time. From the start signal on, every state of the beam
// is stepped with each of the 16 combinations of the four controls (steer left, steer
// right, accelerate, brake). Of the states that land in the same cell of (x, speed, steer)
// (X cells per road unit, V per step per second; default 4 and 2) only the one furthest
// along the track is kept, and of those the N furthest along (default 20000) go on to the
// next step. The first state to complete three laps gives the race; its average lap is the
// time from the first to the fourth crossing of the line divided by three, as the tests
// measure the computer. A wider beam finds the same or a faster race: run it with growing
// N to see the result settle. --road drops every state that leaves the road.
//
// --driver races the computer alone, from either side of the grid. --trace writes the
// races step by step (step, z, x, speed, steer, curvature under the car) to DIR as
// <track>-search.txt and <track>-computer.txt, to see where the two differ.
#include "assets.h"
#include "main.h"
#include "sim.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double STEP_S = 0.05;
constexpr int COUNTDOWN_STEPS = 60; // the 61st step of a race gives the start signal
constexpr int LAPS = 3;
constexpr int STEP_LIMIT = 20 * 60 * 10;

struct Course {
    const char* name;
    const TrSegm* segm;
    unsigned short count;
};
const Course COURSES[] = {{"boul", boulSegm, BOUL_SEGMENTS},
                          {"suburb", suburbSegm, SUBURB_SEGMENTS},
                          {"iron", ironSegm, IRON_SEGMENTS}};

bool onRoad(const Player& p) {
    return p.x > -ROAD_HALF_WIDTH && p.x < ROAD_HALF_WIDTH;
}

// One car racing alone, with the step on which it crossed the line each time (race
// steps counted from 1, as simStep is called).
struct Car {
    Player p;
    double progress; // steps driven along the track since the start
    int16_t crossing[LAPS + 1];
    int16_t offRoad; // racing steps that ended off the road
};

Car startingCar(float x) {
    Car c{};
    c.p.x = x;
    c.p.z = -5.0f;
    return c;
}

// One racing step of one car: the per-car part of simStep, in its order. Controls are
// bits: 1 steer left, 2 steer right, 4 accelerate, 8 brake.
void drive(Car& c, int step, int controls, unsigned int* track, unsigned int n) {
    Player& p = c.p;
    simStepTurn(p, controls & 1, controls & 2);
    updateSpeed(p, controls & 4, controls & 8);
    const float zOld = p.z;
    const int lapsBefore = p.laps;
    advancePos(p);
    c.progress += p.z - zOld;
    simStepAdjustEnd(p, zOld, track, n);
    if (!onRoad(p)) c.offRoad++;
    if (p.laps != lapsBefore && p.laps >= 1 && p.laps <= LAPS + 1)
        c.crossing[p.laps - 1] = static_cast<int16_t>(step);
}

struct Result {
    int finishStep = 0;
    int16_t crossing[LAPS + 1] = {};
    double offRoadShare = 0;
};

Result resultOf(const Car& c, int finishStep) {
    Result r;
    r.finishStep = finishStep;
    std::memcpy(r.crossing, c.crossing, sizeof r.crossing);
    r.offRoadShare = static_cast<double>(c.offRoad) / (finishStep - COUNTDOWN_STEPS);
    return r;
}

void printResult(const char* who, const Result& r) {
    if (!r.finishStep) {
        std::printf("  %-9s did not finish\n", who);
        return;
    }
    double laps[LAPS];
    for (int i = 0; i < LAPS; i++)
        laps[i] = (r.crossing[i + 1] - r.crossing[i]) * STEP_S;
    const double average = (r.crossing[LAPS] - r.crossing[0]) * STEP_S / LAPS;
    std::printf("  %-9s laps %.2f %.2f %.2f s, average %.3f s, off the road %.2f%% of steps\n", who,
                laps[0], laps[1], laps[2], average, 100.0 * r.offRoadShare);
    std::fflush(stdout);
}

// One row of a trace file.
void traceRow(std::FILE* f, int step, const Player& p, const unsigned int* track, unsigned int n) {
    const unsigned int k = static_cast<unsigned int>(std::max(0.0f, p.z)) % n;
    std::fprintf(f, "%d %.4f %.4f %.4f %d %d\n", step, p.z, p.x, p.speed, p.steer,
                 stepCurve(track[k]));
}

struct SearchOptions {
    size_t beam = 20000;
    bool road = false;
    float xCells = 4.0f, vCells = 2.0f;
    bool driver = false;
    std::string traceDir;
};

// The cell of a state by x, speed and steer.
uint32_t cellOf(const Player& p, const SearchOptions& opts) {
    const long xb = std::lround(std::clamp(p.x, -12.0f, 12.0f) * opts.xCells) + 512;
    const long vb = std::lround(std::clamp(p.speed, 0.0f, 30.0f) * opts.vCells);
    const long sb = (std::clamp(p.steer, -45, 45) + 45) / 3;
    return static_cast<uint32_t>((xb * 1024 + vb) * 32 + sb);
}

// How a state of the beam was reached: from which state of the step before, with which
// controls. Enough to drive the best race again for its trace.
struct Origin {
    uint32_t parent;
    uint8_t controls;
};

Result search(unsigned int* track, unsigned int n, const SearchOptions& opts, std::FILE* trace) {
    // Open addressing from cell to the index of its best state, cleared per step by a
    // generation stamp.
    constexpr size_t SLOTS = 1u << 22;
    std::vector<uint32_t> keys(SLOTS), stamps(SLOTS, 0), index(SLOTS);
    uint32_t generation = 0;

    std::vector<Car> current{startingCar(-2.0f)}, next;
    std::vector<Origin> currentOrigin{{0, 0}}, nextOrigin;
    std::vector<std::vector<Origin>> history; // only with a trace
    next.reserve(opts.beam * 16);
    nextOrigin.reserve(opts.beam * 16);
    for (int step = COUNTDOWN_STEPS + 1; step <= STEP_LIMIT; step++) {
        ++generation;
        next.clear();
        nextOrigin.clear();
        for (size_t from = 0; from < current.size(); from++) {
            for (int controls = 0; controls < 16; controls++) {
                Car c = current[from];
                drive(c, step, controls, track, n);
                const Origin origin{static_cast<uint32_t>(from), static_cast<uint8_t>(controls)};
                if (c.p.laps > LAPS) {
                    if (trace) {
                        // Drive the race again along its controls, writing it down.
                        std::vector<uint8_t> path{origin.controls};
                        for (uint32_t at = origin.parent, i = history.size(); i-- > 0;) {
                            path.push_back(history[i][at].controls);
                            at = history[i][at].parent;
                        }
                        Car again = startingCar(-2.0f);
                        for (size_t i = path.size(); i-- > 0;) {
                            const int s = step - static_cast<int>(i);
                            drive(again, s, path[i], track, n);
                            traceRow(trace, s, again.p, track, n);
                        }
                    }
                    return resultOf(c, step);
                }
                if (opts.road && !onRoad(c.p)) continue;
                const uint32_t key = cellOf(c.p, opts);
                size_t h = (key * 2654435761u) & (SLOTS - 1);
                while (stamps[h] == generation && keys[h] != key)
                    h = (h + 1) & (SLOTS - 1);
                if (stamps[h] != generation) {
                    stamps[h] = generation;
                    keys[h] = key;
                    index[h] = static_cast<uint32_t>(next.size());
                    next.push_back(c);
                    nextOrigin.push_back(origin);
                } else if (c.progress > next[index[h]].progress) {
                    next[index[h]] = c;
                    nextOrigin[index[h]] = origin;
                }
            }
        }
        if (next.size() > opts.beam) {
            // The beam's furthest states, with their origins.
            std::vector<uint32_t> order(next.size());
            for (uint32_t i = 0; i < order.size(); i++)
                order[i] = i;
            std::nth_element(
                order.begin(), order.begin() + static_cast<long>(opts.beam), order.end(),
                [&](uint32_t l, uint32_t r) { return next[l].progress > next[r].progress; });
            order.resize(opts.beam);
            current.clear();
            currentOrigin.clear();
            for (uint32_t i : order) {
                current.push_back(next[i]);
                currentOrigin.push_back(nextOrigin[i]);
            }
        } else {
            current.swap(next);
            currentOrigin.swap(nextOrigin);
        }
        if (trace) history.push_back(currentOrigin);
    }
    return Result{};
}

// The computer driving player B alone; player A's car stands far out in the fields, where
// the two can never touch.
Result computerRace(unsigned int* track, unsigned int n, float startX, std::FILE* trace) {
    Player parked{};
    parked.x = 100.0f;
    parked.z = -5.0f;
    Car me = startingCar(startX);
    setComputerDriver(0, false);
    setComputerDriver(1, true);
    resetState();
    Result r;
    for (int step = 1; step <= STEP_LIMIT && !r.finishStep; step++) {
        const int lapsBefore = me.p.laps;
        simStep(parked, me.p, track, n);
        if (step <= COUNTDOWN_STEPS) continue;
        if (trace) traceRow(trace, step, me.p, track, n);
        if (!onRoad(me.p)) me.offRoad++;
        if (me.p.laps != lapsBefore && me.p.laps >= 1 && me.p.laps <= LAPS + 1)
            me.crossing[me.p.laps - 1] = static_cast<int16_t>(step);
        if (me.p.laps > LAPS) r = resultOf(me, step);
    }
    setComputerDriver(1, false);
    return r;
}

std::FILE* openTrace(const SearchOptions& opts, const char* track, const char* who) {
    if (opts.traceDir.empty()) return nullptr;
    const std::string path = opts.traceDir + "/" + track + "-" + who + ".txt";
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) std::fprintf(stderr, "fastlap: cannot write %s\n", path.c_str());
    return f;
}

} // namespace

int main(int argc, char** argv) {
    SearchOptions opts;
    std::vector<std::string> names;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--beam" && i + 1 < argc) {
            opts.beam = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--cells" && i + 2 < argc) {
            opts.xCells = std::strtof(argv[++i], nullptr);
            opts.vCells = std::strtof(argv[++i], nullptr);
        } else if (arg == "--road") {
            opts.road = true;
        } else if (arg == "--driver") {
            opts.driver = true;
        } else if (arg == "--trace" && i + 1 < argc) {
            opts.traceDir = argv[++i];
        } else if (arg == "boul" || arg == "suburb" || arg == "iron") {
            names.push_back(arg);
        } else {
            std::fprintf(stderr, "usage: fastlap [--beam N] [--road] [--cells X V] [--driver] "
                                 "[--trace DIR] [boul|suburb|iron ...]\n");
            return 1;
        }
    }
    if (opts.beam == 0 || !(opts.xCells > 0 && opts.xCells <= 20) ||
        !(opts.vCells > 0 && opts.vCells <= 20)) {
        std::fprintf(stderr, "fastlap: the beam must be at least 1 and cells 0 to 20 per unit\n");
        return 1;
    }
    for (const Course& c : COURSES) {
        if (!names.empty() && std::find(names.begin(), names.end(), c.name) == names.end())
            continue;
        Track road;
        if (expandTrack(road, c.segm, c.count) != TRACK_OK) {
            std::fprintf(stderr, "fastlap: the %s layout does not expand\n", c.name);
            return 1;
        }
        const unsigned int n = road.size;
        std::printf("%s (%u steps)\n", c.name, n);
        if (opts.driver) {
            for (float side : {2.0f, -2.0f}) {
                std::FILE* trace = side > 0 ? openTrace(opts, c.name, "computer") : nullptr;
                printResult(side > 0 ? "computer" : "(from -2)",
                            computerRace(road.steps.get(), n, side, trace));
                if (trace) std::fclose(trace);
            }
        }
        std::printf("  search with a beam of %zu%s\n", opts.beam, opts.road ? ", on the road" : "");
        std::fflush(stdout);
        std::FILE* trace = openTrace(opts, c.name, "search");
        printResult("search", search(road.steps.get(), n, opts, trace));
        if (trace) std::fclose(trace);
    }
    return 0;
}
