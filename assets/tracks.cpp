// The three race tracks: straights in steps, curves in degrees (positive bends left),
// one row per segment. Each lap starts and ends on a one-step chequered strip, and
// the curves of each track add up to one full turn to the left.
#include "assets.h"

namespace {

constexpr uint8_t STRAIGHT = 0;
constexpr uint8_t CURVE = 1;

// Road markings: the two chequer rows of the start/finish line, a dashed centre line,
// and kerbs striped light red, white, red, white.
constexpr uint8_t CHEQUER_A = 0;
constexpr uint8_t DASHED = 1;
constexpr uint8_t KERBS = 2;
constexpr uint8_t CHEQUER_B = 3;

} // namespace

// The tables keep one aligned row per segment.
// clang-format off
// The boul track: 510 steps, ground green (2), light grey (7) and light green (10).
const TrSegm boulSegm[BOUL_SEGMENTS] = {
    // type     value  marking    ground
    {STRAIGHT,    1, CHEQUER_A,  2}, // 0
    {STRAIGHT,   37, DASHED,     2}, // 1
    {CURVE,     -60, KERBS,      2}, // 2
    {STRAIGHT,   41, DASHED,     2}, // 3
    {CURVE,      50, KERBS,      2}, // 4
    {STRAIGHT,   16, DASHED,     7}, // 5
    {CURVE,      55, KERBS,      7}, // 6
    {STRAIGHT,   22, DASHED,     7}, // 7
    {CURVE,      45, KERBS,      7}, // 8
    {STRAIGHT,   59, DASHED,     2}, // 9
    {CURVE,      85, KERBS,     10}, // 10
    {STRAIGHT,   57, DASHED,    10}, // 11
    {CURVE,     -70, KERBS,      7}, // 12
    {STRAIGHT,   63, DASHED,     7}, // 13
    {CURVE,      90, KERBS,      7}, // 14
    {STRAIGHT,   28, DASHED,     7}, // 15
    {CURVE,      35, KERBS,      7}, // 16
    {STRAIGHT,   25, DASHED,     7}, // 17
    {CURVE,     -35, KERBS,      7}, // 18
    {STRAIGHT,   29, DASHED,    10}, // 19
    {CURVE,      70, KERBS,     10}, // 20
    {STRAIGHT,   28, DASHED,    10}, // 21
    {CURVE,     -70, KERBS,     10}, // 22
    {STRAIGHT,   19, DASHED,    10}, // 23
    {CURVE,      80, KERBS,      2}, // 24
    {STRAIGHT,   31, DASHED,     2}, // 25
    {CURVE,      90, KERBS,      2}, // 26
    {STRAIGHT,   40, DASHED,     2}, // 27
    {CURVE,      -5, KERBS,      2}, // 28
    {STRAIGHT,   30, DASHED,     2}, // 29
    {STRAIGHT,    1, CHEQUER_B,  2}, // 30
};

// The suburb track: 754 steps, ground light grey (7), green (2) and light green (10).
const TrSegm suburbSegm[SUBURB_SEGMENTS] = {
    // type     value  marking    ground
    {STRAIGHT,    1, CHEQUER_A,  7}, // 0
    {STRAIGHT,   92, DASHED,     7}, // 1
    {CURVE,      40, KERBS,      7}, // 2
    {STRAIGHT,   53, DASHED,     2}, // 3
    {CURVE,      60, KERBS,      2}, // 4
    {STRAIGHT,   55, DASHED,     2}, // 5
    {CURVE,     -15, KERBS,      2}, // 6
    {STRAIGHT,   34, DASHED,     2}, // 7
    {CURVE,      30, KERBS,      2}, // 8
    {STRAIGHT,   63, DASHED,     2}, // 9
    {CURVE,      90, KERBS,      7}, // 10
    {STRAIGHT,   56, DASHED,     7}, // 11
    {CURVE,      90, KERBS,      7}, // 12
    {STRAIGHT,   77, DASHED,     7}, // 13
    {CURVE,     -30, KERBS,     10}, // 14
    {STRAIGHT,   28, DASHED,    10}, // 15
    {CURVE,     -90, KERBS,     10}, // 16
    {STRAIGHT,   24, DASHED,    10}, // 17
    {CURVE,     -20, KERBS,     10}, // 18
    {STRAIGHT,   34, DASHED,     2}, // 19
    {CURVE,     -65, KERBS,      2}, // 20
    {STRAIGHT,   12, DASHED,     2}, // 21
    {CURVE,     -50, KERBS,     10}, // 22
    {STRAIGHT,   21, DASHED,    10}, // 23
    {CURVE,      40, KERBS,     10}, // 24
    {STRAIGHT,   15, DASHED,    10}, // 25
    {CURVE,      30, KERBS,     10}, // 26
    {STRAIGHT,   28, DASHED,    10}, // 27
    {CURVE,      60, KERBS,     10}, // 28
    {STRAIGHT,   18, DASHED,    10}, // 29
    {CURVE,      30, KERBS,      7}, // 30
    {STRAIGHT,   67, DASHED,     7}, // 31
    {CURVE,      90, KERBS,      7}, // 32
    {STRAIGHT,   40, DASHED,     7}, // 33
    {CURVE,     -50, KERBS,      7}, // 34
    {STRAIGHT,   40, DASHED,     7}, // 35
    {CURVE,      30, KERBS,      7}, // 36
    {STRAIGHT,   18, DASHED,     7}, // 37
    {CURVE,      30, KERBS,      7}, // 38
    {STRAIGHT,   28, DASHED,     7}, // 39
    {CURVE,      60, KERBS,      7}, // 40
    {STRAIGHT,   43, DASHED,     7}, // 41
    {STRAIGHT,    1, CHEQUER_B,  7}, // 42
};

