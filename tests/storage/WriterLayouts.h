#pragma once

#include "PanelLayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// The two panels the layout writer saves in turn. They differ in every section and are
// large enough that a save takes a while, so that a kill lands inside one.
inline PanelLayout WriterLayout(int which) {
    PanelLayout layout;
    const int buttons = which == 0 ? 300 : 500;
    layout.caption = which == 0 ? QStringLiteral("Old panel") : QStringLiteral("新しいパネル");
    layout.buttonCounter = buttons;
    for (int i = 0; i < buttons; ++i) {
        PanelButton button;
        button.caption = QStringLiteral("%1 %2").arg(which == 0 ? "Walk" : "歩く").arg(i);
        button.left = i * (which + 1);
        button.motion = i % 85;
        layout.buttons.push_back(button);
    }
    return layout;
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The bytes a save of WriterLayout(which) writes.
inline QByteArray SavedBytes(int which) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("expected.vmd"));
    if (!SaveLayout(path, WriterLayout(which)))
        qFatal("cannot save the expected layout");
    return ReadAll(path);
}

inline QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}
