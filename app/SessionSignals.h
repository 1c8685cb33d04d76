#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the session's requests to end the program (SIGTERM, SIGHUP, SIGINT) into a
// Qt signal on the GUI thread. One instance at a time; it restores the previous
// handlers when it goes.
class TSessionSignals : public QObject {
    Q_OBJECT
public:
    explicit TSessionSignals(QObject* parent = nullptr);
    ~TSessionSignals() override;

    // The signals listened to.
    static QList<int> Handled();

signals:
    void Received(int signalNumber);

protected:
    void connectNotify(const QMetaMethod& signal) override;

private:
    void Drain();

    QSocketNotifier* m_notifier = nullptr;
    int m_readFd = -1;
};
