// Renders the selection menu screens, with the compiled-in art, to indexed PNG files
// for looking at without starting the game.
//
// Usage: menushot [output directory] [scale]   (defaults: current directory, 2)
#include "main.h"
#include "sdltk.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

uint32_t crc32(const unsigned char* p, size_t n) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; i++)
        c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put32(Bytes& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<unsigned char>(v >> s));
}

void chunk(Bytes& out, const char* type, const Bytes& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    put32(out, crc32(body.data(), body.size()));
}

// A zlib stream of stored (uncompressed) blocks: no compression library needed, and the
// files stay small enough at these sizes.
Bytes zlibStored(const Bytes& raw) {
    Bytes z = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(n & 0xFF);
        z.push_back(n >> 8);
        z.push_back(~n & 0xFF);
        z.push_back((~n >> 8) & 0xFF);
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, (b << 16) | a);
    return z;
}

// Writes the framebuffer, each pixel scale x scale, as an 8-bit PNG in the VGA palette.
bool writePng(const std::string& path, const unsigned char* fb, int scale) {
    const int w = SCREEN_W * scale, h = SCREEN_H * scale;
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    put32(ihdr, w);
    put32(ihdr, h);
    ihdr.insert(ihdr.end(), {8, 3, 0, 0, 0}); // 8-bit, indexed, no interlace
    chunk(png, "IHDR", ihdr);
    Bytes plte;
    for (uint32_t argb : vga16)
        plte.insert(plte.end(),
                    {static_cast<unsigned char>(argb >> 16), static_cast<unsigned char>(argb >> 8),
                     static_cast<unsigned char>(argb)});
    chunk(png, "PLTE", plte);
    Bytes raw;
    raw.reserve(static_cast<size_t>(h) * (w + 1));
    for (int y = 0; y < h; y++) {
        raw.push_back(0); // no filter
        for (int x = 0; x < w; x++)
            raw.push_back(fb[(y / scale) * SCREEN_W + x / scale] & 15);
    }
    chunk(png, "IDAT", zlibStored(raw));
    chunk(png, "IEND", {});

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

struct Shot {
    const char* file;
    int stage, track, carA, carB, okA, okB;
    int computerB = 0;
};

// The screens worth a look: every highlight position and both confirmation states,
// with both players on the same car once to compare their colours, and the computer on
// player B's half.
const Shot shots[] = {
    {"menu_track_boul.png", 0, 0, 0, 0, 0, 0},
    {"menu_track_suburb.png", 0, 1, 0, 0, 0, 0},
    {"menu_track_iron.png", 0, 2, 0, 0, 0, 0},
    {"menu_cars.png", 1, 0, 0, 2, 0, 0},
    {"menu_cars_same.png", 1, 0, 1, 1, 0, 0},
    {"menu_cars_a_confirmed.png", 1, 0, 2, 1, 1, 0},
    {"menu_cars_both_confirmed.png", 1, 0, 1, 1, 1, 1},
    {"menu_cars_computer.png", 1, 0, 0, 2, 0, 1, 1},
    {"menu_cars_computer_top.png", 1, 0, 2, 0, 1, 1, 1},
};

} // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    const int scale = argc > 2 ? std::atoi(argv[2]) : 2;
    if (scale < 1 || scale > 8) {
        std::fprintf(stderr, "scale must be 1 to 8\n");
        return 1;
    }
    initMenu();
    std::vector<unsigned char> fb(SCREEN_BYTES);
    for (const Shot& s : shots) {
        trackSelected = s.stage;
        menuSelTrack = s.track;
        menuSelCar[0] = s.carA;
        menuSelCar[1] = s.carB;
        carSelected[0] = s.okA;
        carSelected[1] = s.okB;
        menuComputerB = s.computerB;
        drawMenu(fb.data());
        const std::string path = dir + "/" + s.file;
        if (!writePng(path, fb.data(), scale)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
