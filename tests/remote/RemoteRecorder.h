#pragma once

#include "RemotePanel.h"
#include "RemoteSettings.h"

#include <QSet>
#include <QStringList>

// The panel as the server sees it, recording every call; presses answer at once with
// `outcome`, or wait in `pending` when `answerLater` is set.
class TRemoteRecorder final : public IRemotePanel {
public:
    TRemotePanelView view;
    TRemoteStatus status;
    QSet<QString> names{QStringLiteral("CB_1"), QStringLiteral("CB_2")};
    TRemoteOutcome outcome = TRemoteOutcome::Acknowledged;
    bool answerLater = false;
    std::vector<TDone> pending;
    QStringList calls;

    TRemotePanelView View() const override { return view; }
    TRemoteStatus Status() const override { return status; }
    void PressButton(const QString& name, TDone done) override {
        calls << QStringLiteral("press %1").arg(name);
        Answer(names.contains(name) ? outcome : TRemoteOutcome::UnknownButton, std::move(done));
    }
    void PlayNumber(int number, TDone done) override {
        calls << QStringLiteral("play %1").arg(number);
        Answer(outcome, std::move(done));
    }
    void StopAll() override { calls << QStringLiteral("stop"); }
    void HoldDown(const QString& name, int client) override {
        calls << QStringLiteral("down %1 %2").arg(name).arg(client);
    }
    void HoldUp(const QString& name, int client) override {
        calls << QStringLiteral("up %1 %2").arg(name).arg(client);
    }
    void EndClient(int client) override { calls << QStringLiteral("end %1").arg(client); }

private:
    void Answer(TRemoteOutcome result, TDone done) {
        if (answerLater && result != TRemoteOutcome::UnknownButton)
            pending.push_back(std::move(done));
        else
            done(result);
    }
};

// Settings for a server on a free port of the loopback address.
inline TRemoteSettings LoopbackSettings(
    const QString& token = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCDEFG")) {
    TRemoteSettings settings;
    settings.enabled = true;
    settings.port = 0;
    settings.token = token;
    return settings;
}
