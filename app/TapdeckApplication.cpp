#include "TapdeckApplication.h"

#include "CommX.h"
#include "MessageBox.h"
#include "PanelLink.h"

#include <QLibraryInfo>
#include <QTranslator>

#include <exception>

namespace {

void ReportUnhandled(const QString& detail) {
    QString text = QStringLiteral("予期しないエラーが発生しました。");
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    ShowMessageBox(MessageKindError, MessageButtonsOk, 0, text, 0);
}

} // namespace

TTapdeckApplication::TTapdeckApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // The main window's close ends the program; the tool window never keeps it alive.
    setQuitOnLastWindowClosed(false);
    // The interface is Japanese: Qt's own texts (box buttons, file dialogs) too.
    auto* qtTexts = new QTranslator(this);
    if (qtTexts->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTexts);
}

void TTapdeckApplication::SetTitle(const QString& title) {
    // As the application name (not the display name), the title is not appended to every
    // window title on X11, and the title bar keeps showing the caption alone.
    setApplicationName(title);
}

bool TTapdeckApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const ECommError& error) {
        const QString described = DescribeCommError(error);
        ReportUnhandled(described.isEmpty() ? error.Message() : described);
    } catch (const std::exception& error) {
        ReportUnhandled(QString::fromUtf8(error.what()));
    } catch (...) {
        ReportUnhandled(QString());
    }
    return false;
}
