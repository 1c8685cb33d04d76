#include "FileResult.h"

#include <QDir>

#include <cstring>

namespace {

// The line's pattern for each step, %1 standing for the file (for a temporary file, its
// folder).
QString StepText(TFileResult::Step step) {
    switch (step) {
    case TFileResult::CreateTemporary:
        return QStringLiteral("%1 に一時ファイルを作れません");
    case TFileResult::Open:
        return QStringLiteral("%1 を開けません");
    case TFileResult::Read:
        return QStringLiteral("%1 を読み込めません");
    case TFileResult::Write:
        return QStringLiteral("%1 に書き込めません");
    case TFileResult::Sync:
        return QStringLiteral("%1 をディスクに書き出せません");
    case TFileResult::Replace:
        return QStringLiteral("%1 を置き換えられません");
    case TFileResult::Done:
    case TFileResult::PlaceRefused:
    case TFileResult::NotALayout:
        break;
    }
    return {};
}

} // namespace

TFileResult TFileResult::Failed(Step step, const QString& path, int error) {
    return Failed(step, path, error, QString::fromLocal8Bit(std::strerror(error)));
}

TFileResult TFileResult::Failed(Step step, const QString& path, int error, const QString& text) {
    TFileResult result;
    result.step = step;
    result.path = path;
    result.error = error;
    result.systemText = text;
    return result;
}

QString TFileResult::Explain() const {
    const QString what = StepText(step);
    if (what.isEmpty())
        return {};
    QString line = what.arg(QDir::toNativeSeparators(path));
    if (!systemText.isEmpty())
        line += QStringLiteral(": ") + systemText;
    return line;
}
