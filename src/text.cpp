// The game's pixel lettering for notes written at run time, in the faces that letter the
// title and the menu pictures (the sheet font_d).
#include "main.h"

#include "assets.h"

#include <cstring>

static constexpr unsigned char INK = 15;
static constexpr int LETTER_SPACING = 1;

// The cell of a character; letters in either case, '?' for anything the faces lack.
static int glyphOf(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const char* at = c != '\0' ? std::strchr(fontChars, c) : nullptr;
    if (!at) at = std::strchr(fontChars, '?');
    return static_cast<int>(at - fontChars);
}

static const unsigned char* cellOf(TextFace face, int glyph) {
    return font_d + face * FONT_CELL_H * FONT_W + glyph * FONT_CELL_W;
}

static int glyphWidth(TextFace face, int glyph) {
    const unsigned char* bar = cellOf(face, glyph) + (FONT_CELL_H - 1) * FONT_W;
    int w = 0;
    while (w < FONT_CELL_W && bar[w] != 0)
        ++w;
    return w;
}

int textWidth(TextFace face, const char* text) {
    int width = 0;
    for (const char* c = text; *c; ++c)
        width += glyphWidth(face, glyphOf(*c)) + LETTER_SPACING;
    return width > 0 ? width - LETTER_SPACING : 0;
}

void drawText(unsigned char* fb, TextFace face, int x, int y, const char* text,
              unsigned char colour) {
    for (const char* c = text; *c; ++c) {
        const int glyph = glyphOf(*c);
        const unsigned char* cell = cellOf(face, glyph);
        const int w = glyphWidth(face, glyph);
        for (int gy = 0; gy < TEXT_H; ++gy) {
            for (int gx = 0; gx < w; ++gx) {
                const int px = x + gx, py = y + gy;
                if (cell[gy * FONT_W + gx] == INK && px >= 0 && px < SCREEN_W && py >= 0 &&
                    py < SCREEN_H)
                    fb[py * SCREEN_W + px] = colour;
            }
        }
        x += w + LETTER_SPACING;
    }
}
