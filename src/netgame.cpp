// Network play as the game shell runs it: connecting at the title, both machines' keys
// for every frame, waiting for a late partner, the notes on screen, and the return to a
// game on this machine alone when the network game ends.
#include "main.h"

#include "net.h"
#include "sdltk.h"
#include "sim.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

// A frame that waits this long for the other machine says so on screen (ms), and shows
// the note again this often while it waits.
static constexpr uint32_t WAIT_NOTE_AFTER_MS = 250;
static constexpr uint32_t WAIT_NOTE_EVERY_MS = FRAME_MS;
// How long the note on the end of a network game stays up (frames, 6 s).
static constexpr int END_NOTE_FRAMES = 120;
// Where notes stand: centred on this row, over the middle of the menu and the race, and
// over the title's picture, above its panels of keys.
static constexpr int NOTE_CENTRE_Y = 96;
static constexpr int TITLE_NOTE_CENTRE_Y = 72;

static std::unique_ptr<NetLink> link;
static std::unique_ptr<Lockstep> lockstep;
// The lockstep frames have begun: this machine's keys go through the network.
static bool inStep = false;
static std::string where; // "UDP PORT 24600" or "127.0.0.1:24600"
static std::string thisBuild;
static unsigned races = 0;
// The loop of the last frame, and this machine's speaker test keys pressed at the title.
static GamePhase phaseNow = PHASE_TITLE;
static std::vector<uint8_t> speakerTestKeys;
// ZOTIK_NET_TRACE names a file that gets a line per lockstep frame (see writeTrace), for
// the tests that compare two machines and drive their cars.
static FILE* trace = nullptr;
// What the frames waited, for the trace.
static uint32_t waitedFrames = 0, longestWaitMs = 0;

// ---------------------------------------------------------------------------------
// Notes
// ---------------------------------------------------------------------------------

struct Note {
    std::string heading;
    std::vector<std::string> lines;
    int framesLeft = 0; // -1: until replaced
};
static Note note;

static void setNote(const std::string& heading, std::vector<std::string> lines, int frames) {
    note.heading = heading;
    note.lines = std::move(lines);
    note.framesLeft = frames;
}

// Palette indices of a note: a blue card with a light cyan rim, as the title's panels.
static constexpr unsigned char NOTE_EDGE = 0;
static constexpr unsigned char NOTE_RIM = 11;
static constexpr unsigned char NOTE_CARD = 1;
static constexpr unsigned char NOTE_HEADING = 14;
static constexpr unsigned char NOTE_TEXT = 15;
static constexpr unsigned char NOTE_SHADOW = 0;
static constexpr int NOTE_PAD = 7;
static constexpr int LINE_PITCH = TEXT_H + 3;

static void fillRect(unsigned char* fb, int x, int y, int w, int h, unsigned char c) {
    for (int row = y; row < y + h; ++row)
        if (row >= 0 && row < SCREEN_H)
            for (int col = x; col < x + w; ++col)
                if (col >= 0 && col < SCREEN_W) fb[row * SCREEN_W + col] = c;
}

static void drawShadowed(unsigned char* fb, TextFace face, int centreX, int y,
                         const std::string& text, unsigned char colour) {
    const int x = centreX - textWidth(face, text.c_str()) / 2;
    drawText(fb, face, x + 1, y + 1, text.c_str(), NOTE_SHADOW);
    drawText(fb, face, x, y, text.c_str(), colour);
}

static void drawNote(unsigned char* fb, const Note& n, int centreY) {
    int width = textWidth(TEXT_BOLD, n.heading.c_str());
    for (const std::string& line : n.lines)
        width = std::max(width, textWidth(TEXT_SMALL, line.c_str()));
    width += 2 * NOTE_PAD + 4;
    const int height = 2 * NOTE_PAD + 4 + TEXT_H + static_cast<int>(n.lines.size()) * LINE_PITCH;
    const int x = (SCREEN_W - width) / 2;
    const int y = centreY - height / 2;
    fillRect(fb, x - 1, y - 1, width + 2, height + 2, NOTE_EDGE);
    fillRect(fb, x, y, width, height, NOTE_RIM);
    fillRect(fb, x + 1, y + 1, width - 2, height - 2, NOTE_CARD);
    int row = y + 2 + NOTE_PAD;
    drawShadowed(fb, TEXT_BOLD, SCREEN_W / 2, row, n.heading, NOTE_HEADING);
    for (const std::string& line : n.lines) {
        row += LINE_PITCH;
        drawShadowed(fb, TEXT_SMALL, SCREEN_W / 2, row, line, NOTE_TEXT);
    }
}

