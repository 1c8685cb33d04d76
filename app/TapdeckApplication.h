#pragma once

#include <QApplication>

// The application object. An exception that escapes an event handler is caught where
// the event is dispatched, reported in an error box, and the program goes on.
class TTapdeckApplication : public QApplication {
    Q_OBJECT
public:
    TTapdeckApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The text of the task bar entry; the main window's title bar shows only its caption.
    static QString Title() { return QStringLiteral("Orvix Tapdeck3"); }
    static void SetTitle(const QString& title);
};
