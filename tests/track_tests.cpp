// Road patterns, the compiled-in layouts and their expansion into step records.
#include "assets.h"
#include "main.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint8_t S = 0; // straight
constexpr uint8_t C = 1; // curve

// Expands a layout the way start-up does.
std::vector<unsigned int> expand(const std::vector<TrSegm>& segs) {
    Track t;
    EXPECT_EQ(expandTrack(t, segs.data(), static_cast<unsigned short>(segs.size())), TRACK_OK);
    return std::vector<unsigned int>(t.steps.get(), t.steps.get() + t.size);
}

// Each heading follows from the step before and its curvature (-1 turns left), round
// the loop.
void expectContinuousHeadings(const std::vector<unsigned int>& steps) {
    for (size_t k = 0; k < steps.size(); k++) {
        unsigned int rec = steps[k];
        unsigned int next = steps[(k + 1) % steps.size()];
        ASSERT_LT(stepHeading(rec), 72u) << "step " << k;
        EXPECT_EQ(stepHeading(next), (stepHeading(rec) + 72 + stepCurve(rec)) % 72) << "step " << k;
    }
}

} // namespace

TEST(RoadPatterns, BandsAndChequers) {
    generateTlis();
    struct Probe {
        int row, texel;
        unsigned char colour;
    };
    // Both ends of every band and the texels just outside them.
    const Probe probes[] = {
        {0, 15, 8},   {0, 16, 15}, {0, 31, 15},  {0, 32, 8},   {0, 63, 8},   {0, 64, 15},
        {0, 127, 15}, {0, 128, 8}, {0, 383, 15}, {0, 384, 8},  {0, 479, 8},  {0, 480, 15},
        {0, 495, 15}, {0, 496, 8}, {1, 127, 8},  {1, 128, 15}, {1, 447, 15}, {1, 448, 8},
        {2, 16, 15},  {2, 256, 8}, {2, 495, 15}, {3, 243, 8},  {3, 244, 15}, {3, 267, 15},
        {3, 268, 8},  {4, 0, 15},  {4, 47, 15},  {4, 48, 8},   {4, 463, 8},  {4, 464, 15},
        {4, 511, 15}, {5, 0, 12},  {5, 511, 12}, {5, 48, 8},   {6, 47, 4},   {6, 464, 4},
        {6, 200, 8},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(tlis[p.row][p.texel], p.colour) << "row " << p.row << " texel " << p.texel;

    // The two start-line rows are complementary chequers between texels 64 and 447.
    for (int t = 64; t <= 447; t++)
        EXPECT_NE(tlis[0][t] == 15, tlis[1][t] == 15) << "texel " << t;
    // Outside the bands everything is road grey.
    int white = 0, other = 0;
    for (int t = 0; t < TLIS_W; t++) {
        white += tlis[2][t] == 15;
        other += tlis[2][t] != 15 && tlis[2][t] != 8;
    }
    EXPECT_EQ(white, 32);
    EXPECT_EQ(other, 0);
}

TEST(CompiledLayouts, ExpandToClosedLoopsOfTheRightLength) {
    struct Case {
        const char* name;
        const TrSegm* segm;
        unsigned short count;
        unsigned int steps;
        unsigned int ground;
    };
    const Case cases[] = {
        {"iron", ironSegm, IRON_SEGMENTS, 745, 6},
        {"boul", boulSegm, BOUL_SEGMENTS, 510, 2},
        {"suburb", suburbSegm, SUBURB_SEGMENTS, 754, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned int> steps = expand({c.segm, c.segm + c.count});
        ASSERT_EQ(steps.size(), c.steps);

        unsigned int first = steps.front(), last = steps.back();
        EXPECT_EQ(stepPattern(first), 0u);
        EXPECT_EQ(stepCurve(first), 0);
        EXPECT_EQ(stepHeading(first), 0u);
        EXPECT_EQ(stepGround(first), c.ground);
        EXPECT_EQ(stepPattern(last), 1u);
        EXPECT_EQ(stepCurve(last), 0);
        EXPECT_EQ(stepHeading(last), 0u);
        EXPECT_EQ(stepGround(last), c.ground);

        // One full turn to the left: 72 steps of curvature -1 net.
        int net = 0;
        for (unsigned int rec : steps)
            net += stepCurve(rec);
        EXPECT_EQ(net, -72);
        expectContinuousHeadings(steps);
    }
}

TEST(GenerateTrack, CurveStepsHeadingsAndKerbs) {
    // 6-step straight, a 45-degree left bend, a straight, then the rest of the turn.
    std::vector<unsigned int> steps =
        expand({{S, 10, 1, 3}, {C, 45, 2, 3}, {S, 10, 1, 3}, {C, 135, 2, 3}, {C, 180, 2, 3}});
    ASSERT_EQ(steps.size(), 6u + 9u + 6u + 27u + 36u);
    const unsigned int kerbs[9] = {5, 4, 6, 4, 5, 4, 6, 4, 5};
    for (int l = 0; l < 9; l++) {
        unsigned int rec = steps[6 + l];
        EXPECT_EQ(stepHeading(rec), l == 0 ? 0u : 72u - l) << l;
        EXPECT_EQ(stepCurve(rec), -1) << l;
        EXPECT_EQ(stepPattern(rec), kerbs[l]) << l;
        EXPECT_EQ(stepGround(rec), 3u);
    }
    EXPECT_EQ(stepHeading(steps[15]), 63u); // the straight after the bend
    EXPECT_EQ(stepCurve(steps[15]), 0);
    expectContinuousHeadings(steps);

    // A right bend counts the other way.
    std::vector<unsigned int> right = expand({{C, -45, 2, 0}, {C, -180, 2, 0}, {C, -135, 2, 0}});
    EXPECT_EQ(stepCurve(right[0]), 1);
    EXPECT_EQ(stepHeading(right[1]), 1u);
    EXPECT_EQ((right[0] >> 8) & 0xFF, 0x01u);
    expectContinuousHeadings(right);
}

TEST(GenerateTrack, StraightsGiveUpAFifthToEachNeighbouringCurve) {
    struct Case {
        std::vector<TrSegm> layout;
        unsigned int curveSteps; // steps of the curves in the layout
        unsigned int expected;   // steps of the straights
    };
    const Case cases[] = {
        {{{C, 180, 2, 0}, {S, 10, 1, 0}, {C, 180, 2, 0}}, 72, 6},
        {{{C, 180, 2, 0}, {S, 4, 1, 0}, {C, 180, 2, 0}}, 72, 4},
        {{{C, 180, 2, 0}, {S, 1, 1, 0}, {C, 180, 2, 0}}, 72, 1},
        {{{C, 180, 2, 0}, {S, 7, 1, 0}, {C, 180, 2, 0}}, 72, 5},
        {{{C, 180, 2, 0}, {S, 0, 1, 0}, {C, 180, 2, 0}}, 72, 0},
        {{{C, 180, 2, 0}, {S, -5, 1, 0}, {C, 180, 2, 0}}, 72, 0},
        // One curve neighbour each: 10 - 2 and 3 - 0.
        {{{C, 180, 2, 0}, {S, 10, 1, 0}, {S, 3, 1, 0}, {C, 180, 2, 0}}, 72, 8 + 3},
        // The layout is cyclic: the first straight's neighbour before it is the last curve.
        {{{S, 10, 1, 0}, {C, 180, 2, 0}, {C, 180, 2, 0}}, 72, 6},
        // A zero-degree curve still counts as a curve but has no steps.
        {{{C, 0, 2, 0}, {S, 10, 1, 0}, {C, 180, 2, 0}, {C, 180, 2, 0}}, 72, 6},
        // Unknown segment types give nothing and do not shorten their neighbours.
        {{{C, 180, 2, 0}, {S, 10, 1, 0}, {9, 999, 1, 0}, {C, 180, 2, 0}}, 72, 8},
    };
    for (size_t i = 0; i < std::size(cases); i++) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        EXPECT_EQ(expand(c.layout).size(), c.curveSteps + c.expected);
    }
}

TEST(GenerateTrack, MarkingPatternsRestartInEverySegment) {
    std::vector<unsigned int> steps =
        expand({{S, 8, 1, 0}, {S, 4, 1, 0}, {S, 2, 0, 0}, {S, 2, 3, 0}, {S, 2, 7, 0}});
    const unsigned int expected[] = {2, 2, 2, 3, 3, 3, 2, 2, 2, 2, 2, 3, 0, 0, 1, 1, 0, 0};
    ASSERT_EQ(steps.size(), std::size(expected));
    for (size_t k = 0; k < steps.size(); k++)
        EXPECT_EQ(stepPattern(steps[k]), expected[k]) << "step " << k;
}

TEST(GenerateTrack, RecordPacksAllFourFields) {
    std::vector<unsigned int> steps = expand({{C, -5, 2, 0xAB}, {C, 5, 3, 0xCD}});
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0], 0xAB000105u); // ground, heading 0, curve +1, kerb 5
    EXPECT_EQ(steps[1], 0xCD01FF01u); // ground, heading 1, curve -1, pattern 1
}

