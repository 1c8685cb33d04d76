#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QKeyEvent;
class QWidget;

// Hears the keys meant for editing the panel, once per key press, while the panel or the
// property editor is the active window, and gives them to the panel first; a key it takes
// goes nowhere else. Undo and redo inside a text field that has its own to undo are left
// to the field.
class TEditKeys : public QObject {
    Q_OBJECT
public:
    // inPanel: the panel is the active window, not the editor. True when the key was used.
    using THandler = std::function<bool(const QKeyEvent& key, bool inPanel)>;

    TEditKeys(QWidget* panel, THandler handler);
    ~TEditKeys() override;
    void SetEditor(QWidget* editor) { m_editor = editor; }

    enum class TUndoKey { None, Undo, Redo };
    // Ctrl+Z undoes; Ctrl+Y and Ctrl+Shift+Z redo.
    static TUndoKey UndoKeyOf(const QKeyEvent& key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool FieldUndoesItself(const QKeyEvent& key) const;

    QWidget* m_panel;
    QPointer<QWidget> m_editor;
    THandler m_handler;
};
