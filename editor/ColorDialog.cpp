#include "ColorDialog.h"

#include <QColorDialog>

namespace {

TColorDialog::Runner& CurrentRunner() {
    static TColorDialog::Runner runner;
    return runner;
}

ColorDialogAnswer RunQtDialog(TColor shown, QWidget* parent) {
    QColorDialog dialog(ResolveColor(shown), parent);
    dialog.setObjectName(QStringLiteral("ColorDialog"));
    ColorDialogAnswer answer;
    if (dialog.exec() != QDialog::Accepted)
        return answer;
    answer.accepted = true;
    answer.color = ColorToValue(dialog.selectedColor());
    return answer;
}

} // namespace

TColorDialog::TColorDialog(const QString& name, QObject* owner) : QObject(owner) {
    setObjectName(name);
}

bool TColorDialog::Execute(QWidget* parent) {
    const Runner& runner = CurrentRunner();
    const ColorDialogAnswer answer =
        runner ? runner(m_color, parent) : RunQtDialog(m_color, parent);
    if (!answer.accepted)
        return false;
    m_color = answer.color;
    return true;
}

void TColorDialog::SetRunner(Runner runner) {
    CurrentRunner() = std::move(runner);
}

TColorDialogAnswers::TColorDialogAnswers() {
    TColorDialog::SetRunner([this](TColor shown, QWidget*) {
        m_shown.push_back(shown);
        if (m_answers.empty())
            return ColorDialogAnswer{};
        const ColorDialogAnswer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    });
}

TColorDialogAnswers::~TColorDialogAnswers() {
    TColorDialog::SetRunner({});
}

void TColorDialogAnswers::Choose(TColor color) {
    m_answers.push_back(ColorDialogAnswer{true, color});
}

void TColorDialogAnswers::Cancel() {
    m_answers.push_back(ColorDialogAnswer{});
}
