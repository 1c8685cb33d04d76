#include "SelectLink.h"

#include "Cmd.h"
#include "CommX.h"
#include "MessageBox.h"

#include <exception>

namespace {

constexpr unsigned char KindInformation = 1;
constexpr unsigned char KindError = 3;
constexpr unsigned char ButtonsOk = 2;
constexpr int LinkBitRate = 115200;

void Tell(unsigned char kind, const QString& text) {
    ShowMessageBox(kind, ButtonsOk, 0, text, 0);
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
        Tell(KindInformation, QStringLiteral("シリアルポートを閉じました"));
        return;
    }
    bool opened = false;
    try {
        OpenPort(comm, index);
        opened = true;
    } catch (const std::exception&) {
        // Whatever step failed, the rest is skipped and the port ends closed.
    }
    if (opened) {
        Tell(KindInformation, QStringLiteral("COM%1 設定完了").arg(index));
        return;
    }
    Tell(KindError, QStringLiteral("COM%1は使用できません").arg(comm.PortNo()));
    comm.Close();
}
