#include "StickDirection.h"

#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr double SectorHalf = 45.0;
// Clockwise from Up, each sector's centre 90° on from the one before.
constexpr std::array Clockwise{TStickDirection::Up, TStickDirection::Right, TStickDirection::Down,
                               TStickDirection::Left};

// Degrees clockwise from straight up, 0 to 360.
double Bearing(double x, double y) {
    const double degrees = std::atan2(x, -y) * 180.0 / std::numbers::pi;
    return degrees < 0 ? degrees + 360.0 : degrees;
}

double Centre(TStickDirection direction) {
    for (size_t i = 0; i < Clockwise.size(); ++i)
        if (Clockwise[i] == direction)
            return double(i) * 2 * SectorHalf;
    return 0;
}

double Apart(double bearing, double centre) {
    const double apart = std::fabs(bearing - centre);
    return apart > 180.0 ? 360.0 - apart : apart;
}

TStickDirection Sector(double bearing) {
    const auto index = size_t(std::floor((bearing + SectorHalf) / (2 * SectorHalf)));
    return Clockwise[index % Clockwise.size()];
}

} // namespace

TStickDirection NextStickDirection(TStickDirection previous, double x, double y) {
    const double travel = std::hypot(x, y);
    if (previous == TStickDirection::None)
        return travel > PressTravel ? Sector(Bearing(x, y)) : TStickDirection::None;
    if (travel < ReleaseTravel)
        return TStickDirection::None;
    const double bearing = Bearing(x, y);
    if (Apart(bearing, Centre(previous)) < SectorHalf + SectorLeeway)
        return previous;
    return Sector(bearing);
}
