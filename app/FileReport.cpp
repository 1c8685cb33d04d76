#include "FileReport.h"

#include "MessageBox.h"

#include <QDir>

#include <cstdio>

QString CannotSaveMessage() {
    return QStringLiteral("指定の場所には保存できません");
}

void ReportFileFailure(const TFileResult& result) {
    if (result.ok())
        return;
    if (result.step == TFileResult::NotALayout) {
        ShowMessageBox(MessageKindError, MessageButtonsOk, 0,
                       QStringLiteral("%1\nレイアウトファイルではありません")
                           .arg(QDir::toNativeSeparators(result.path)),
                       0);
        return;
    }
    const QString reason = result.Explain();
    QString text = CannotSaveMessage();
    if (!reason.isEmpty()) {
        std::fprintf(stderr, "%s %s\n", qPrintable(text), qPrintable(reason));
        text += QLatin1Char('\n') + reason;
    }
    ShowMessageBox(MessageKindError, MessageButtonsOk, 0, text, 0);
}
