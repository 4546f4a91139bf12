// The game shell: command line, start-up, the title, menu and race loops, shut-down.
#include "main.h"

#include "assets.h"
#include "opl.h"
#include "sdlopl.h"
#include "sdltk.h"
#include "sim.h"
#include "sound.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

Player playerA, playerB;

// The tracks by menu index.
enum TrackIndex { BOUL, SUBURB, IRON };
static Track* const RACE_TRACKS[3] = {&boulTrack, &suburbTrack, &ironTrack};

// Both cars start a step behind the start/finish line, side by side this far from the
// middle of the road.
static constexpr float START_Z = -5.0f;
static constexpr float START_X = 2.0f;

// Sprite tables of the current race: each view's own car and the other player's car.
static const SpriteSet* mineA = nullptr;
static const SpriteSet* mineB = nullptr;
static const CarSprite* othersA = nullptr;
static const CarSprite* othersB = nullptr;

// Reads the hexadecimal port of a "-a" argument into port; keeps it when no digit can be
// read. strtoul is defined for any input, where a scanf conversion that overflows is not.
static void parsePort(const char* text, unsigned short& port) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 16);
    if (end == text) return;
    port = static_cast<unsigned short>(value & 0xFFFF);
}

// Reads a UDP port number, 1 to 65535, from the whole of text.
static bool parseNetPort(const char* text, uint16_t& port) {
    if (!(*text >= '0' && *text <= '9')) return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*end != '\0' || errno != 0 || value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

static const char* const NET_USAGE =
    "  zotik -host [port]             wait for another machine to join\n"
    "  zotik -join <address>[:port]   join the game of the machine at address\n";

// "-host [port]": the next argument is the port if it starts with a digit.
static bool parseHost(int argc, char** argv, int& i, Options& opts) {
    opts.netRole = NET_HOST;
    opts.netPort = NET_PORT_DEFAULT;
    if (i + 1 < argc && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9') {
        if (!parseNetPort(argv[i + 1], opts.netPort)) {
            std::printf("Bad port '%s' after -host: a port is a number from 1 to 65535\n%s",
                        argv[i + 1], NET_USAGE);
            return false;
        }
        ++i;
    }
    return true;
}

// "-join <address>[:port]".
static bool parseJoin(int argc, char** argv, int& i, Options& opts) {
    if (i + 1 >= argc || argv[i + 1][0] == '\0' || argv[i + 1][0] == '-') {
        std::printf("-join needs the host's address, as in -join 192.168.1.20 or "
                    "-join 192.168.1.20:%u\n%s",
                    NET_PORT_DEFAULT, NET_USAGE);
        return false;
    }
    const std::string target = argv[++i];
    const size_t colon = target.rfind(':');
    opts.netRole = NET_JOIN;
    opts.joinAddress = target.substr(0, colon);
    opts.netPort = NET_PORT_DEFAULT;
    if (colon != std::string::npos &&
        (opts.joinAddress.empty() || !parseNetPort(target.c_str() + colon + 1, opts.netPort))) {
        std::printf("Bad address '%s' after -join: an address is a name or an IPv4 address, "
                    "with a port from 1 to 65535 after a colon if it is not %u\n%s",
                    target.c_str(), NET_PORT_DEFAULT, NET_USAGE);
        return false;
    }
    return true;
}

bool parseCommandLine(int argc, char** argv, Options& opts) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "-host") == 0) {
            if (!parseHost(argc, argv, i, opts)) return false;
        } else if (std::strcmp(arg, "-join") == 0) {
            if (!parseJoin(argc, argv, i, opts)) return false;
        } else if (std::strcmp(arg, "-mute") == 0) {
            opts.soundEnabled = 0;
        } else if (std::strcmp(arg, "-swap") == 0) {
            opl_swap();
        } else if (std::strncmp(arg, "-a", 2) == 0) {
            parsePort(arg + 2, opts.port);
        } else {
            std::printf("Unknown argument '%s'\n", arg);
            return false;
        }
    }
    return true;
}

void formatBuildDate(const char* compilerDate, char* out) {
    static const char* const months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int month = 0;
    for (int m = 0; m < 12; ++m) {
        if (std::strncmp(compilerDate, months[m], 3) == 0) month = m + 1;
    }
    std::memcpy(out, compilerDate + 7, 4); // year
    out[4] = static_cast<char>('0' + month / 10);
    out[5] = static_cast<char>('0' + month % 10);
    // The compiler pads a one-digit day with a blank; the title wants "09", not " 9".
    out[6] = compilerDate[4] == ' ' ? '0' : compilerDate[4];
    out[7] = compilerDate[5];
    out[8] = '\0';
}

void getBuildDate(char* out) {
    formatBuildDate(__DATE__, out);
}

void initData() {
    generateTlis();
    expandTrack(suburbTrack, suburbSegm, SUBURB_SEGMENTS);
    expandTrack(boulTrack, boulSegm, BOUL_SEGMENTS);
    expandTrack(ironTrack, ironSegm, IRON_SEGMENTS);
    precompute();
    initMenu();
}

