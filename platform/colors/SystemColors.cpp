#include "SystemColors.h"

#include <QGuiApplication>
#include <QPalette>
#include <array>
#include <cfenv>
#include <cmath>

namespace {

struct RoleEntry {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Windows system colour index -> nearest palette role.
constexpr std::array<RoleEntry, 31> kSystemRoles = {{
    {QPalette::Active, QPalette::Mid},             // 0 scroll bar
    {QPalette::Active, QPalette::Dark},            // 1 desktop
    {QPalette::Active, QPalette::Highlight},       // 2 active caption
    {QPalette::Inactive, QPalette::Highlight},     // 3 inactive caption
    {QPalette::Active, QPalette::Window},          // 4 menu
    {QPalette::Active, QPalette::Base},            // 5 window
    {QPalette::Active, QPalette::Shadow},          // 6 window frame
    {QPalette::Active, QPalette::WindowText},      // 7 menu text
    {QPalette::Active, QPalette::WindowText},      // 8 window text
    {QPalette::Active, QPalette::HighlightedText}, // 9 caption text
    {QPalette::Active, QPalette::Window},          // 10 active border
    {QPalette::Inactive, QPalette::Window},        // 11 inactive border
    {QPalette::Active, QPalette::Mid},             // 12 application workspace
    {QPalette::Active, QPalette::Highlight},       // 13 highlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 highlight text
    {QPalette::Active, QPalette::Button},          // 15 button face
    {QPalette::Active, QPalette::Dark},            // 16 button shadow
    {QPalette::Disabled, QPalette::Text},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText},      // 18 button text
    {QPalette::Inactive, QPalette::WindowText},    // 19 inactive caption text
    {QPalette::Active, QPalette::Light},           // 20 button highlight
    {QPalette::Active, QPalette::Shadow},          // 21 3D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 22 3D light
    {QPalette::Active, QPalette::ToolTipText},     // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},     // 24 info background
    {QPalette::Active, QPalette::Window},          // 25 (unused index)
    {QPalette::Active, QPalette::Link},            // 26 hot light
    {QPalette::Active, QPalette::Highlight},       // 27 active caption gradient
    {QPalette::Inactive, QPalette::Highlight},     // 28 inactive caption gradient
    {QPalette::Active, QPalette::Highlight},       // 29 menu highlight
    {QPalette::Active, QPalette::Window},          // 30 menu bar
}};

QPalette currentPalette() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QGuiApplication::palette();
    return QPalette();
}

} // namespace

bool IsSystemColor(TColor color) { return (static_cast<std::uint32_t>(color) & 0x80000000u) != 0; }

QColor ResolveColor(TColor color) {
    const auto value = static_cast<std::uint32_t>(color);
    if (IsSystemColor(color)) {
        const std::uint32_t index = value & 0x7FFFFFFFu;
        if (index >= kSystemRoles.size())
            return QColor(0, 0, 0);
        const RoleEntry& entry = kSystemRoles[index];
        QColor resolved = currentPalette().color(entry.group, entry.role);
        resolved.setAlpha(255);
        return resolved;
    }
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

TColor ColorToValue(const QColor& color) {
    return static_cast<TColor>(static_cast<std::uint32_t>(color.red()) |
                               (static_cast<std::uint32_t>(color.green()) << 8) |
                               (static_cast<std::uint32_t>(color.blue()) << 16));
}

TColor ContrastTextColor(TColor background) {
    const QColor rgb = ResolveColor(background);
    const double luma = 0.299 * rgb.red() + 0.587 * rgb.green() + 0.114 * rgb.blue();
    // nearbyint honours the default round-half-to-even mode.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(luma);
    std::fesetround(saved);
    return rounded <= 128.0 ? clWhite : clBlack;
}