void drawNetNote(unsigned char* framebuffer) {
    if (note.framesLeft == 0) return;
    drawNote(framebuffer, note, phaseNow == PHASE_TITLE ? TITLE_NOTE_CENTRE_Y : NOTE_CENTRE_Y);
    if (note.framesLeft > 0) --note.framesLeft;
}

// ---------------------------------------------------------------------------------
// Starting and ending
// ---------------------------------------------------------------------------------

static std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// "1.0.0 20261209": the version and the build date, as the window title shows it.
static std::string buildText() {
    char date[9];
    getBuildDate(date);
    return std::string(ZOTIK_VERSION) + " " + date;
}

static uint32_t freshSeed() {
    try {
        return std::random_device{}();
    } catch (...) {
        return static_cast<uint32_t>(std::time(nullptr));
    }
}

bool netGameStart(const Options& opts) {
    if (opts.netRole == NET_LOCAL) return true;
    std::string error;
    if (!netStartup(error)) {
        std::fprintf(stderr, "zotik: %s\n", error.c_str());
        return false;
    }
    const int player = opts.netRole == NET_HOST ? 0 : 1;
    if (player == 0) {
        link = netListen(opts.netPort, error);
        where = "UDP PORT " + std::to_string(opts.netPort);
    } else {
        NetAddress address;
        if (netResolve(opts.joinAddress, opts.netPort, address, error))
            link = netConnect(address, error);
        where = netAddressText(address);
    }
    if (!link) {
        std::fprintf(stderr, "zotik: %s\n", error.c_str());
        netShutdown();
        return false;
    }
    thisBuild = buildText();
    lockstep = std::make_unique<Lockstep>(*link, player, thisBuild, freshSeed());
    if (const char* path = std::getenv("ZOTIK_NET_TRACE")) {
        trace = std::fopen(path, "w");
        if (trace) std::setvbuf(trace, nullptr, _IOLBF, 0);
    }
    if (player == 0)
        setNote("NETWORK GAME",
                {"WAITING FOR THE OTHER PLAYER", "ON " + where, "", "ESC: PLAY ON THIS KEYBOARD"},
                -1);
    else
        setNote("NETWORK GAME", {"CONNECTING TO " + where, "", "ESC: PLAY ON THIS KEYBOARD"}, -1);
    return true;
}

// Why the network game ended, for the note (upper case, short lines) and for stderr.
struct EndWords {
    std::vector<std::string> note;
    std::string log;
};

static std::string versionText(const std::string& build, int protocol) {
    // A build is "version date"; show it as the window title does.
    const size_t space = build.find(' ');
    std::string text = "Zotik " + build.substr(0, space);
    if (space != std::string::npos) text += " build " + build.substr(space + 1);
    return text + " protocol " + std::to_string(protocol);
}

static EndWords endWords(const Lockstep& l) {
    switch (l.endReason()) {
    case NetEnd::QUIT:
        return {{"THE OTHER PLAYER LEFT THE GAME"}, "the other player left the game"};
    case NetEnd::SILENT:
        return {{"THE OTHER MACHINE STOPPED ANSWERING"}, "the other machine stopped answering"};
    case NetEnd::DESYNC: {
        const std::string at =
            l.endedHere() ? " (AT FRAME " + std::to_string(l.desyncFrame()) + ")" : "";
        return {{"THE TWO MACHINES' GAMES DIFFERED" + at}, "the two machines' games differed"};
    }
    case NetEnd::VERSION: {
        const std::string other = l.peerProtocol() >= 0
                                      ? versionText(l.peerBuild(), l.peerProtocol())
                                      : std::string("ANOTHER VERSION");
        const std::string mine = versionText(thisBuild, NET_PROTOCOL);
        return {
            {"THE OTHER MACHINE RUNS ANOTHER VERSION", "THERE: " + upper(other), "HERE: " + mine},
            "the other machine runs " + other + ", this one " + mine};
    }
    case NetEnd::BUSY:
        return {{"THAT GAME ALREADY HAS TWO PLAYERS"}, "that game already has two players"};
    case NetEnd::BROKEN:
        return {{"THE CONNECTION BROKE DOWN"}, "the other machine stopped confirming the keys"};
    case NetEnd::CANCELLED:
    case NetEnd::NONE:
        break;
    }
    return {{"NETWORK GAME CANCELLED"}, ""};
}

