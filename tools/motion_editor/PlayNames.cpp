#include "PlayNames.h"

namespace {
constexpr qint32 MotionCount = 80;
constexpr qint32 ScenarioCount = 5;
} // namespace

QString PlayLine(qint32 playNumber) {
    const QString raw = QString::number(playNumber);
    if (playNumber >= 0 && playNumber < MotionCount)
        return QStringLiteral("Motion%1 (%2)").arg(playNumber + 1).arg(raw);
    if (playNumber >= MotionCount && playNumber < MotionCount + ScenarioCount)
        return QStringLiteral("Scenario%1 (%2)").arg(playNumber - MotionCount + 1).arg(raw);
    return raw;
}
