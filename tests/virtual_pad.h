// A game controller made with SDL's virtual joystick API, plugged in on construction and
// unplugged on destruction (or by unplug()). Its buttons and axes are numbered as SDL's
// GameController buttons and axes, so the game sees it as a standard pad.
#pragma once

#include <SDL.h>

class VirtualPad {
  public:
    // Plugs the pad in, sticks centred and triggers at rest. SDL announces it with its
    // next event pump; the tests fail through ok() if SDL refused.
    VirtualPad() {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "Zotik test pad";
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        if (index < 0) return;
        joystick_ = SDL_JoystickOpen(index);
        if (!joystick_) return;
        id_ = SDL_JoystickInstanceID(joystick_);
        trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 0);
        trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0);
    }
    ~VirtualPad() { unplug(); }
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    bool ok() const { return joystick_ != nullptr; }
    // SDL's instance id, as the game's controllerOf reports it.
    SDL_JoystickID id() const { return id_; }

    void button(SDL_GameControllerButton b, bool down) {
        if (joystick_)
            SDL_JoystickSetVirtualButton(joystick_, b, down ? SDL_PRESSED : SDL_RELEASED);
    }
    // Sticks in SDL's units: SDL_JOYSTICK_AXIS_MIN (left, up) to SDL_JOYSTICK_AXIS_MAX
    // (right, down).
    void stick(SDL_GameControllerAxis axis, int value) {
        if (joystick_) SDL_JoystickSetVirtualAxis(joystick_, axis, static_cast<Sint16>(value));
    }
    // A trigger pulled to value, 0 (at rest) to SDL_JOYSTICK_AXIS_MAX (fully pulled).
    void trigger(SDL_GameControllerAxis axis, int value) {
        // The virtual pad's triggers are full-range axes that SDL maps onto 0..AXIS_MAX.
        if (joystick_)
            SDL_JoystickSetVirtualAxis(joystick_, axis,
                                       static_cast<Sint16>(2 * value - SDL_JOYSTICK_AXIS_MAX));
    }
    void unplug() {
        if (!joystick_) return;
        SDL_JoystickClose(joystick_);
        joystick_ = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id_) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
    }

  private:
    SDL_Joystick* joystick_ = nullptr;
    SDL_JoystickID id_ = -1;
};
