#include "PanelFixture.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace bench {

PanelLayout GridLayout(int buttons) {
    PanelLayout layout;
    layout.comm = 0;
    layout.left = 0;
    layout.top = 0;
    layout.width = PanelWidth;
    layout.height = PanelHeight;
    for (int i = 0; i < buttons; ++i) {
        PanelButton button;
        button.caption = QStringLiteral("M%1").arg(i % 85 + 1);
        button.left = (i % GridColumns) * GridButtonWidth;
        button.top = (i / GridColumns) * GridButtonHeight;
        button.width = GridButtonWidth;
        button.height = GridButtonHeight;
        button.motion = i % 85;
        button.shortCut = 'A' + i % 26;
        button.color = i % 3 == 0 ? clBtnFace : TColor(i * 2654435761u & 0xFFFFFF);
        layout.buttons.push_back(button);
    }
    layout.buttonCounter = buttons;
    return layout;
}

bool WriteGridLayout(const QString& path, int buttons) {
    if (::SaveLayout(path, GridLayout(buttons)))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

QString PreparePanelCopy(const QString& folder, int buttons) {
    const QString copy = QDir(folder).filePath(QStringLiteral("tapdeck"));
    if (!QDir().mkpath(folder) || (!QFile::exists(copy) && !QFile::copy(TAPDECK_PROGRAM, copy))) {
        std::fprintf(stderr, "cannot copy %s to %s\n", TAPDECK_PROGRAM, qPrintable(copy));
        return QString();
    }
    if (!WriteGridLayout(QDir(folder).filePath(QLatin1String(SettingsFileName)), buttons))
        return QString();
    return copy;
}

} // namespace bench
