#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QWidget;

// What a file dialog was asked to show.
struct FileDialogRequest {
    bool save = false;
    QString objectName;
    QStringList nameFilters; // Qt form of the filter list
    int filterIndex = 1;     // 1-based, as the list is written
    QString fileName;
    bool confirmOverwrite = false;
    bool picturePreview = false; // a pane beside the list shows the selected picture
};

// How a file dialog was closed: the chosen name and the 1-based filter, or cancelled.
struct FileDialogAnswer {
    bool accepted = false;
    QString fileName;
    int filterIndex = 1;
};

// The system's file-open or file-save dialog. Its filter is written as
// "Description|pattern|Description|pattern"; FilterIndex counts from 1.
// Every dialog runs through one replaceable runner, so tests answer it instead of blocking.
class TFileDialog : public QObject {
    Q_OBJECT
public:
    enum class Kind { Open, Save };
    using Runner = std::function<FileDialogAnswer(const FileDialogRequest&, QWidget* parent)>;

    TFileDialog(Kind kind, const QString& name, QObject* owner);

    void SetFilter(const QString& filter) { m_filter = filter; }
    QString Filter() const { return m_filter; }
    void SetFilterIndex(int index) { m_filterIndex = index; }
    int FilterIndex() const { return m_filterIndex; }
    void SetFileName(const QString& fileName) { m_fileName = fileName; }
    QString FileName() const { return m_fileName; }
    void SetOverwritePrompt(bool on) { m_overwritePrompt = on; }
    bool OverwritePrompt() const { return m_overwritePrompt; }
    void SetPicturePreview(bool on) { m_picturePreview = on; }
    bool PicturePreview() const { return m_picturePreview; }
    Kind DialogKind() const { return m_kind; }

    // Shows the dialog modally. True when a file was chosen; FileName and FilterIndex then hold it.
    bool Execute(QWidget* parent);

    // "Velmar Data(*.vmd)|*.VMD|All Files(*.*)|*.*" -> Qt name filters. Patterns match in either
    // letter case, as they do on the file systems the filter was written for, and "*.*" also
    // matches names without a dot.
    static QStringList TranslateFilter(const QString& filter);

    // Installs the runner every dialog goes through; an empty runner restores the real dialog.
    static void SetRunner(Runner runner);

private:
    Kind m_kind;
    QString m_filter;
    int m_filterIndex = 1;
    QString m_fileName;
    bool m_overwritePrompt = false;
    bool m_picturePreview = false;
};

// Test seam: while it exists, dialogs take their answers from its queue and are recorded.
// A dialog with no answer left is cancelled and counted in Unanswered.
class TFileDialogAnswers {
public:
    TFileDialogAnswers();
    ~TFileDialogAnswers();
    TFileDialogAnswers(const TFileDialogAnswers&) = delete;
    TFileDialogAnswers& operator=(const TFileDialogAnswers&) = delete;

    void Choose(const QString& fileName, int filterIndex);
    void Cancel();

    const std::vector<FileDialogRequest>& Requests() const { return m_requests; }
    int Unanswered() const { return m_unanswered; }

private:
    std::deque<FileDialogAnswer> m_answers;
    std::vector<FileDialogRequest> m_requests;
    int m_unanswered = 0;
};
