#include "PanelRemote.h"

#include "CmdMain.h"
#include "ColorBtn.h"
#include "CommX.h"
#include "CommandButtonValues.h"
#include "PanelLink.h"
#include "PressControl.h"

#include <QApplication>

namespace {

quint32 Rgb(TColor color) {
    return ResolveColor(color).rgb();
}

void Blocked(const IRemotePanel::TDone& done) {
    if (done)
        done(TRemoteOutcome::Blocked);
}

TPressDone Mapped(IRemotePanel::TDone done) {
    return [done = std::move(done)](const TPressResult& result) {
        if (!done)
            return;
        switch (result.kind) {
        case TPressResult::Kind::Played:
            done(RemoteOutcomeOf(result.outcome));
            break;
        case TPressResult::Kind::Off:
            done(TRemoteOutcome::Off);
            break;
        case TPressResult::Kind::Dropped:
            done(TRemoteOutcome::NothingSent);
            break;
        }
    };
}

} // namespace

TRemoteOutcome RemoteOutcomeOf(TPressOutcome outcome) {
    switch (outcome) {
    case TPressOutcome::Acknowledged:
        return TRemoteOutcome::Acknowledged;
    case TPressOutcome::NotAnswered:
        return TRemoteOutcome::NotAnswered;
    case TPressOutcome::NoMotionEditorWindow:
        return TRemoteOutcome::NoMotionEditor;
    case TPressOutcome::NothingSent:
        break;
    }
    return TRemoteOutcome::NothingSent;
}

TPanelRemote::TPanelRemote(TCmdMain& panel, QObject* parent) : QObject(parent), m_panel(panel) {
    connect(&panel.Presses(), &TPressControl::PlayEnded, this,
            [this](TColorBtn* button, int, TPressOutcome outcome) {
                if (button)
                    emit Outcome(button->objectName(), RemoteOutcomeOf(outcome));
            });
    connect(&panel, &TCmdMain::PanelChanged, this, &TPanelRemote::PanelChanged);
}

TRemotePanelView TPanelRemote::View() const {
    TRemotePanelView view;
    view.caption = m_panel.Caption();
    view.width = m_panel.width();
    view.height = m_panel.height();
    view.color = Rgb(m_panel.Color());
    for (const TColorBtn* button : m_panel.CommandButtons()) {
        TRemoteButton shown;
        shown.name = button->objectName();
        shown.caption = button->Caption().isEmpty() ? button->CaptionLines().join(QLatin1Char('\n'))
                                                    : button->Caption();
        shown.left = button->x();
        shown.top = button->y();
        shown.width = button->width();
        shown.height = button->height();
        shown.color = Rgb(button->Color());
        shown.textColor = Rgb(button->FontColor());
        shown.play = ::PlayNumber(*button);
        shown.held = IsHeldButton(*button);
        view.buttons.push_back(shown);
    }
    return view;
}

TRemoteStatus TPanelRemote::Status() const {
    TRemoteStatus status;
    const int index = m_panel.Link().LinkIndex();
    if (index == MotionEditorLink)
        status.link = QStringLiteral("PWT3");
    else if (index > 0)
        status.link = QStringLiteral("COM%1").arg(index);
    // The motion editor link needs no port.
    status.open = index == MotionEditorLink ||
                  (index > 0 && m_panel.CommX1->IsOpen() && !m_panel.CommX1->DeviceGone());
    status.editMode = m_panel.EditMode();
    return status;
}

void TPanelRemote::PressButton(const QString& name, TDone done) {
    TColorBtn* button = m_panel.FindCommandButton(name);
    if (!button) {
        if (done)
            done(TRemoteOutcome::UnknownButton);
        return;
    }
    if (QApplication::activeModalWidget()) {
        Blocked(done);
        return;
    }
    m_panel.Presses().RemotePress(button, Mapped(std::move(done)));
}

void TPanelRemote::PlayNumber(int number, TDone done) {
    if (QApplication::activeModalWidget()) {
        Blocked(done);
        return;
    }
    // Edit mode plays nothing, whatever asks.
    if (m_panel.EditMode()) {
        if (done)
            done(TRemoteOutcome::Off);
        return;
    }
    m_panel.Presses().PlayFixedNumber(number, Mapped(std::move(done)));
}

void TPanelRemote::StopAll() {
    m_panel.Presses().StopAll();
}

void TPanelRemote::HoldDown(const QString& name, int client) {
    TColorBtn* button = m_panel.FindCommandButton(name);
    if (button && !QApplication::activeModalWidget())
        m_panel.Presses().RemoteDown(button, client);
}

// An up always counts: it ends what its down began.
void TPanelRemote::HoldUp(const QString& name, int client) {
    if (TColorBtn* button = m_panel.FindCommandButton(name))
        m_panel.Presses().RemoteUp(button, client);
}

void TPanelRemote::EndClient(int client) {
    m_panel.Presses().EndRemote(client);
}
