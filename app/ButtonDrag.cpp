#include "ButtonDrag.h"

#include <QtGlobal>

#include <algorithm>
#include <limits>

TDragZone DragZoneAt(int x, int y, int width, int height) {
    const bool right = x > width - (DragEdgeBand + 1);
    const bool bottom = y > height - (DragEdgeBand + 1);
    if (right && bottom)
        return TDragZone::Corner;
    if (right)
        return TDragZone::RightEdge;
    if (bottom)
        return TDragZone::BottomEdge;
    return TDragZone::Body;
}

Qt::CursorShape ZoneCursor(TDragZone zone) {
    switch (zone) {
    case TDragZone::RightEdge:
        return Qt::SizeHorCursor;
    case TDragZone::BottomEdge:
        return Qt::SizeVerCursor;
    case TDragZone::Corner:
        return Qt::SizeFDiagCursor;
    case TDragZone::Body:
        break;
    }
    return Qt::ArrowCursor;
}

TDragZone CursorZone(Qt::CursorShape shape) {
    switch (shape) {
    case Qt::SizeHorCursor:
        return TDragZone::RightEdge;
    case Qt::SizeVerCursor:
        return TDragZone::BottomEdge;
    case Qt::SizeFDiagCursor:
        return TDragZone::Corner;
    default:
        return TDragZone::Body;
    }
}

namespace {

// 64-bit arithmetic: stored geometry may reach the limits of an int.
int Clamped(qint64 v) {
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

QRect Moved(const QRect& geometry, QPoint pointer, QPoint origin, QSize client) {
    qint64 x = qint64(geometry.x()) + pointer.x() - origin.x();
    qint64 y = qint64(geometry.y()) + pointer.y() - origin.y();
    if (x < 0)
        x = 0;
    if (x > qint64(client.width()) - geometry.width())
        x = qint64(client.width()) - geometry.width();
    if (y < 0)
        y = 0;
    if (y > qint64(client.height()) - geometry.height())
        y = qint64(client.height()) - geometry.height();
    return QRect(Clamped(x), Clamped(y), geometry.width(), geometry.height());
}

} // namespace

QRect DragStep(TDragZone zone, const QRect& geometry, QPoint pointer, QPoint origin,
               QSize client) {
    if (zone == TDragZone::Body)
        return Moved(geometry, pointer, origin, client);
    qint64 w = geometry.width();
    qint64 h = geometry.height();
    if (zone == TDragZone::RightEdge || zone == TDragZone::Corner)
        w = qMin<qint64>(pointer.x(), qint64(client.width()) - geometry.x());
    if (zone == TDragZone::BottomEdge || zone == TDragZone::Corner)
        h = qMin<qint64>(pointer.y(), qint64(client.height()) - geometry.y());
    if (w < MinimumButtonExtent)
        w = MinimumButtonExtent;
    if (h < MinimumButtonExtent)
        h = MinimumButtonExtent;
    return QRect(geometry.x(), geometry.y(), Clamped(w), Clamped(h));
}
