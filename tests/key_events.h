// Key presses and releases for tests that feed SDL's own event queue, as the keyboard
// would: processEvents reads them like real keys (no window needed).
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

// Queues one key event: type SDL_KEYDOWN or SDL_KEYUP, with the modifiers held and
// whether it is an auto-repeat, as SDL reports them.
inline void pushKeyEvent(Uint32 type, SDL_Keycode sym, Uint16 mod = KMOD_NONE,
                         bool repeat = false) {
    SDL_Event e = {};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}
