#pragma once

#include <QLabel>

// The preview pane of the picture dialog: the selected file's picture, scaled down to fit
// and keeping its proportions; empty for anything that is no readable bitmap or JPEG.
class TPicturePreview : public QLabel {
    Q_OBJECT
public:
    explicit TPicturePreview(QWidget* parent = nullptr);

    void ShowFile(const QString& fileName);
};
