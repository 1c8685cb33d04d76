#include "PressFeedback.h"

TPressFeedback FeedbackFor(TPressOutcome outcome, bool motionEditorLink) {
    const QString last = QStringLiteral("前回の再生: ");
    switch (outcome) {
    case TPressOutcome::Acknowledged:
        return {AcknowledgedFrame, AcknowledgedMs,
                last + (motionEditorLink ? QStringLiteral("モーションエディタに送りました")
                                         : QStringLiteral("応答あり"))};
    case TPressOutcome::NotAnswered:
        return {FailedFrame, FailedMs, last + QStringLiteral("失敗 (応答なし)")};
    case TPressOutcome::NoMotionEditorWindow:
        return {FailedFrame, FailedMs,
                last + QStringLiteral("失敗 (モーションエディタが見つかりません)")};
    case TPressOutcome::NothingSent:
        break;
    }
    return {FailedFrame, FailedMs, last + QStringLiteral("失敗 (ポートが閉じています)")};
}
