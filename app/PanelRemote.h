#pragma once

#include "RemotePanel.h"

#include <QObject>

class TCmdMain;

// The panel as remote control sees it: the main window's buttons described, and presses,
// holds and the stop given to its one owner of presses.
class TPanelRemote : public QObject, public IRemotePanel {
    Q_OBJECT
public:
    explicit TPanelRemote(TCmdMain& panel, QObject* parent = nullptr);

    TRemotePanelView View() const override;
    TRemoteStatus Status() const override;
    void PressButton(const QString& name, TDone done) override;
    void PlayNumber(int number, TDone done) override;
    void StopAll() override;
    void HoldDown(const QString& name, int client) override;
    void HoldUp(const QString& name, int client) override;
    void EndClient(int client) override;

signals:
    // Every play of a button that ends, whatever pressed it.
    void Outcome(const QString& button, TRemoteOutcome outcome);
    // The layout changed: clients draw it again.
    void PanelChanged();

private:
    TCmdMain& m_panel;
};

// The remote name of a press's outcome.
TRemoteOutcome RemoteOutcomeOf(TPressOutcome outcome);
