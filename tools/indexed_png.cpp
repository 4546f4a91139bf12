// Writing and reading 4-bit indexed PNG files in the VGA palette.
#include "indexed_png.h"

#include "sdltk.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace {

const char SIGNATURE[] = "\x89PNG\r\n\x1a\n";
constexpr size_t SIGNATURE_SIZE = 8;
constexpr size_t STORED_BLOCK_MAX = 65535; // bytes in one stored deflate block
constexpr uint32_t ADLER_MOD = 65521;
constexpr uint32_t MAX_SIDE = 1u << 15; // far beyond any picture of the game

uint32_t crc32(const unsigned char* p, size_t n) {
    uint32_t crc = ~0u;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void put32(std::string& s, uint32_t v) {
    for (int sh = 24; sh >= 0; sh -= 8)
        s += static_cast<char>((v >> sh) & 0xFF);
}

uint32_t get32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

void chunk(std::string& out, const char* type, const std::string& data) {
    put32(out, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    put32(out, crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

// A zlib stream of stored blocks.
std::string zlibStored(const std::string& raw) {
    std::string z = "\x78\x01";
    for (size_t at = 0; at < raw.size() || at == 0; at += STORED_BLOCK_MAX) {
        const size_t len = std::min(STORED_BLOCK_MAX, raw.size() - at);
        z += static_cast<char>(at + len >= raw.size() ? 1 : 0); // last block?
        z += static_cast<char>(len & 0xFF);
        z += static_cast<char>(len >> 8);
        z += static_cast<char>(~len & 0xFF);
        z += static_cast<char>((~len >> 8) & 0xFF);
        z += raw.substr(at, len);
    }
    uint32_t a = 1, b = 0;
    for (unsigned char ch : raw) {
        a = (a + ch) % ADLER_MOD;
        b = (b + a) % ADLER_MOD;
    }
    put32(z, (b << 16) | a);
    return z;
}

size_t rowBytes(int w) {
    return 1 + (static_cast<size_t>(w) + 1) / 2; // filter byte, then two pixels a byte
}

bool fail(std::string& why, const std::string& reason) {
    why = reason;
    return false;
}

} // namespace

std::string encodeIndexedPng(const unsigned char* pixels, int w, int h) {
    std::string raw;
    raw.reserve(rowBytes(w) * h);
    for (int r = 0; r < h; ++r) {
        raw += '\0'; // no filter
        const unsigned char* row = pixels + static_cast<size_t>(r) * w;
        for (int c = 0; c < w; c += 2) {
            const int right = c + 1 < w ? row[c + 1] & 15 : 0;
            raw += static_cast<char>(((row[c] & 15) << 4) | right);
        }
    }

    std::string ihdr;
    put32(ihdr, static_cast<uint32_t>(w));
    put32(ihdr, static_cast<uint32_t>(h));
    ihdr += std::string("\x04\x03\x00\x00\x00", 5); // 4-bit, indexed, no interlace
    std::string plte;
    for (uint32_t argb : vga16) {
        plte += static_cast<char>((argb >> 16) & 0xFF);
        plte += static_cast<char>((argb >> 8) & 0xFF);
        plte += static_cast<char>(argb & 0xFF);
    }
    std::string png(SIGNATURE, SIGNATURE_SIZE);
    chunk(png, "IHDR", ihdr);
    chunk(png, "PLTE", plte);
    chunk(png, "IDAT", zlibStored(raw));
    chunk(png, "IEND", "");
    return png;
}

bool decodeIndexedPng(const std::string& png, int& w, int& h, std::vector<unsigned char>& pixels,
                      std::string& why) {
    if (png.size() < SIGNATURE_SIZE || png.compare(0, SIGNATURE_SIZE, SIGNATURE) != 0)
        return fail(why, "not a PNG");
    std::string idat, ihdr;
    for (size_t at = SIGNATURE_SIZE; at + 12 <= png.size();) {
        const uint32_t len = get32(png, at);
        if (len > png.size() - at - 12) return fail(why, "truncated chunk");
        const std::string type = png.substr(at + 4, 4);
        const std::string body = png.substr(at + 4, 4 + len);
        if (crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()) !=
            get32(png, at + 8 + len))
            return fail(why, "bad CRC in " + type);
        if (type == "IHDR") ihdr = png.substr(at + 8, len);
        if (type == "IDAT") idat += png.substr(at + 8, len);
        at += 12 + len;
    }
    if (ihdr.size() != 13 || ihdr[8] != 4 || ihdr[9] != 3)
        return fail(why, "not a 4-bit palette picture");
    const uint32_t width = get32(ihdr, 0), height = get32(ihdr, 4);
    if (width == 0 || height == 0 || width > MAX_SIDE || height > MAX_SIDE)
        return fail(why, "implausible picture size");
    w = static_cast<int>(width);
    h = static_cast<int>(height);

    std::string raw;
    size_t at = 2; // after the zlib header
    for (bool last = false; !last;) {
        if (at + 5 > idat.size() || (idat[at] & 6) != 0)
            return fail(why, "compressed data (only stored blocks are read)");
        last = idat[at] & 1;
        const size_t len = static_cast<unsigned char>(idat[at + 1]) |
                           (static_cast<unsigned char>(idat[at + 2]) << 8);
        if (at + 5 + len > idat.size()) return fail(why, "truncated picture data");
        raw += idat.substr(at + 5, len);
        at += 5 + len;
    }
    const size_t stride = rowBytes(w);
    if (raw.size() != stride * h) return fail(why, "wrong amount of picture data");

    pixels.assign(static_cast<size_t>(w) * h, 0);
    for (int r = 0; r < h; ++r) {
        const char* row = raw.data() + r * stride;
        if (row[0] != 0) return fail(why, "filtered rows");
        for (int c = 0; c < w; ++c) {
            const unsigned char v = static_cast<unsigned char>(row[1 + c / 2]);
            pixels[static_cast<size_t>(r) * w + c] = c % 2 == 0 ? v >> 4 : v & 15;
        }
    }
    return true;
}

bool writeIndexedPng(const std::string& path, const unsigned char* pixels, int w, int h,
                     int scale) {
    std::vector<unsigned char> scaled(static_cast<size_t>(w) * scale * h * scale);
    const int sw = w * scale;
    for (int y = 0; y < h * scale; ++y)
        for (int x = 0; x < sw; ++x)
            scaled[static_cast<size_t>(y) * sw + x] =
                pixels[static_cast<size_t>(y / scale) * w + x / scale];
    const std::string png = encodeIndexedPng(scaled.data(), sw, h * scale);
    std::ofstream out(path, std::ios::binary);
    out << png;
    out.close();
    return static_cast<bool>(out);
}

bool readIndexedPng(const std::string& path, int& w, int& h, std::vector<unsigned char>& pixels,
                    std::string& why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail(why, "cannot open " + path);
    const std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return decodeIndexedPng(png, w, h, pixels, why);
}