void setupRace(unsigned char* framebuffer) {
    // Tracks and their panoramas share the menu's index; anything but boul or suburb is iron.
    const int t = menuSelTrack == BOUL || menuSelTrack == SUBURB ? menuSelTrack : IRON;
    track = RACE_TRACKS[t]->steps.get();
    trackSize = RACE_TRACKS[t]->size;
    backg = backgs[t].get();

    Player start{}; // no laps, speed or steering yet
    start.z = START_Z;
    playerA = start;
    playerB = start;
    playerA.x = -START_X;
    playerB.x = START_X;
    if (std::rand() % 2 != 0) { // the cars swap sides
        playerA.x = -playerA.x;
        playerB.x = -playerB.x;
    }
    resetState();
    setComputerDriver(1, menuComputerB != 0);

    std::memset(framebuffer, 0, SCREEN_BYTES);
    initialHudDraw(framebuffer);
    snd_motorSetup(0, menuSelCar[0]);
    snd_motorSetup(1, menuSelCar[1]);

    const int carA = menuSelCar[0];
    const int carB = menuSelCar[1];
    mineA = &spriteSet[2 * carA];
    othersA = &cars[2 * carB + 1];
    mineB = &spriteSet[2 * carB + 1];
    othersB = &cars[2 * carA];
}

// Shows the title picture until Enter; Left and Right test the speakers. While a network
// game connects, Enter waits for it and Escape gives up on it.
static void titleLoop(unsigned char* framebuffer) {
    bool finished = false;
    const bool networked = netGameConnecting();
    while (!finished && !getQuit()) {
        if (!frameKeys(framebuffer, PHASE_TITLE)) {
            finished = true; // the network game ended: on to the menu, on this machine
            continue;
        }
        unsigned char pressed, code;
        while (getKeyEvent(&pressed, &code)) {
            if (!pressed) {
                if (code == SC_ESCAPE) netGameCancel();
                continue;
            }
            if (code == SC_ENTER && !netGameConnecting())
                finished = true;
            else if (code == SC_LEFT && !netGameRunning())
                snd_beepLeft();
            else if (code == SC_RIGHT && !netGameRunning())
                snd_beepRight();
        }
        // In a network game the arrows drive this machine's player; the speakers are
        // tested with them all the same, on this machine only.
        while (const uint8_t key = takeSpeakerTestKey())
            key == SC_LEFT ? snd_beepLeft() : snd_beepRight();
        if (networked) {
            std::memcpy(framebuffer, title_d, SCREEN_BYTES);
            drawNetNote(framebuffer);
        }
        flip(framebuffer);
    }
}

// Runs the selection menu until both players have confirmed a car (or quit is asked).
// The end of a network game starts it again, on this machine alone.
static void menuLoop(unsigned char* framebuffer) {
    trackSelected = 0;
    carSelected[0] = 0;
    carSelected[1] = 0;
    resetMenuKeys();
    while (!(carSelected[0] && carSelected[1])) {
        if (getQuit()) return;
        if (!frameKeys(framebuffer, PHASE_MENU)) {
            trackSelected = 0;
            carSelected[0] = carSelected[1] = 0;
            resetMenuKeys();
            continue;
        }
        processMenuKeys();
        drawMenu(framebuffer);
        drawNetNote(framebuffer);
        flip(framebuffer);
    }
}

// Runs a race until Escape is released, the race asks for the menu, or quit is asked (or
// a network game ends).
static void raceLoop(unsigned char* framebuffer) {
    bool finished = false;
    while (!getQuit()) {
        if (!frameKeys(framebuffer, PHASE_RACE)) break;
        unsigned char pressed, code;
        while (getKeyEvent(&pressed, &code)) {
            if (!pressed && code == SC_ESCAPE) finished = true;
        }
        simStep(playerA, playerB, track, trackSize);
        drawProto2(framebuffer, playerA, playerB, *mineA, *othersA);
        drawProto2(framebuffer + RIGHT_VIEW_OFFSET, playerB, playerA, *mineB, *othersB);
        flip(framebuffer);
        if (finished || getExitToMenu()) break;
    }
    snd_motorStop(0);
    snd_motorStop(1);
}

int runGame(int argc, char** argv) {
    Options opts;
    if (!parseCommandLine(argc, argv, opts)) return 1;

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (!netGameStart(opts)) return 1;
    opl_init(opts.port, opts.soundEnabled);
    std::unique_ptr<unsigned char[]> framebuffer(new unsigned char[SCREEN_BYTES]);
    initData();
    std::memset(framebuffer.get(), 0, SCREEN_BYTES);
    if (!initTk()) {
        netGameStop();
        opl_deinit();
        return 1;
    }
    std::memcpy(framebuffer.get(), title_d, SCREEN_BYTES);

    titleLoop(framebuffer.get());
    while (!getQuit()) {
        menuLoop(framebuffer.get());
        // Both machines of a network game draw the same starting sides.
        if (netGameRunning()) std::srand(netRaceSeed());
        setupRace(framebuffer.get());
        raceLoop(framebuffer.get());
    }

    netGameStop();
    deinitTk();
    opl_deinit();
    return 0;
}
