#include "PicturePreview.h"

#include "PanelLayout.h"

#include <QFileInfo>
#include <QImage>
#include <QPixmap>

namespace {

constexpr int PreviewSize = 160;

} // namespace

TPicturePreview::TPicturePreview(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("PicturePreview"));
    setFixedSize(PreviewSize, PreviewSize);
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::StyledPanel);
}

void TPicturePreview::ShowFile(const QString& fileName) {
    QImage picture;
    // The same reader as the background, so the preview shows what loading would give.
    if (!QFileInfo(fileName).isFile() || !LoadBackground(fileName, picture) || picture.isNull()) {
        clear();
        return;
    }
    QSize shown = picture.size();
    if (shown.width() > PreviewSize || shown.height() > PreviewSize)
        shown.scale(PreviewSize, PreviewSize, Qt::KeepAspectRatio);
    setPixmap(
        QPixmap::fromImage(picture.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}
