#pragma once

#include "PanelSnapshot.h"

#include <QObject>
#include <QUndoStack>

// What the panel offers its edit history: its state now, and going back to one.
class IPanelState {
public:
    virtual TPanelSnapshot TakeSnapshot() const = 0;
    virtual void RestoreSnapshot(const TPanelSnapshot& snapshot) = 0;

protected:
    ~IPanelState() = default;
};

// The panel's edit history: each edit, whatever made it, ends with Commit, which compares
// the panel with what it was after the last step and makes a step of the difference.
// Steps with the same merge key, one after the other, are one step (a caption typed in
// one visit of its field). Undo and redo bring the panel back to either side of a step.
class TPanelEdits : public QObject {
    Q_OBJECT
public:
    static constexpr int StepLimit = 100;
    static constexpr int NoMerge = -1;

    explicit TPanelEdits(IPanelState& panel, QObject* parent = nullptr);
    ~TPanelEdits() override;

    // The panel as it is now is where the history starts, and what the next step is
    // measured against.
    void Start();
    // The panel changed by an edit: a step when anything but the selection differs.
    void Commit(int mergeKey = NoMerge);
    // Something that is no edit changed the panel (the window manager moved it): taken in
    // without a step.
    void Absorb(const TPanelSnapshot& now) { m_last = now; }
    const TPanelSnapshot& Last() const { return m_last; }
    // The selection now, which an undo of the next step brings back with the panel.
    void NoteSelection(const QString& selected, const QStringList& selection);

    void Undo();
    void Redo();
    bool CanUndo() const { return m_stack.canUndo(); }
    bool CanRedo() const { return m_stack.canRedo(); }
    int Count() const { return m_stack.count(); }

signals:
    void Changed();

private:
    class Step;
    void Restore(const TPanelSnapshot& snapshot);

    IPanelState& m_panel;
    QUndoStack m_stack;
    TPanelSnapshot m_last;
    bool m_restoring = false;
};
