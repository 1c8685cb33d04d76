#include "MessageBox.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <array>

namespace {

constexpr int kLanguages = 2;
constexpr int kKinds = 4;

// Rows: language 0 Japanese, 1 English; columns: kind 0-3.
const std::array<std::array<const char*, kKinds>, kLanguages> kCaptions = {{
    {"警告", "情報", "確認", "エラー"},
    {"Warning", "Information", "Question", "Error"},
}};

constexpr std::array<unsigned int, kKinds> kIconFlags = {MB_ICONWARNING, MB_ICONINFORMATION,
                                                         MB_ICONQUESTION, MB_ICONERROR};

// Entry 0 is never shown: index 0 selects the text argument.
const std::array<const char*, 2> kCannedMessages = {"", "DATA NAMEの変更ができます"};

struct ButtonSet {
    unsigned int flag;
    QList<int> answers;
};

ButtonSet buttonSet(unsigned char code) {
    switch (code) {
    case MessageButtonsAbortRetryIgnore:
        return {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}};
    case MessageButtonsOkHelp:
        return {MB_HELP, {IDOK, IDHELP}};
    case MessageButtonsOkCancel:
        return {MB_OKCANCEL, {IDOK, IDCANCEL}};
    case MessageButtonsRetryCancel:
        return {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}};
    case MessageButtonsYesNo:
        return {MB_YESNO, {IDYES, IDNO}};
    case MessageButtonsYesNoCancel:
        return {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}};
    default: // MessageButtonsOk, and codes above 6
        return {MB_OK, {IDOK}};
    }
}

QMessageBox::StandardButton standardButton(int result) {
    switch (result) {
    case IDOK:
        return QMessageBox::Ok;
    case IDCANCEL:
        return QMessageBox::Cancel;
    case IDABORT:
        return QMessageBox::Abort;
    case IDRETRY:
        return QMessageBox::Retry;
    case IDIGNORE:
        return QMessageBox::Ignore;
    case IDYES:
        return QMessageBox::Yes;
    case IDNO:
        return QMessageBox::No;
    case IDHELP:
        return QMessageBox::Help;
    default:
        return QMessageBox::NoButton;
    }
}

QMessageBox::Icon standardIcon(unsigned int iconFlag) {
    switch (iconFlag) {
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONERROR:
        return QMessageBox::Critical;
    default:
        return QMessageBox::NoIcon;
    }
}

QPointer<QWidget>& owner() {
    static QPointer<QWidget> s_owner;
    return s_owner;
}

MessageBoxHandler& handler() {
    static MessageBoxHandler s_handler;
    return s_handler;
}

MessageBoxTitleWriter& titleWriter() {
    static MessageBoxTitleWriter s_writer;
    return s_writer;
}

int execRealBox(const MessageBoxRequest& request) {
    QMessageBox box(standardIcon(request.iconFlag), request.caption, request.text,
                    QMessageBox::NoButton, owner().data());
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    QList<QPair<QPushButton*, int>> buttons;
    for (const int result : request.answers)
        buttons.append({box.addButton(standardButton(result)), result});
    box.setDefaultButton(buttons.constFirst().first);
    if (titleWriter())
        titleWriter()(box, request.caption);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    for (const auto& [button, result] : buttons) {
        if (button == clicked)
            return result;
    }
    // Closed without a button (only possible where Qt found an escape button it did not
    // report as clicked): answer like the box's cancelling choice.
    if (request.answers.contains(IDCANCEL))
        return IDCANCEL;
    return request.answers.constLast();
}

} // namespace

MessageBoxRequest DescribeMessageBox(unsigned char kind, unsigned char buttons, int messageIndex,
                                     const QString& text, int language) {
    MessageBoxRequest request;
    request.kind = kind;
    request.buttons = buttons;
    request.messageIndex = messageIndex;
    request.language = language;
    if (kind < kKinds) {
        // A language outside the table falls back to the program's own, Japanese.
        const int row = (language >= 0 && language < kLanguages) ? language : 0;
        request.iconFlag = kIconFlags[kind];
        request.caption = QString::fromUtf8(kCaptions[row][kind]);
    }
    ButtonSet set = buttonSet(buttons);
    request.buttonFlag = set.flag;
    request.answers = std::move(set.answers);
    // Only indices inside the canned table select it; anything else shows the text argument.
    const bool canned = messageIndex > 0 && messageIndex < static_cast<int>(kCannedMessages.size());
    request.text = canned ? QString::fromUtf8(kCannedMessages[messageIndex]) : text;
    return request;
}

int ShowMessageBox(unsigned char kind, unsigned char buttons, int messageIndex, const QString& text,
                   int language) {
    const MessageBoxRequest request =
        DescribeMessageBox(kind, buttons, messageIndex, text, language);
    if (handler())
        return handler()(request);
    return execRealBox(request);
}

void SetMessageBoxOwner(QWidget* widget) {
    owner() = widget;
}

QWidget* MessageBoxOwner() {
    return owner().data();
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler next) {
    MessageBoxHandler previous = std::move(handler());
    handler() = std::move(next);
    return previous;
}

void SetMessageBoxTitleWriter(MessageBoxTitleWriter writer) {
    titleWriter() = std::move(writer);
}
