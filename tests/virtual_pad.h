// A game controller made with SDL's virtual joystick API, plugged in on construction and
// unplugged on destruction (or by unplug()). Its buttons and axes are numbered as SDL's
// GameController buttons and axes, so the game sees it as a standard pad.
#pragma once

#include <SDL.h>

class VirtualPad {
  public:
    // Plugs the pad in, sticks centred and triggers at rest. SDL announces it with its
    // next event pump; the tests fail through ok() if SDL refused.
    VirtualPad();
    ~VirtualPad();
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    bool ok() const { return joystick_ != nullptr; }
    // SDL's instance id, as the game's controllerOf reports it.
    SDL_JoystickID id() const { return id_; }

    void button(SDL_GameControllerButton b, bool down);
    // Sticks in SDL's units: -32768 (left, up) to 32767 (right, down).
    void stick(SDL_GameControllerAxis axis, int value);
    // A trigger pulled to value, 0 (at rest) to 32767 (fully pulled).
    void trigger(SDL_GameControllerAxis axis, int value);
    void unplug();

  private:
    SDL_Joystick* joystick_ = nullptr;
    SDL_JoystickID id_ = -1;
};
