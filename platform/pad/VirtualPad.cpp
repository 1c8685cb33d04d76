#include "VirtualPad.h"

#include <SDL.h>

int AttachVirtualPad(bool controller) {
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    if (controller) {
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "virtual controller";
    } else {
        desc.type = SDL_JOYSTICK_TYPE_ARCADE_STICK;
        desc.naxes = 2;
        desc.nbuttons = 12;
        desc.nhats = 1;
        desc.name = "virtual stick";
    }
    return SDL_JoystickAttachVirtualEx(&desc);
}

SDL_Joystick* OpenedVirtualPad(int index) {
    return index < 0 ? nullptr : SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
}
