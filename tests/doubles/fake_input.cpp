// Test double of the keyboard queue: getKeyEvent hands out scripted events in order,
// setQuit/getQuit keep a plain flag.
#include "fake_input.h"

#include "sdltk.h"

#include <deque>
#include <utility>

namespace {
std::deque<std::pair<unsigned char, unsigned char>> queue;
bool quit = false;
} // namespace

void fakeInputReset() {
    queue.clear();
    quit = false;
}

void fakeInputPush(unsigned char pressed, unsigned char code) {
    queue.emplace_back(pressed, code);
}

int fakeInputPending() {
    return static_cast<int>(queue.size());
}

int getKeyEvent(unsigned char* pressed, unsigned char* code) {
    if (queue.empty()) return 0;
    *pressed = queue.front().first;
    *code = queue.front().second;
    queue.pop_front();
    return 1;
}

int getQuit() {
    return quit ? 1 : 0;
}

void setQuit(bool q) {
    quit = q;
}
