// Renders the selection menu screens, with the compiled-in art, to indexed PNG files
// for looking at without starting the game.
//
// Usage: menushot [output directory] [scale]   (defaults: current directory, 2)
#include "indexed_png.h"
#include "main.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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
        if (!writeIndexedPng(path, fb.data(), SCREEN_W, SCREEN_H, scale)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
