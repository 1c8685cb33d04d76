#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QWidget>

// Messages that other programs post to one of our top-level windows (the posting side
// is IWindowSystem::PostMessage). Reads Qt's xcb events and takes only those messages
// out of them; on other platforms it never fires. One receiver per window. The widget need not be
// created yet: its window is looked up for each event. Owned by the widget unless deleted earlier.
class TWindowMessageReceiver : public QObject, private QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit TWindowMessageReceiver(QWidget* window);
    ~TWindowMessageReceiver() override;

signals:
    // Emitted from the event loop, after the native event has been handled.
    void Received(quint32 message, qint32 wParam, qint32 lParam);

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    QPointer<QWidget> m_window;
    quint32 m_messageAtom = 0; // 0: not on X11, nothing matches
};
