#include "PanelLink.h"

#include "Cmd.h"
#include "CommX.h"
#include "FileReport.h"
#include "MessageBox.h"
#include "PanelLayout.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <utility>

namespace {

constexpr int LinkBitRate = 115200;

void Tell(MessageBoxKind kind, const QString& text) {
    ShowMessageBox(kind, MessageButtonsOk, 0, text, 0);
}

// What the system said when it refused the port, with what to do about it; empty when
// the port was not refused by the system (no such port number, a setting refused).
QString RefusalReason(const TCustomCommX& comm) {
    const ICommDevice* device = comm.Device();
    return device ? QString::fromStdString(ExplainPortRefusal(device->LastRefusal())) : QString();
}

void OpenPort(TCustomCommX& comm, int portNo) {
    comm.Close();
    comm.SetBitRate(LinkBitRate);
    comm.SetPortNo(portNo);
    comm.SetTimeOutReceive(Cmd::ReceiveTimeout);
    comm.Open();
    StartLink(comm);
}

} // namespace

TPanelLink::TPanelLink(QObject* parent, std::unique_ptr<ICommDevice> device,
                       std::unique_ptr<IWindowSystem> windows)
    : QObject(parent), m_comm(new TCommX(this, std::move(device))),
      m_windows(windows ? std::move(windows) : CreateWindowSystem()) {
    m_comm->setObjectName(QStringLiteral("CommX1"));
    m_comm->SetBitRate(LinkBitRate);
    m_comm->SetFlowCtrl(cfcNone);
}

TPanelLink::~TPanelLink() = default;

void TPanelLink::SetWindowSystem(std::unique_ptr<IWindowSystem> windows) {
    m_windows = std::move(windows);
}

void TPanelLink::ChooseLink(int index) {
    m_motionEditorWindow = NoWindow;
    m_index = index;
    SelectLink(*m_comm, index);
}

void TPanelLink::RestoreLink(const QString& settingsFile) {
    TFileResult result;
    const std::optional<int> stored = LoadPortChoice(settingsFile, &result);
    ReportFileFailure(result);
    const int index =
        stored && *stored >= MotionEditorLink && *stored <= LastPortIndex ? *stored : -1;
    emit LinkShown(index);
    ChooseLink(index);
}

TPressOutcome TPanelLink::Play(int number) {
    if (m_index == MotionEditorLink)
        return SendToMotionEditor(*m_windows, m_motionEditorWindow, number)
                   ? TPressOutcome::Acknowledged
                   : TPressOutcome::NoMotionEditorWindow;
    // An adapter unplugged under the link and plugged in again is taken up again here.
    RecoverLostLink(*m_comm);
    const bool lineUp = m_comm->IsOpen() && !m_comm->DeviceGone();
    if (Cmd::SendPlayCommand(*m_comm, Cmd::PanelPlayFlag0, Cmd::PanelPlayFlag2,
                             static_cast<unsigned char>(number)))
        return TPressOutcome::Acknowledged;
    return lineUp ? TPressOutcome::NotAnswered : TPressOutcome::NothingSent;
}

void StartLink(TCustomCommX& comm) {
    // One pulse on DTR, with no pause between its edges.
    comm.SetDTR(true);
    comm.SetDTR(false);
    comm.PurgeReceive();
    comm.PurgeTrans();
}

void SelectLink(TCustomCommX& comm, int index) {
    if (index == MotionEditorLink) {
        comm.Close();
        Tell(MessageKindInformation, QStringLiteral("シリアルポートを閉じました"));
        return;
    }
    bool opened = false;
    QString failure;
    try {
        OpenPort(comm, index);
        opened = true;
    } catch (const ECommError& error) {
        failure = DescribeCommError(error);
    } catch (const std::exception&) {
        // Whatever step failed, the rest is skipped and the port ends closed.
    }
    if (opened) {
        Tell(MessageKindInformation, QStringLiteral("COM%1 設定完了").arg(index));
        return;
    }
    const QString refused = QStringLiteral("COM%1は使用できません").arg(comm.PortNo());
    // A refusal of the system says more about an open than the component's message.
    QString reason = RefusalReason(comm);
    if (reason.isEmpty())
        reason = failure;
    if (!reason.isEmpty())
        std::fprintf(stderr, "%s %s\n", qPrintable(refused), qPrintable(reason));
    Tell(MessageKindError, reason.isEmpty() ? refused : refused + QLatin1Char('\n') + reason);
    comm.Close();
}

QString DescribeCommError(const ECommError& error) {
    const QString reason = error.Reason();
    return reason.isEmpty() ? QString() : error.Message() + "（" + reason + "）";
}

bool RecoverLostLink(TCustomCommX& comm) {
    // A failed try leaves the component closed but still marked gone, so the next press
    // tries again.
    if (!comm.DeviceGone() || !comm.Reopen())
        return false;
    StartLink(comm);
    return true;
}

TWindowHandle FindMotionEditor(IWindowSystem& windows) {
    TWindowHandle found = NoWindow;
    for (TWindowHandle window : windows.EnumWindows()) {
        if (!windows.IsWindowVisible(window) || windows.GetWindowText(window).isEmpty())
            continue;
        if (windows.GetClassName(window) == MotionEditorClass) {
            found = window;
            break;
        }
    }
    QCoreApplication::processEvents();
    return found;
}

void PostPlayMessage(IWindowSystem& windows, TWindowHandle window, int number) {
    windows.PostMessage(window, PlayMessage, 0, number);
}

bool SendToMotionEditor(IWindowSystem& windows, TWindowHandle& cached, int number) {
    const bool stale = cached != NoWindow && windows.GetClassName(cached) != MotionEditorClass;
    if (cached == NoWindow || stale)
        cached = FindMotionEditor(windows);
    if (cached == NoWindow)
        return false;
    PostPlayMessage(windows, cached, number);
    return true;
}
