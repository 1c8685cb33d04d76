#include "FileDialog.h"

#include "PicturePreview.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>

namespace {

TFileDialog::Runner& CurrentRunner() {
    static TFileDialog::Runner runner;
    return runner;
}

QString TranslatePatterns(const QString& patterns) {
    QStringList result;
    for (const QString& raw : patterns.split(';', Qt::SkipEmptyParts)) {
        const QString pattern = raw.trimmed();
        if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*")) {
            result << QStringLiteral("*");
            continue;
        }
        for (const QString& variant : {pattern, pattern.toLower(), pattern.toUpper()}) {
            if (!result.contains(variant))
                result << variant;
        }
    }
    return result.join(' ');
}

// Qt's own dialog, since a platform dialog has no room for the pane.
void AddPicturePreview(QFileDialog& dialog, const QString& preset) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!grid)
        return;
    auto* preview = new TPicturePreview(&dialog);
    grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, &TPicturePreview::ShowFile);
    preview->ShowFile(preset);
}

// 1-based; the dialog names the chosen filter by its whole text or, with the details
// hidden, by its label alone.
int ChosenFilterIndex(const QStringList& nameFilters, const QString& selected) {
    for (qsizetype i = 0; i < nameFilters.size(); ++i) {
        const QString& filter = nameFilters.at(i);
        if (selected == filter || selected == filter.left(filter.lastIndexOf(QLatin1String(" ("))))
            return static_cast<int>(i) + 1;
    }
    return 1;
}

FileDialogAnswer RunQtDialog(const FileDialogRequest& request, QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setObjectName(request.objectName);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A name that does not exist yet may be typed in the open dialog as well.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (request.picturePreview)
        AddPicturePreview(dialog, request.fileName);
    // Each label as the filter string gives it, without its patterns repeated after it.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(request.nameFilters);
    if (request.filterIndex >= 1 && request.filterIndex <= request.nameFilters.size())
        dialog.selectNameFilter(request.nameFilters.at(request.filterIndex - 1));
    if (!request.fileName.isEmpty()) {
        // Start in the folder of the name last used.
        const QFileInfo preset(request.fileName);
        dialog.setDirectory(preset.absolutePath());
        dialog.selectFile(preset.fileName());
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    FileDialogAnswer answer;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return answer;
    answer.accepted = true;
    answer.fileName = dialog.selectedFiles().constFirst();
    answer.filterIndex = ChosenFilterIndex(request.nameFilters, dialog.selectedNameFilter());
    return answer;
}

} // namespace

TFileDialog::TFileDialog(Kind kind, const QString& name, QObject* owner)
    : QObject(owner), m_kind(kind) {
    setObjectName(name);
}

bool TFileDialog::Execute(QWidget* parent) {
    FileDialogRequest request;
    request.save = m_kind == Kind::Save;
    request.objectName = objectName();
    request.nameFilters = TranslateFilter(m_filter);
    request.filterIndex = m_filterIndex;
    request.fileName = m_fileName;
    request.confirmOverwrite = m_overwritePrompt;
    request.picturePreview = m_picturePreview;
    const Runner& runner = CurrentRunner();
    const FileDialogAnswer answer = runner ? runner(request, parent) : RunQtDialog(request, parent);
    if (!answer.accepted)
        return false;
    m_fileName = answer.fileName;
    m_filterIndex = answer.filterIndex;
    return true;
}

QStringList TFileDialog::TranslateFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        result << parts.at(i) + QStringLiteral(" (") + TranslatePatterns(parts.at(i + 1)) + ')';
    return result;
}

void TFileDialog::SetRunner(Runner runner) {
    CurrentRunner() = std::move(runner);
}

TFileDialogAnswers::TFileDialogAnswers() {
    TFileDialog::SetRunner([this](const FileDialogRequest& request, QWidget*) {
        m_requests.push_back(request);
        if (m_answers.empty()) {
            ++m_unanswered;
            return FileDialogAnswer{};
        }
        FileDialogAnswer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    });
}

TFileDialogAnswers::~TFileDialogAnswers() {
    TFileDialog::SetRunner({});
}

void TFileDialogAnswers::Choose(const QString& fileName, int filterIndex) {
    m_answers.push_back(FileDialogAnswer{true, fileName, filterIndex});
}

void TFileDialogAnswers::Cancel() {
    m_answers.push_back(FileDialogAnswer{});
}
