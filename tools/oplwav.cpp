// oplwav: renders a script of OPL3 register writes through the chip model into a WAV file
// (16-bit stereo at the chip's 49716 Hz), so that an instrument can be heard and measured.
//
// Usage: oplwav SCRIPT.opl OUT.wav
//
// Script lines (blank lines and anything after '#' or ';' are ignored):
//   REG VAL     write VAL to register REG, both hexadecimal ("0x" optional); REG up to 1FF
//   wait MS     let the chip play for MS milliseconds (decimal)
// Writes take effect at the current point in time; only waits produce sound, so a script
// ends with the wait that lets its last note ring out.
#include "sdlopl.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int Rate = Opl3Chip::NativeRate;
constexpr int Channels = 2;
constexpr int BytesPerSample = 2;
// Longest script, in milliseconds: keeps the WAV far below its 4 GB size limit.
constexpr uint64_t MaxDurationMs = 60ull * 60 * 1000;

// Parses a whole token as an unsigned number in the given base; false if it is not one.
bool parseNumber(const std::string& token, int base, unsigned long& value) {
    if (token.empty() || token[0] == '-' || token[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoul(token.c_str(), &end, base);
    return errno == 0 && end && *end == '\0';
}

void put16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The canonical 44-byte header of a PCM WAV file with `frames` stereo 16-bit frames.
std::vector<uint8_t> wavHeader(uint32_t frames) {
    const uint32_t dataBytes = frames * Channels * BytesPerSample;
    std::vector<uint8_t> h;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    put32(h, 36 + dataBytes);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(h, 16);                               // format chunk size
    put16(h, 1);                                // PCM
    put16(h, Channels);                         // channels
    put32(h, Rate);                             // frames per second
    put32(h, Rate * Channels * BytesPerSample); // bytes per second
    put16(h, Channels * BytesPerSample);        // bytes per frame
    put16(h, BytesPerSample * 8);               // bits per sample
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    put32(h, dataBytes);
    return h;
}

// One parsed script line: a register write or a wait.
struct Command {
    bool isWait;
    unsigned long reg, val; // a write
    unsigned long ms;       // a wait
};

// Parses one line; returns false with a message for a malformed line. Empty lines and
// comments give no command (has = false).
bool parseLine(std::string line, Command& cmd, bool& has, std::string& error) {
    has = false;
    const size_t comment = line.find_first_of("#;");
    if (comment != std::string::npos) line.erase(comment);
    std::istringstream in(line);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;)
        tokens.push_back(t);
    if (tokens.empty()) return true;
    if (tokens.size() != 2) {
        error = "expected \"REG VAL\" or \"wait MS\"";
        return false;
    }
    std::string first = tokens[0];
    for (char& c : first)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (first == "wait") {
        if (!parseNumber(tokens[1], 10, cmd.ms)) {
            error = "wait needs a whole number of milliseconds";
            return false;
        }
        cmd.isWait = true;
    } else {
        if (!parseNumber(tokens[0], 16, cmd.reg) || cmd.reg > 0x1FF) {
            error = "register must be hexadecimal 0 to 1FF";
            return false;
        }
        if (!parseNumber(tokens[1], 16, cmd.val) || cmd.val > 0xFF) {
            error = "value must be hexadecimal 0 to FF";
            return false;
        }
        cmd.isWait = false;
    }
    has = true;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SCRIPT.opl OUT.wav\n", argv[0]);
        return 2;
    }
    std::ifstream script(argv[1]);
    if (!script) {
        std::fprintf(stderr, "oplwav: cannot read %s\n", argv[1]);
        return 1;
    }

    // Parse everything first, so that a bad script leaves no half-written WAV behind.
    std::vector<Command> commands;
    uint64_t totalMs = 0;
    std::string line;
    for (int number = 1; std::getline(script, line); ++number) {
        Command cmd{};
        bool has = false;
        std::string error;
        if (!parseLine(line, cmd, has, error)) {
            std::fprintf(stderr, "oplwav: %s:%d: %s\n", argv[1], number, error.c_str());
            return 1;
        }
        if (!has) continue;
        if (cmd.isWait) {
            totalMs += cmd.ms;
            if (cmd.ms > MaxDurationMs || totalMs > MaxDurationMs) {
                std::fprintf(stderr, "oplwav: %s:%d: the script runs longer than an hour\n",
                             argv[1], number);
                return 1;
            }
        }
        commands.push_back(cmd);
    }

    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::fprintf(stderr, "oplwav: cannot write %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    const uint32_t totalFrames = static_cast<uint32_t>(totalMs * Rate / 1000);
    const std::vector<uint8_t> header = wavHeader(totalFrames);
    bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size();

    // The chip runs at its native rate; the frame count of each wait comes from the time
    // elapsed since the start, so rounding never accumulates.
    Opl3Chip model(0);
    uint64_t elapsedMs = 0, framesDone = 0;
    std::vector<uint8_t> buffer;
    for (const Command& cmd : commands) {
        if (!cmd.isWait) {
            model.Port(static_cast<unsigned short>(cmd.reg), static_cast<unsigned char>(cmd.val));
            continue;
        }
        elapsedMs += cmd.ms;
        const uint64_t target = elapsedMs * Rate / 1000;
        buffer.clear();
        for (; framesDone < target; ++framesDone) {
            short left, right;
            model.Sample(&left, &right);
            put16(buffer, static_cast<uint16_t>(left));
            put16(buffer, static_cast<uint16_t>(right));
        }
        ok = ok && std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
    }
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "oplwav: error writing %s\n", argv[2]);
        return 1;
    }
    std::printf("%s: %u frames (%.3f s) at %d Hz\n", argv[2], totalFrames,
                totalFrames / double(Rate), Rate);
    return 0;
}
