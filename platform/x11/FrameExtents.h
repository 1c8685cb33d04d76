#pragma once

#include <QAbstractNativeEventFilter>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <optional>

// The frame a window manager puts around one top-level window on X11, as the manager
// reports it (_NET_FRAME_EXTENTS). Known only once the manager has said so: for a window
// about to be mapped when it answers a request, else once it frames the window. Without
// a window manager that reports frames (or not on X11), Reported() is false and there is
// nothing to wait for. Owned by the widget.
class TFrameExtents : public QObject, private QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit TFrameExtents(QWidget* window);
    ~TFrameExtents() override;

    // A window manager runs that reports the frames it draws.
    bool Reported() const { return m_extentsAtom != 0; }
    // The frame as last reported; none until the manager has told it.
    std::optional<QMargins> Current() const { return m_current; }
    // Asks the manager for the frame it will give the (created, unmapped) window and waits
    // up to timeoutMs for the answer. None when it does not answer requests or in time.
    std::optional<QMargins> Request(int timeoutMs);

signals:
    // From the event loop, after the manager has set the frame anew.
    void Changed(QMargins frame);

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    std::optional<QMargins> Read() const;

    QPointer<QWidget> m_window;
    quint32 m_extentsAtom = 0; // 0: no manager that reports frames
    quint32 m_requestAtom = 0; // 0: the manager does not answer requests
    std::optional<QMargins> m_current;
};
