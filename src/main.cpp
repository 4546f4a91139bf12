// Zotik's entry point.
#include "main.h"

int main(int argc, char** argv) {
    return runGame(argc, argv);
}
