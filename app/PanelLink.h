#pragma once

#include "CommDevice.h"
#include "WindowSystem.h"

#include <QObject>
#include <QString>

#include <memory>

class ECommError;
class TCommX;
class TCustomCommX;

// Port list index of the motion editor link; 1-30 are COM1-COM30, -1 is no selection.
inline constexpr int MotionEditorLink = 0;
// The highest port list index, COM30.
inline constexpr int LastPortIndex = 30;

// The motion editor program's main window is known by this window class, exactly.
inline const QString MotionEditorClass = QStringLiteral("TPosewright3");
// The play message: WM_APP, wParam 0, lParam the play number.
inline constexpr quint32 PlayMessage = WM_APP;
// Accepted by the main window and ignored.
inline constexpr quint32 IgnoredAppMessage = WM_APP + 100;

// What became of one press that had a number to play.
enum class TPressOutcome {
    Acknowledged,         // the board acknowledged, or the message went to the motion editor
    NotAnswered,          // the probe or the command went unanswered
    NoMotionEditorWindow, // the motion editor link, and no motion editor window to post to
    NothingSent,          // the port is closed, or its device has gone
};

// The link between the panel and the robot: the serial component, the window system
// through which the motion editor is found and told, and which of the two a play takes.
// It takes back an adapter that was unplugged and plugged in again. Who plays when is
// decided by its caller.
class TPanelLink : public QObject {
    Q_OBJECT
public:
    // Without a device the termios device is used; without a window system, X11's.
    explicit TPanelLink(QObject* parent = nullptr, std::unique_ptr<ICommDevice> device = {},
                        std::unique_ptr<IWindowSystem> windows = {});
    ~TPanelLink() override;

    // The serial component, one of the main window's components.
    TCommX& Comm() const { return *m_comm; }
    IWindowSystem& WindowSystem() const { return *m_windows; }
    void SetWindowSystem(std::unique_ptr<IWindowSystem> windows);

    // The user chose a port list entry (also the one already chosen): the cached motion
    // editor window is forgotten, then the link is selected and the box tells how it went.
    void ChooseLink(int index);
    // The choice kept in the settings file; a file that cannot be read or written (the box
    // has been shown) chooses nothing, which opens no port.
    void RestoreLink(const QString& settingsFile);
    int LinkIndex() const { return m_index; }
    // The cached motion editor window; NoWindow until a press finds one.
    TWindowHandle MotionEditorWindow() const { return m_motionEditorWindow; }

    // One play number over the chosen link, waited for to the end; lets the event loop run.
    TPressOutcome Play(int number);

signals:
    // The chosen entry changed other than by the user's choice in the list.
    void LinkShown(int index);

private:
    TCommX* m_comm;
    std::unique_ptr<IWindowSystem> m_windows;
    int m_index = -1;
    TWindowHandle m_motionEditorWindow = NoWindow;
};

// The link selection's steps for a port list index. The motion editor link closes the
// port; any other index (re)opens COMn at 115200 baud with the board's receive time-out,
// or reports that the port cannot be used and leaves it closed. One box tells how it went.
void SelectLink(TCustomCommX& comm, int index);

// The component's message with what failed beneath it, "通信パリティチェックの設定でエラーが
// 発生しました（tcsetattr: ...）"; empty when it carries no failure.
QString DescribeCommError(const ECommError& error);

// What follows every opening of a COM link, by the user's choice or after the device
// came back: one DTR pulse, then both queues emptied.
void StartLink(TCustomCommX& comm);

// Brings back a COM link whose device went away (a USB adapter unplugged): once a device
// is there again under the same name, the port is opened again with the settings the
// component holds and started as the link selection starts it. Tells the user nothing;
// a port that another program has taken meanwhile is left to it. Does nothing when the
// link's device has not gone. True when the port was opened again.
bool RecoverLostLink(TCustomCommX& comm);

// The first visible, titled top-level window of the motion editor's class, from the top
// of the stacking order down; NoWindow when none. Lets waiting events run before it returns.
TWindowHandle FindMotionEditor(IWindowSystem& windows);

// Posts one play message; nothing is awaited and the result is not examined.
void PostPlayMessage(IWindowSystem& windows, TWindowHandle window, int number);

// A press over the motion editor link: searches when nothing is cached, or when the
// cached window has gone or no longer belongs to the motion editor (the program was
// restarted), then posts to the window found. False when none is running: nothing is sent.
bool SendToMotionEditor(IWindowSystem& windows, TWindowHandle& cached, int number);
