// The PNG files of the golden pictures and the developer tools: what is written is read
// back pixel for pixel, and damaged files are refused rather than misread.
#include "indexed_png.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> pattern(int w, int h) {
    std::vector<unsigned char> px(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<unsigned char>((i * 7 + i / w) % 16);
    return px;
}

TEST(IndexedPng, RoundTripsEveryPixelAtAnySize) {
    // Odd widths leave half a byte at each row's end; 320 x 250 needs two stored blocks.
    const int sizes[][2] = {{320, 200}, {1, 1}, {13, 18}, {159, 48}, {320, 250}};
    for (const auto& size : sizes) {
        const int w = size[0], h = size[1];
        const std::vector<unsigned char> px = pattern(w, h);
        int gotW = 0, gotH = 0;
        std::vector<unsigned char> got;
        std::string why;
        ASSERT_TRUE(decodeIndexedPng(encodeIndexedPng(px.data(), w, h), gotW, gotH, got, why))
            << w << " x " << h << ": " << why;
        EXPECT_EQ(gotW, w);
        EXPECT_EQ(gotH, h);
        EXPECT_EQ(got, px) << w << " x " << h;
    }
}

TEST(IndexedPng, RefusesDamagedOrForeignFiles) {
    const std::vector<unsigned char> px = pattern(20, 10);
    const std::string good = encodeIndexedPng(px.data(), 20, 10);
    struct Case {
        const char* what;
        std::string png;
    };
    std::string flipped = good, cut = good.substr(0, good.size() - 30), notPng = good;
    flipped[good.size() / 2] ^= 1;
    notPng[1] = 'X';
    const Case cases[] = {
        {"a flipped bit", flipped}, {"cut short", cut}, {"no signature", notPng}, {"empty", ""}};
    for (const Case& c : cases) {
        int w = -1, h = -1;
        std::vector<unsigned char> got;
        std::string why;
        EXPECT_FALSE(decodeIndexedPng(c.png, w, h, got, why)) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
    }
}

TEST(IndexedPng, WritesScaledPicturesThatReadBackAsBlocks) {
    const std::vector<unsigned char> px = {1, 2, 3, 4, 5, 6}; // 3 x 2
    const std::string path = ::testing::TempDir() + "indexed_png_scaled.png";
    ASSERT_TRUE(writeIndexedPng(path, px.data(), 3, 2, 3));
    int w = 0, h = 0;
    std::vector<unsigned char> got;
    std::string why;
    ASSERT_TRUE(readIndexedPng(path, w, h, got, why)) << why;
    ASSERT_EQ(w, 9);
    ASSERT_EQ(h, 6);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(got[y * w + x], px[(y / 3) * 3 + x / 3]) << x << ", " << y;
    std::remove(path.c_str());

    EXPECT_FALSE(writeIndexedPng("/nonexistent-dir/x.png", px.data(), 3, 2));
    EXPECT_FALSE(readIndexedPng("/nonexistent-dir/x.png", w, h, got, why));
}

} // namespace