// The iron track: 745 steps, ground brown (6), light green (10) and green (2).
const TrSegm ironSegm[IRON_SEGMENTS] = {
    // type     value  marking    ground
    {STRAIGHT,    1, CHEQUER_A,  6}, // 0
    {STRAIGHT,   38, DASHED,    10}, // 1
    {CURVE,      45, KERBS,     10}, // 2
    {STRAIGHT,   48, DASHED,    10}, // 3
    {CURVE,      45, KERBS,      6}, // 4
    {STRAIGHT,   18, DASHED,     6}, // 5
    {CURVE,      45, KERBS,      6}, // 6
    {STRAIGHT,   23, DASHED,     6}, // 7
    {CURVE,      45, KERBS,      6}, // 8
    {STRAIGHT,   85, DASHED,     6}, // 9
    {CURVE,     -45, KERBS,      6}, // 10
    {STRAIGHT,   12, DASHED,     6}, // 11
    {CURVE,     -45, KERBS,      6}, // 12
    {STRAIGHT,   22, DASHED,     6}, // 13
    {CURVE,      90, KERBS,     10}, // 14
    {STRAIGHT,   53, DASHED,    10}, // 15
    {CURVE,     -10, KERBS,     10}, // 16
    {STRAIGHT,   24, DASHED,    10}, // 17
    {CURVE,      20, KERBS,     10}, // 18
    {STRAIGHT,   24, DASHED,    10}, // 19
    {CURVE,     -10, KERBS,     10}, // 20
    {STRAIGHT,   31, DASHED,    10}, // 21
    {CURVE,      45, KERBS,     10}, // 22
    {STRAIGHT,   23, DASHED,    10}, // 23
    {CURVE,      50, KERBS,     10}, // 24
    {STRAIGHT,   34, DASHED,     2}, // 25
    {CURVE,     -40, KERBS,      2}, // 26
    {STRAIGHT,   44, DASHED,     2}, // 27
    {CURVE,      30, KERBS,      2}, // 28
    {STRAIGHT,   43, DASHED,     2}, // 29
    {CURVE,      45, KERBS,      2}, // 30
    {STRAIGHT,   88, DASHED,     2}, // 31
    {CURVE,      15, KERBS,      2}, // 32
    {STRAIGHT,   26, DASHED,     2}, // 33
    {CURVE,      20, KERBS,      2}, // 34
    {STRAIGHT,   47, DASHED,     2}, // 35
    {CURVE,      90, KERBS,      2}, // 36
    {STRAIGHT,   27, DASHED,     2}, // 37
    {CURVE,      35, KERBS,      6}, // 38
    {STRAIGHT,   28, DASHED,     6}, // 39
    {CURVE,     -60, KERBS,      6}, // 40
    {STRAIGHT,   25, DASHED,     6}, // 41
    {CURVE,      40, KERBS,      6}, // 42
    {STRAIGHT,   31, DASHED,     6}, // 43
    {CURVE,     -45, KERBS,      6}, // 44
    {STRAIGHT,   25, DASHED,     6}, // 45
    {CURVE,     -45, KERBS,      6}, // 46
    {STRAIGHT,   38, DASHED,     6}, // 47
    {STRAIGHT,    1, CHEQUER_B,  6}, // 48
};
// clang-format on
