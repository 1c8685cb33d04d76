#include "PanelEdits.h"

#include <QUndoCommand>

class TPanelEdits::Step : public QUndoCommand {
public:
    Step(TPanelEdits& edits, TPanelSnapshot before, TPanelSnapshot after, int mergeKey)
        : m_edits(edits), m_before(std::move(before)), m_after(std::move(after)),
          m_mergeKey(mergeKey) {}

    int id() const override { return m_mergeKey; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const Step*>(other);
        m_after = next->m_after;
        // Typed back to what it was (the field's own undo), the step is none at all.
        setObsolete(m_after.SameContent(m_before));
        return true;
    }
    // The change is on the panel already when the step is pushed.
    void redo() override {
        if (m_done)
            m_edits.Restore(m_after);
        m_done = true;
    }
    void undo() override { m_edits.Restore(m_before); }

private:
    TPanelEdits& m_edits;
    TPanelSnapshot m_before;
    TPanelSnapshot m_after;
    int m_mergeKey;
    bool m_done = false;
};

TPanelEdits::TPanelEdits(IPanelState& panel, QObject* parent) : QObject(parent), m_panel(panel) {
    m_stack.setUndoLimit(StepLimit);
    connect(&m_stack, &QUndoStack::indexChanged, this, &TPanelEdits::Changed);
}

// The stack clears itself as it goes, with the panel half gone: nobody hears of it.
TPanelEdits::~TPanelEdits() {
    disconnect(&m_stack, nullptr, this, nullptr);
}

void TPanelEdits::Start() {
    m_last = m_panel.TakeSnapshot();
}

void TPanelEdits::Commit(int mergeKey) {
    if (m_restoring)
        return;
    TPanelSnapshot now = m_panel.TakeSnapshot();
    if (now.SameContent(m_last)) {
        m_last = std::move(now);
        return;
    }
    TPanelSnapshot before = std::exchange(m_last, now);
    m_stack.push(new Step(*this, std::move(before), std::move(now), mergeKey));
}

void TPanelEdits::NoteSelection(const QString& selected, const QStringList& selection) {
    if (m_restoring)
        return;
    m_last.selected = selected;
    m_last.selection = selection;
}

void TPanelEdits::Undo() {
    if (!m_restoring)
        m_stack.undo();
}

void TPanelEdits::Redo() {
    if (!m_restoring)
        m_stack.redo();
}

void TPanelEdits::Restore(const TPanelSnapshot& snapshot) {
    m_restoring = true;
    m_panel.RestoreSnapshot(snapshot);
    m_restoring = false;
    m_last = m_panel.TakeSnapshot();
}