// The trace's last line: how the game ended and what the network did meanwhile.
static void closeTrace() {
    if (!trace) return;
    const NetStats& stats = lockstep->stats();
    std::fprintf(trace,
                 "# end %u frames %u waited %u longest_wait_ms %u bad_packets %u packets_in %u "
                 "resends %u compared %u\n",
                 static_cast<unsigned>(lockstep->endReason()), lockstep->frame(), waitedFrames,
                 longestWaitMs, stats.badPackets, stats.packetsIn, stats.resends,
                 stats.comparedHashes);
    std::fclose(trace);
    trace = nullptr;
}

// Back to a game on this machine alone, with a note saying why.
static void endNetGame() {
    const EndWords words = endWords(*lockstep);
    std::vector<std::string> lines = words.note;
    lines.push_back("");
    lines.push_back("NOW BOTH PLAYERS PLAY ON THIS KEYBOARD");
    // A game that never began (refused, turned away) is not over, it never was.
    setNote(inStep ? "NETWORK GAME OVER" : "NO NETWORK GAME", lines, END_NOTE_FRAMES);
    if (!words.log.empty())
        std::fprintf(stderr, "zotik: %s: %s; playing on this machine alone\n",
                     inStep ? "network game over" : "no network game", words.log.c_str());
    const NetStats& stats = lockstep->stats();
    if (stats.badPackets > 0)
        std::fprintf(stderr, "zotik: %u malformed packets from the other machine were ignored\n",
                     stats.badPackets);
    closeTrace();
    setKeyEventHandler(nullptr);
    holdLocalKeys();
    lockstep.reset();
    link.reset(); // says goodbye when this side ended it
    netShutdown();
    inStep = false;
}

void netGameStop() {
    if (!lockstep) return;
    lockstep->end(NetEnd::QUIT);
    note.framesLeft = 0;
    closeTrace();
    setKeyEventHandler(nullptr);
    lockstep.reset();
    link.reset();
    netShutdown();
    inStep = false;
}

bool netGameConnecting() {
    return lockstep && !inStep;
}

bool netGameRunning() {
    return lockstep && inStep;
}

void netGameCancel() {
    if (!netGameConnecting()) return;
    lockstep->end(NetEnd::CANCELLED);
    endNetGame();
}

unsigned netRaceSeed() {
    return lockstep ? lockstep->seed() + races++ : 0;
}

uint8_t takeSpeakerTestKey() {
    if (speakerTestKeys.empty()) return 0;
    const uint8_t code = speakerTestKeys.front();
    speakerTestKeys.erase(speakerTestKeys.begin());
    return code;
}

// This machine's keys while the machines play in step: on to the other machine, and the
// speaker test keys noted for the title, where they stay on this machine.
static void onLocalKey(uint8_t pressed, uint8_t code) {
    if (pressed && phaseNow == PHASE_TITLE && (code == SC_LEFT || code == SC_RIGHT))
        speakerTestKeys.push_back(code);
    lockstep->localKey(pressed != 0, code);
}

// Both machines agreed: from the next frame on they play in step, from the same state.
static void beginInStep() {
    inStep = true;
    races = 0;
    speakerTestKeys.clear();
    setKeyEventHandler(onLocalKey);
    // Nothing held, nothing queued, the menu at its start and no computer driver: the same
    // on both machines, whatever each did while it waited.
    clearKeys();
    menuSelCar[0] = menuSelCar[1] = 0;
    menuSelTrack = 0;
    trackSelected = 0;
    carSelected[0] = carSelected[1] = 0;
    // Each player is a person at their own machine: the computer driver stays off, and
    // its key is not among what the machines send (a choice made on one machine only
    // would make the two races differ).
    menuComputerB = 0;
    setComputerDriver(1, false);
    const std::string you = lockstep->player() == 0 ? "YOU ARE PLAYER A, THE LEFT VIEW"
                                                    : "YOU ARE PLAYER B, THE RIGHT VIEW";
    setNote("NETWORK GAME",
            {"CONNECTED: " + you, "DRIVE WITH EITHER SET OF KEYS", "",
             "ENTER STARTS, ON EITHER MACHINE"},
            -1);
    if (trace)
        std::fprintf(trace, "# player %d seed %u build %s\n", lockstep->player(), lockstep->seed(),
                     thisBuild.c_str());
}

