#include "virtual_pad.h"

VirtualPad::VirtualPad() {
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

VirtualPad::~VirtualPad() {
    unplug();
}

void VirtualPad::button(SDL_GameControllerButton b, bool down) {
    if (joystick_) SDL_JoystickSetVirtualButton(joystick_, b, down ? SDL_PRESSED : SDL_RELEASED);
}

void VirtualPad::stick(SDL_GameControllerAxis axis, int value) {
    if (joystick_) SDL_JoystickSetVirtualAxis(joystick_, axis, static_cast<Sint16>(value));
}

void VirtualPad::trigger(SDL_GameControllerAxis axis, int value) {
    // The virtual pad's triggers are full-range axes that SDL maps onto 0..32767.
    if (joystick_)
        SDL_JoystickSetVirtualAxis(joystick_, axis, static_cast<Sint16>(2 * value - 32767));
}

void VirtualPad::unplug() {
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
