#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>

// Where the pointer rests on a command button in edit mode, and what a left-button drag
// from there does: the body moves the button, the edges and the corner size it.
enum class TDragZone { Body, RightEdge, BottomEdge, Corner };

// The band along the right and bottom edges is this many pixels wide.
inline constexpr int DragEdgeBand = 4;
// A drag never makes a button smaller than this, either way.
inline constexpr int MinimumButtonExtent = 10;

// The zone of pointer (x, y) inside a button of the given size.
TDragZone DragZoneAt(int x, int y, int width, int height);

// The pointer shape that shows a zone, and the zone a shape records.
Qt::CursorShape ZoneCursor(TDragZone zone);
TDragZone CursorZone(Qt::CursorShape shape);

// One drag step: the button's geometry after the pointer moved to `pointer` (in the
// button's own coordinates) within a client area of size `client`. A move keeps the spot
// under the pointer that was grabbed at `origin`, within the client area; the upper bound
// is applied after the lower one, so a button larger than the area ends at a negative
// position. Sizing follows the pointer, capped at the area's edge, at least 10 x 10.
QRect DragStep(TDragZone zone, const QRect& geometry, QPoint pointer, QPoint origin,
               QSize client);
