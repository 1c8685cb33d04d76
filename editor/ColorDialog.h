#pragma once

#include "SystemColors.h"

#include <QObject>
#include <deque>
#include <functional>
#include <vector>

class QWidget;

// How a colour dialog was closed: the colour chosen, or cancelled.
struct ColorDialogAnswer {
    bool accepted = false;
    TColor color = clBlack;
};

// The system's colour-choice dialog. Its current colour lasts from one use to the next:
// black before the first use, then the colour last chosen or preset with SetColor.
// Every dialog runs through one replaceable runner, so tests answer it instead of blocking.
class TColorDialog : public QObject {
    Q_OBJECT
public:
    // shown: the dialog's colour when it opens.
    using Runner = std::function<ColorDialogAnswer(TColor shown, QWidget* parent)>;

    TColorDialog(const QString& name, QObject* owner);

    TColor Color() const { return m_color; }
    void SetColor(TColor color) { m_color = color; }

    // Shows the dialog modally. True when a colour was chosen; Color then holds it.
    // A cancelled dialog keeps its colour.
    bool Execute(QWidget* parent);

    // Installs the runner every dialog goes through; an empty runner restores the real dialog.
    static void SetRunner(Runner runner);

private:
    TColor m_color = clBlack;
};

// Test seam: while it exists, colour dialogs take their answers from its queue and the
// colour each one opened with is recorded. A dialog with no answer left is cancelled.
class TColorDialogAnswers {
public:
    TColorDialogAnswers();
    ~TColorDialogAnswers();
    TColorDialogAnswers(const TColorDialogAnswers&) = delete;
    TColorDialogAnswers& operator=(const TColorDialogAnswers&) = delete;

    void Choose(TColor color);
    void Cancel();

    // The colour each dialog showed when it opened, in order.
    const std::vector<TColor>& Shown() const { return m_shown; }

private:
    std::deque<ColorDialogAnswer> m_answers;
    std::vector<TColor> m_shown;
};
