#pragma once

struct _SDL_Joystick;

// SDL's virtual pads, for tests and benchmarks: their events take the same path as a real
// pad's, from SDL's queue to TSdlPadInput.

// Attaches a game controller with every button and axis, or a joystick SDL has no mapping
// for, with two axes, 12 buttons and one hat. Returns SDL's device index, -1 on failure.
int AttachVirtualPad(bool controller);
// The pad's handle for setting its buttons, once an input has opened it (its next Pump).
_SDL_Joystick* OpenedVirtualPad(int index);
