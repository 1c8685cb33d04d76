#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

// The numbers the property editor's four geometry fields hold; nullopt where a field's
// text is no integer, which keeps the property's current value.
struct GeometryFields {
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> left;
    std::optional<int> top;
};

// A field's text as an integer; nullopt for empty text, other text or a value beyond int.
std::optional<int> FieldNumber(const QString& text);

// Left, top, width and height as plain numbers: a huge width beside a position would
// overflow a QRect's right edge.
struct Geometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Geometry&) const = default;
};

// Smallest width and height of a button that the clamp gives.
inline constexpr int MinButtonExtent = 10;
// Smallest outer width and height of the panel.
inline constexpr int MinPanelExtent = 116;

// One extent of a button (width or height) at `position` in a client area `clientExtent`
// across: the client limit first, and only a value within it is raised to the minimum.
// The result is never below 1, even for a button standing beyond the client area's edge.
int ClampButtonExtent(int value, int position, int clientExtent);
// One position of a button (left or top) whose extent is `extent`: at most the client
// limit, else at least 0. A negative limit stays negative.
int ClampButtonPosition(int value, int extent, int clientExtent);
// One outer extent of the panel: at least MinPanelExtent, no upper limit.
int ClampPanelExtent(int value);
// One position of the panel on a screen `screenExtent` across: beyond the screen gives
// screenExtent - 5, below 0 gives 0; the screen's extent itself is kept.
int ClampPanelPosition(int value, int screenExtent);

// The whole button rectangle after the four steps in their order: width, height, then
// left and top against the width and height just set.
Geometry ClampButtonGeometry(const QRect& current, const GeometryFields& fields, QSize client);
// The panel's outer frame after the four steps; `screen` is the screen's size.
Geometry ClampPanelGeometry(const QRect& current, const GeometryFields& fields, QSize screen);