// ---------------------------------------------------------------------------------
// The keys of a frame
// ---------------------------------------------------------------------------------

uint64_t gameStateHash(GamePhase phase) {
    uint64_t h = NET_HASH_START;
    const int32_t p = phase;
    h = netHash(h, &p, sizeof p);
    h = netHash(h, menuSelCar, sizeof menuSelCar);
    h = netHash(h, &menuSelTrack, sizeof menuSelTrack);
    h = netHash(h, carSelected, sizeof carSelected);
    h = netHash(h, &trackSelected, sizeof trackSelected);
    const int32_t computer[] = {menuComputerB, isComputerDriver(0), isComputerDriver(1)};
    h = netHash(h, computer, sizeof computer);
    h = netHash(h, &playerA, sizeof playerA);
    h = netHash(h, &playerB, sizeof playerB);
    const int32_t race[] = {state, stateTick, simLights, simExitToMenu,
                            static_cast<int32_t>(trackSize)};
    h = netHash(h, race, sizeof race);
    uint8_t held[SCAN_CODES];
    for (int code = 0; code < SCAN_CODES; ++code)
        held[code] = getKeyState(static_cast<unsigned char>(code));
    return netHash(h, held, sizeof held);
}

// A line of the trace: the frame, its phase, the state hash and the ms the frame waited;
// then the race state and both cars (laps, z, x, speed, steer), so that a test can
// drive them and see where the race stands.
static void writeTrace(uint32_t frame, GamePhase phase, uint64_t hash, uint32_t waited) {
    std::fprintf(trace, "%u %d %016llx %u %d %d", frame, static_cast<int>(phase),
                 static_cast<unsigned long long>(hash), waited, state, stateTick);
    for (const Player* p : {&playerA, &playerB})
        std::fprintf(trace, " %d %.3f %.3f %.3f %d", p->laps, p->z, p->x, p->speed, p->steer);
    std::fputc('\n', trace);
}

// Waits for the other machine's keys for this frame, showing a note after a moment.
// Returns false when the frame cannot run.
static bool waitForFrame(const unsigned char* framebuffer, uint32_t start) {
    uint32_t noteAt = start + WAIT_NOTE_AFTER_MS;
    while (!lockstep->frameReady()) {
        if (!lockstep->running() || getQuit()) return false;
        sleepMs(1);
        processEvents();
        const uint32_t now = ticksMs();
        lockstep->update(now);
        if (static_cast<int32_t>(now - noteAt) >= 0) {
            static unsigned char held[SCREEN_BYTES];
            std::memcpy(held, framebuffer, SCREEN_BYTES);
            drawNote(held, {"NETWORK GAME", {"WAITING FOR THE OTHER MACHINE"}, -1}, NOTE_CENTRE_Y);
            presentNow(held);
            noteAt = now + WAIT_NOTE_EVERY_MS;
        }
    }
    return true;
}

bool frameKeys(unsigned char* framebuffer, GamePhase phase) {
    if (!lockstep) {
        processEvents();
        return true;
    }
    phaseNow = phase;
    if (phase != PHASE_TITLE) {
        // The notes of connecting belong to the title.
        if (note.framesLeft < 0) note.framesLeft = 0;
        speakerTestKeys.clear();
    }
    if (!inStep) {
        // Still connecting: this machine plays on its own meanwhile.
        processEvents();
        lockstep->update(ticksMs());
        if (lockstep->running())
            beginInStep();
        else if (lockstep->endReason() != NetEnd::NONE)
            endNetGame();
        return true;
    }
    processEvents();
    const uint32_t start = ticksMs();
    lockstep->update(start);
    lockstep->beginFrame(start);
    if (!waitForFrame(framebuffer, start)) {
        if (getQuit()) return false;
        endNetGame();
        return false;
    }
    const uint32_t waited = ticksMs() - start;
    if (waited > 0) ++waitedFrames;
    longestWaitMs = std::max(longestWaitMs, waited);
    const uint32_t frame = lockstep->frame();
    const uint64_t hash = gameStateHash(phase);
    const std::vector<NetKey> keys = lockstep->takeFrame(hash);
    if (trace) writeTrace(frame, phase, hash, waited);
    if (!lockstep->running()) {
        endNetGame();
        return false;
    }
    for (const NetKey& k : keys)
        applyKeyEvent(k.pressed, k.code);
    holdFrameClock();
    return true;
}
