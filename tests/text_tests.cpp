// The game's pixel lettering: both faces from the sheet, their widths, case, characters
// the faces lack, and clipping at the edges of the screen.
#include "main.h"

#include "assets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The ink of text written at (x, y) as rows of '#' and '.', TEXT_H rows, width columns.
std::vector<std::string> inked(TextFace face, const char* text, int width) {
    std::vector<unsigned char> fb(SCREEN_BYTES, 0);
    drawText(fb.data(), face, 10, 20, text, 14);
    std::vector<std::string> rows;
    for (int y = 0; y < TEXT_H; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x)
            row += fb[(20 + y) * SCREEN_W + 10 + x] == 14 ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

TEST(Lettering, WritesTheTitlesFacesLetterByLetter) {
    // The small face's H and I, one column apart.
    EXPECT_EQ(inked(TEXT_SMALL, "HI", 11),
              (std::vector<std::string>{"#...#..###.", "#...#...#..", "#...#...#..", "#####...#..",
                                        "#...#...#..", "#...#...#..", "#...#..###."}));
    EXPECT_EQ(textWidth(TEXT_SMALL, "HI"), 11);
    // The bold face is a column wider, but for its own cuts of M and W.
    EXPECT_EQ(textWidth(TEXT_BOLD, "H"), 6);
    EXPECT_EQ(textWidth(TEXT_BOLD, "M"), 7);
    EXPECT_EQ(textWidth(TEXT_SMALL, ""), 0);
    for (const char* c = fontChars; *c; ++c) {
        const char one[2] = {*c, 0};
        EXPECT_EQ(textWidth(TEXT_SMALL, one), 5) << *c;
    }
}

TEST(Lettering, TakesEitherCaseAndShowsAQuestionMarkForWhatItLacks) {
    EXPECT_EQ(inked(TEXT_SMALL, "zotik", 29), inked(TEXT_SMALL, "ZOTIK", 29));
    EXPECT_EQ(inked(TEXT_SMALL, "~", 5), inked(TEXT_SMALL, "?", 5));
    EXPECT_EQ(inked(TEXT_SMALL, "\x7f", 5), inked(TEXT_SMALL, "?", 5));
}

TEST(Lettering, WritesNothingOutsideTheScreen) {
    // A guard band around the framebuffer catches any write beyond it.
    constexpr int GUARD = 4096;
    std::vector<unsigned char> memory(SCREEN_BYTES + 2 * GUARD, 0xAA);
    unsigned char* fb = memory.data() + GUARD;
    std::memset(fb, 0, SCREEN_BYTES);
    const char* text = "WRITTEN OVER EVERY EDGE OF THE SCREEN";
    for (int x : {-100, -3, 0, 300, 318, 5000})
        for (int y : {-50, -3, 0, 196, 199, 300})
            drawText(fb, TEXT_BOLD, x, y, text, 15);
    for (int i = 0; i < GUARD; ++i) {
        ASSERT_EQ(memory[i], 0xAA) << "before the screen";
        ASSERT_EQ(memory[GUARD + SCREEN_BYTES + i], 0xAA) << "after the screen";
    }
    EXPECT_NE(std::count(fb, fb + SCREEN_BYTES, 15), 0) << "what fits is written";
}

} // namespace
