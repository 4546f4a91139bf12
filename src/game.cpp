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

bool parseCommandLine(int argc, char** argv, Options& opts) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "-mute") == 0) {
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

// Shows the title picture until Enter; Left and Right test the speakers.
static void titleLoop(unsigned char* framebuffer) {
    bool finished = false;
    while (!finished && !getQuit()) {
        processEvents();
        unsigned char pressed, code;
        while (getKeyEvent(&pressed, &code)) {
            if (!pressed) continue;
            if (code == SC_ENTER)
                finished = true;
            else if (code == SC_LEFT)
                snd_beepLeft();
            else if (code == SC_RIGHT)
                snd_beepRight();
        }
        flip(framebuffer);
    }
}

// Runs the selection menu until both players have confirmed a car (or quit is asked).
static void menuLoop(unsigned char* framebuffer) {
    trackSelected = 0;
    carSelected[0] = 0;
    carSelected[1] = 0;
    resetMenuKeys();
    while (!(carSelected[0] && carSelected[1])) {
        if (getQuit()) return;
        processEvents();
        processMenuKeys();
        drawMenu(framebuffer);
        flip(framebuffer);
    }
}

// Runs a race until Escape is released, the race asks for the menu, or quit is asked.
static void raceLoop(unsigned char* framebuffer) {
    bool finished = false;
    while (!getQuit()) {
        processEvents();
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
    opl_init(opts.port, opts.soundEnabled);
    std::unique_ptr<unsigned char[]> framebuffer(new unsigned char[SCREEN_BYTES]);
    initData();
    std::memset(framebuffer.get(), 0, SCREEN_BYTES);
    if (!initTk()) {
        opl_deinit();
        return 1;
    }
    std::memcpy(framebuffer.get(), title_d, SCREEN_BYTES);

    titleLoop(framebuffer.get());
    while (!getQuit()) {
        menuLoop(framebuffer.get());
        setupRace(framebuffer.get());
        raceLoop(framebuffer.get());
    }

    deinitTk();
    opl_deinit();
    return 0;
}
