#include "GeometryClamp.h"

#include <algorithm>
#include <limits>

namespace {

// The clamps compute in 64 bits: a client extent minus a far negative position, or a field
// holding the most negative int, must not overflow.
int ToInt(qint64 value) {
    return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max()));
}

} // namespace

std::optional<int> FieldNumber(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

int ClampButtonExtent(int value, int position, int clientExtent) {
    const qint64 limit = qint64(clientExtent) - position;
    qint64 result = value;
    if (result > limit)
        result = limit;
    else if (result < MinButtonExtent)
        result = MinButtonExtent;
    return ToInt(std::max<qint64>(result, 1));
}

int ClampButtonPosition(int value, int extent, int clientExtent) {
    const qint64 limit = qint64(clientExtent) - extent;
    qint64 result = value;
    if (result > limit)
        result = limit;
    else if (result < 0)
        result = 0;
    return ToInt(result);
}

int ClampPanelExtent(int value) {
    return std::max(value, MinPanelExtent);
}

int ClampPanelPosition(int value, int screenExtent) {
    if (value > screenExtent)
        return ToInt(qint64(screenExtent) - 5);
    return std::max(value, 0);
}

Geometry ClampButtonGeometry(const QRect& current, const GeometryFields& fields, QSize client) {
    const int width =
        ClampButtonExtent(fields.width.value_or(current.width()), current.x(), client.width());
    const int height =
        ClampButtonExtent(fields.height.value_or(current.height()), current.y(), client.height());
    const int left = ClampButtonPosition(fields.left.value_or(current.x()), width, client.width());
    const int top = ClampButtonPosition(fields.top.value_or(current.y()), height, client.height());
    return Geometry{left, top, width, height};
}

Geometry ClampPanelGeometry(const QRect& current, const GeometryFields& fields, QSize screen) {
    const int width = ClampPanelExtent(fields.width.value_or(current.width()));
    const int height = ClampPanelExtent(fields.height.value_or(current.height()));
    const int left = ClampPanelPosition(fields.left.value_or(current.x()), screen.width());
    const int top = ClampPanelPosition(fields.top.value_or(current.y()), screen.height());
    return Geometry{left, top, width, height};
}
