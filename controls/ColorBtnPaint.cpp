#include "ColorBtnPaint.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringList>
#include <QtMath>

namespace {

Qt::Alignment horizontalFormat(TNHAlignment align) {
    switch (align) {
    case haLeft:
        return Qt::AlignLeft;
    case haRight:
        return Qt::AlignRight;
    case haCenter:
        break;
    }
    return Qt::AlignHCenter;
}

// Captions keep CR LF line ends; the painter breaks lines at LF only.
QString displayText(const QString& text) {
    QString result = text;
    result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

// Underlines the character after '&' and shows "&&" as '&', as button captions do.
int textFlags(TNHAlignment align) {
    return int(horizontalFormat(align)) | Qt::AlignTop | Qt::TextDontClip | Qt::TextShowMnemonic;
}

void drawRow(QPainter& p, int y, int left, int right, const QColor& color) {
    if (right > left)
        p.fillRect(QRect(left, y, right - left, 1), color);
}

void drawColumn(QPainter& p, int x, int top, int bottom, const QColor& color) {
    if (bottom > top)
        p.fillRect(QRect(x, top, 1, bottom - top), color);
}

// rect is (L, T, R, B) with R and B exclusive, as QRect's x()+width().
void drawOutline(QPainter& p, const QRect& r, const QColor& color) {
    const int l = r.x(), t = r.y(), rr = r.x() + r.width(), b = r.y() + r.height();
    drawRow(p, t, l, rr, color);
    drawRow(p, b - 1, l, rr, color);
    drawColumn(p, l, t, b, color);
    drawColumn(p, rr - 1, t, b, color);
}

void drawStdFrame(QPainter& p, QRect r, const ColorBtnLook& look) {
    if (look.active || look.focused) {
        drawOutline(p, r, ResolveColor(look.frameColor));
        r.adjust(1, 1, -1, -1);
    }
    if (look.pressed) {
        drawOutline(p, r, ResolveColor(look.edgeShadow));
        return;
    }
    const int l = r.x(), t = r.y(), rr = r.x() + r.width(), b = r.y() + r.height();
    const QColor light = ResolveColor(look.edgeHighlight);
    const QColor frame = ResolveColor(look.frameColor);
    const QColor shadow = ResolveColor(look.edgeShadow);
    drawRow(p, t, l, rr, light);
    drawColumn(p, l, t, b, light);
    drawColumn(p, rr - 1, t, b, frame);
    drawRow(p, b - 1, l, rr, frame);
    drawColumn(p, rr - 2, t + 1, b - 1, shadow);
    drawRow(p, b - 2, l + 1, rr - 1, shadow);
}

void drawFlatFrame(QPainter& p, const QRect& r, const ColorBtnLook& look) {
    if (!look.pressed && !look.hovered)
        return;
    const QColor light = ResolveColor(look.edgeHighlight);
    const QColor shadow = ResolveColor(look.edgeShadow);
    const QColor& topLeft = look.pressed ? shadow : light;
    const QColor& bottomRight = look.pressed ? light : shadow;
    const int l = r.x(), t = r.y(), rr = r.x() + r.width(), b = r.y() + r.height();
    drawRow(p, t, l, rr, topLeft);
    drawColumn(p, l, t, b, topLeft);
    drawColumn(p, rr - 1, t, b, bottomRight);
    drawRow(p, b - 1, l, rr, bottomRight);
}

// The dotted focus rectangle: every other pixel of the outline inverted against the
// pattern colours (text black, background button face), so drawing it twice removes it.
// Pixels are the button's own; on a scaled screen each covers a block of device pixels.
// The image holds the part of the button from `origin` on; only that part is visited.
void drawFocusRect(QImage& image, const QRect& r, QPoint origin, qreal dpr) {
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const QRgb mask = ResolveColor(clBtnFace).rgb() & 0x00FFFFFFu;
    const QRect shown(origin, QSize(qCeil(image.width() / dpr), qCeil(image.height() / dpr)));
    auto device = [dpr](int v) { return qRound(v * dpr); };
    const QPoint shift(device(origin.x()), device(origin.y()));
    auto invert = [&](int x, int y) {
        if ((x + y) % 2 != 0)
            return;
        for (int dy = qMax(device(y) - shift.y(), 0);
             dy < device(y + 1) - shift.y() && dy < image.height(); ++dy) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(dy));
            for (int dx = qMax(device(x) - shift.x(), 0);
                 dx < device(x + 1) - shift.x() && dx < image.width(); ++dx)
                line[dx] ^= mask;
        }
    };
    const int l = r.x(), t = r.y(), rr = r.x() + r.width(), b = r.y() + r.height();
    // Only the stretch of each row and column that lies in the image; invert skips the
    // pixels of rows or columns outside it.
    for (int x = qMax(l, shown.left()); x < qMin(rr, shown.right() + 1); ++x) {
        invert(x, t);
        if (b - 1 > t)
            invert(x, b - 1);
    }
    for (int y = qMax(t + 1, shown.top()); y < qMin(b - 1, shown.bottom() + 1); ++y) {
        invert(l, y);
        if (rr - 1 > l)
            invert(rr - 1, y);
    }
}

