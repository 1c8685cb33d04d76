#pragma once

// Test support: the plays a board received, compared with what a press or a hold should
// give: runs of one play number each, in order, with a count that may be open-ended.

#include "SimulatorProcess.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// least to most plays of number one after the other; most -1 for no upper limit.
struct PlayRun {
    int number = -1;
    int least = 1;
    int most = 1;
};
Q_DECLARE_METATYPE(PlayRun)

namespace play_runs {

using Plays = QList<SimulatorProcess::Play>;

// "4 +201 +200 7 +12": each play's number, and the milliseconds since the one before it.
inline QString Describe(const Plays& plays) {
    QStringList parts;
    for (int i = 0; i < plays.size(); ++i) {
        QString part = QString::number(plays[i].number);
        if (i > 0)
            part += QString(" +%1").arg((plays[i].probeMicros - plays[i - 1].probeMicros) / 1000);
        parts << part;
    }
    return parts.join(' ');
}

inline int CountOf(const Plays& plays, int number) {
    int count = 0;
    for (const SimulatorProcess::Play& play : plays)
        count += play.number == number ? 1 : 0;
    return count;
}

// Every run has had at least its least count: what is still to come would be extra.
inline bool LeastReached(const Plays& plays, const QList<PlayRun>& runs) {
    int needed = 0;
    for (const PlayRun& run : runs)
        needed += run.least;
    return plays.size() >= needed;
}

// Empty when the plays are the runs in order, and each play of a run came at least
// minGapMs after the one before it in that run (a lower bound only); else what differs.
inline QString Compare(const Plays& plays, const QList<PlayRun>& runs, int minGapMs) {
    const QString seen = "received " + Describe(plays);
    int at = 0;
    for (const PlayRun& run : runs) {
        int count = 0;
        for (; at < plays.size() && plays[at].number == run.number; ++at, ++count) {
            const qint64 gapMs =
                count > 0 ? (plays[at].probeMicros - plays[at - 1].probeMicros) / 1000 : minGapMs;
            if (gapMs < minGapMs)
                return QString("play %1 came %2 ms after the one before; ").arg(at).arg(gapMs) +
                       seen;
        }
        if (count < run.least || (run.most >= 0 && count > run.most))
            return QString("%1 plays of %2, expected %3 to %4; ")
                       .arg(count)
                       .arg(run.number)
                       .arg(run.least)
                       .arg(run.most) +
                   seen;
    }
    if (at < plays.size())
        return "more than expected; " + seen;
    return QString();
}

} // namespace play_runs