TEST(GenerateTrack, HeadingsStayInRangeOverManyTurns) {
    // 23 turns to the left take the running heading far below zero.
    std::vector<TrSegm> layout(46, TrSegm{C, 180, 2, 0});
    std::vector<unsigned int> steps = expand(layout);
    ASSERT_EQ(steps.size(), 46u * 36u);
    expectContinuousHeadings(steps);
}

TEST(GenerateTrack, ResultCodesAndNothingWrittenOnFailure) {
    struct Case {
        const char* what;
        std::vector<TrSegm> layout;
        int rc;
    };
    const Case cases[] = {
        {"angle above a half turn", {{C, 185, 2, 0}, {C, 175, 2, 0}}, TRACK_BAD_ANGLE},
        {"angle below a half turn", {{S, 5, 1, 0}, {C, -185, 2, 0}}, TRACK_BAD_ANGLE},
        {"not a multiple of 5", {{C, 42, 2, 0}, {C, 318, 2, 0}}, TRACK_NOT_MULTIPLE_OF_5},
        {"fault in the last segment",
         {{C, 180, 2, 0}, {C, 180, 2, 0}, {C, 3, 2, 0}},
         TRACK_NOT_MULTIPLE_OF_5},
        {"350 degrees", {{C, 180, 2, 0}, {C, 170, 2, 0}}, TRACK_NOT_CLOSED},
        {"no curves at all", {{S, 10, 1, 0}}, TRACK_OK},
        {"a turn to the right", {{C, -180, 2, 0}, {C, -180, 2, 0}}, TRACK_OK},
        {"two turns", {{C, 180, 2, 0}, {C, 180, 2, 0}, {C, 180, 2, 0}, {C, 180, 2, 0}}, TRACK_OK},
        {"straights are not validated", {{S, 3, 1, 0}, {S, -7, 1, 0}, {C, 0, 2, 0}}, TRACK_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned int> out(400, 0xDEADBEEF);
        unsigned int pos = 3;
        int rc = generateTrack(out.data(), &pos, c.layout.data(),
                               static_cast<unsigned short>(c.layout.size()));
        EXPECT_EQ(rc, c.rc);
        if (rc != TRACK_OK) {
            EXPECT_EQ(pos, 3u);
            for (unsigned int v : out)
                ASSERT_EQ(v, 0xDEADBEEFu);
        } else {
            // Appends after *pos without resetting it.
            EXPECT_EQ(out[2], 0xDEADBEEFu);
            EXPECT_GE(pos, 3u);
        }
    }

    unsigned int pos = 7;
    TrSegm one{S, 1, 0, 0};
    EXPECT_EQ(generateTrack(nullptr, &pos, &one, 0), TRACK_EMPTY);
    EXPECT_EQ(pos, 7u);
}

TEST(ExpandTrack, FillsExactlyTheCountedStepsAndReplacesWhatTheTrackHeld) {
    Track t;
    const std::vector<TrSegm> layouts[] = {
        {boulSegm, boulSegm + BOUL_SEGMENTS},
        {ironSegm, ironSegm + IRON_SEGMENTS},
        {{S, 3, 1, 5}},
    };
    for (const std::vector<TrSegm>& layout : layouts) {
        const unsigned short count = static_cast<unsigned short>(layout.size());
        unsigned int counted = 0;
        ASSERT_EQ(generateTrack(nullptr, &counted, layout.data(), count), TRACK_OK);
        // Filled into a larger buffer, the records end where the count says.
        std::vector<unsigned int> filled(counted + 4, 0xDEADBEEF);
        unsigned int pos = 0;
        ASSERT_EQ(generateTrack(filled.data(), &pos, layout.data(), count), TRACK_OK);
        ASSERT_EQ(pos, counted);
        EXPECT_EQ(filled[counted], 0xDEADBEEFu);
        filled.resize(counted);

        // Into the same Track each time: the earlier table is released (the sanitizer
        // build's leak checker watches), the new one holds exactly these records.
        ASSERT_EQ(expandTrack(t, layout.data(), count), TRACK_OK);
        ASSERT_EQ(t.size, counted);
        EXPECT_EQ(std::vector<unsigned int>(t.steps.get(), t.steps.get() + t.size), filled);
    }
}

TEST(ExpandTrack, AnInvalidLayoutLeavesTheTrackEmpty) {
    Track t;
    ASSERT_EQ(expandTrack(t, boulSegm, BOUL_SEGMENTS), TRACK_OK);
    const TrSegm bad[] = {{C, 42, 2, 0}, {C, 318, 2, 0}};
    EXPECT_EQ(expandTrack(t, bad, 2), TRACK_NOT_MULTIPLE_OF_5);
    EXPECT_EQ(t.size, 0u);
    EXPECT_EQ(t.steps, nullptr) << "no stale table left behind a size of 0";
    EXPECT_EQ(expandTrack(t, bad, 0), TRACK_EMPTY);
    EXPECT_EQ(t.size, 0u);
}