void drawOutcomeFrame(QPainter& p, const QRect& client, TButtonStyle style, const QColor& color,
                      const QColor& separator) {
    const int inset = OutcomeFrameInset(style) - OutcomeSeparatorWidth;
    QRect r = client.adjusted(inset, inset, -inset, -inset);
    auto ring = [&](int width, const QColor& lineColor) {
        for (int i = 0; i < width && r.width() > 0 && r.height() > 0; ++i) {
            drawOutline(p, r, lineColor);
            r.adjust(1, 1, -1, -1);
        }
    };
    ring(OutcomeSeparatorWidth, separator);
    ring(OutcomeFrameWidth, color);
    ring(OutcomeSeparatorWidth, separator);
}

} // namespace

QRect CaptionTextRect(const CaptionPlacement& c) {
    QRect rect(0, 0, c.clientWidth, c.textHeight);
    int dx = 0, dy = 0;
    if (c.alignV == vaCenter)
        dy += (c.clientHeight - c.textHeight) / 2; // C++ division truncates toward zero
    else if (c.alignV == vaBottom)
        dy += c.clientHeight - c.textHeight;
    if (c.alignH == haLeft)
        dx += 5;
    else if (c.alignH == haRight)
        dx -= 5;
    if (c.alignV == vaTop)
        dy += 4;
    else if (c.alignV == vaBottom)
        dy -= 5;
    // A loose caption sits one pixel nearer its edges while the button is idle.
    if (c.style == bsStd && !c.capFixed && !c.activeOrFocused) {
        if (c.alignH == haLeft)
            dx -= 1;
        else if (c.alignH == haRight)
            dx += 1;
        if (c.alignV == vaTop)
            dy -= 1;
        else if (c.alignV == vaBottom)
            dy += 1;
    }
    dx += c.offsetH;
    dy += c.offsetV;
    if (c.pressed) {
        dx += 1;
        dy += 1;
    }
    rect.translate(dx, dy);
    return rect;
}

QString ButtonText(const QString& caption, const QStringList& lines) {
    return caption.isEmpty() ? lines.join(QLatin1String("\r\n")) : caption;
}

QImage PaintColorBtn(const ColorBtnLook& look, qreal devicePixelRatio, const QRect& exposed) {
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QRect client(0, 0, look.width, look.height);
    QRect part = exposed.isNull() ? client : exposed & client;
    if (part.isEmpty())
        part = QRect(part.topLeft(), QSize(1, 1));
    QImage image(qMax(qCeil(part.width() * dpr), 1), qMax(qCeil(part.height() * dpr), 1),
                 QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    QPainter p(&image);
    // Everything below is drawn in the button's coordinates; the image holds `part`.
    p.translate(-part.topLeft());
    p.setFont(look.font);

    const TColor face = look.enabled ? look.color : clBtnFace;
    p.fillRect(QRectF(part.topLeft(), image.deviceIndependentSize()), ResolveColor(face));
    // Under the caption, the edge and the focus line, so that it hides none of them. The
    // lines are the face's own contrast colour, not the font's, which an owner may choose.
    if (look.outcomeFrame)
        drawOutcomeFrame(p, client, look.style, ResolveColor(*look.outcomeFrame),
                         ResolveColor(ContrastTextColor(face)));

    const QString text = displayText(look.text);
    const int flags = textFlags(look.alignH);
    const int textHeight = p.fontMetrics().boundingRect(QRect(), flags, text).height();
    CaptionPlacement placement;
    placement.clientWidth = look.width;
    placement.clientHeight = look.height;
    placement.textHeight = textHeight;
    placement.alignH = look.alignH;
    placement.alignV = look.alignV;
    placement.style = look.style;
    placement.capFixed = look.capFixed;
    placement.activeOrFocused = look.active || look.focused;
    placement.offsetH = look.offsetH;
    placement.offsetV = look.offsetV;
    placement.pressed = look.pressed;
    const QRect textRect = CaptionTextRect(placement);
    if (look.enabled) {
        p.setPen(ResolveColor(look.fontColor));
        p.drawText(textRect, flags, text);
    } else {
        p.setPen(ResolveColor(clBtnHighlight));
        p.drawText(textRect.translated(1, 1), flags, text);
        p.setPen(ResolveColor(clBtnShadow));
        p.drawText(textRect, flags, text);
    }

    if (look.style == bsStd)
        drawStdFrame(p, client, look);
    else if (look.style == bsIELike)
        drawFlatFrame(p, client, look);
    p.end();

    if (look.focusline && look.active && look.focused) {
        const int inset = look.style == bsStd ? 4 : look.style == bsIELike ? 2 : 0;
        drawFocusRect(image, client.adjusted(inset, inset, -inset, -inset), part.topLeft(), dpr);
    }
    return image;
}
