#pragma once

// A stick read as four buttons, one direction at a time. It points into one of four 90°
// sectors, Up centred on straight up. A direction goes down once the stick's deflection
// passes PressTravel inside its sector and comes up when the deflection falls below
// ReleaseTravel, or when the stick has gone SectorLeeway degrees past the sector's edge;
// the neighbouring sector is then down, as long as the deflection stays above
// ReleaseTravel. Both margins keep a stick resting on a threshold or an edge from flickering.
// Triggers use the same two travels.
enum class TStickDirection { None, Up, Down, Left, Right };

inline constexpr double PressTravel = 0.6;
inline constexpr double ReleaseTravel = 0.45;
inline constexpr double SectorLeeway = 10.0;

// x to the right and y downwards, as SDL's axes, each -1 to 1.
TStickDirection NextStickDirection(TStickDirection previous, double x, double y);
