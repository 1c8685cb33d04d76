// The panel's edit history: its state taken and brought back, and the menu's and keys'
// undo and redo.
#include "CmdMain.h"

#include "BtnPrm.h"
#include "ButtonStore.h"
#include "ColorBtn.h"
#include "PanelEdits.h"
#include "PressControl.h"

#include "ButtonDrag.h"
#include "EditKeys.h"
#include "KeyCodes.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>

#include <algorithm>

TPanelSnapshot TCmdMain::TakeSnapshot() const {
    TPanelSnapshot snapshot;
    snapshot.caption = Caption();
    snapshot.bounds = PanelBounds();
    snapshot.color = m_color;
    snapshot.backgroundFile = BackgroundFile;
    snapshot.stopKey = m_presses->Stop().key;
    snapshot.stopPad = m_presses->Stop().pad;
    snapshot.stopPlay = m_presses->Stop().play;
    snapshot.buttonCounter = ButtonCounter;
    for (const TColorBtn* button : CommandButtons())
        snapshot.buttons.push_back({button->objectName(), StoredButton(*button)});
    snapshot.selected = SelectedButtonName;
    snapshot.selection = m_selection;
    return snapshot;
}

void TCmdMain::RestoreSnapshot(const TPanelSnapshot& snapshot) {
    SetCaption(snapshot.caption);
    if (PanelBounds() != snapshot.bounds) {
        SetWidth(snapshot.bounds.width());
        SetHeight(snapshot.bounds.height());
        SetTop(snapshot.bounds.top());
        SetLeft(snapshot.bounds.left());
    }
    SetPanelColor(snapshot.color, ContrastTextColor(snapshot.color));
    if (BackgroundFile != snapshot.backgroundFile) {
        BackgroundFile = snapshot.backgroundFile;
        BackgroundPicture = QImage();
        ::LoadBackground(BackgroundFile, BackgroundPicture);
        update();
    }
    m_presses->SetStop({snapshot.stopKey, snapshot.stopPad, snapshot.stopPlay});
    ButtonCounter = snapshot.buttonCounter;
    RestoreButtons(snapshot.buttons);
    m_selection.clear();
    for (const QString& name : snapshot.selection) {
        if (FindCommandButton(name))
            m_selection.append(name);
    }
    SelectedButtonName = FindCommandButton(snapshot.selected) ? snapshot.selected : QString();
    UpdatePadPairs();
    ShowSelection();
    emit PanelChanged();
}

// Buttons that stay keep their widgets; the component list ends in the snapshot's order,
// so a button brought back stands where it stood before.
void TCmdMain::RestoreButtons(const std::vector<TNamedButton>& buttons) {
    QHash<QString, TColorBtn*> present;
    QList<QPointer<QObject>> fixed;
    for (const QPointer<QObject>& component : m_components) {
        if (!component)
            continue;
        if (IsCommandButton(component))
            present.insert(component->objectName(), qobject_cast<TColorBtn*>(component.data()));
        else
            fixed.append(component);
    }
    QList<TColorBtn*> ordered;
    for (const TNamedButton& named : buttons) {
        TColorBtn* button = present.take(named.name);
        if (!button)
            button = CreateCommandButton(named.button, named.name);
        ApplyStoredButton(*button, named.button);
        ordered.append(button);
    }
    for (TColorBtn* gone : std::as_const(present))
        delete gone;
    m_components = fixed;
    for (TColorBtn* button : ordered)
        m_components.append(button);
    m_presses->SetButtons(ordered);
    LastButton = ordered.isEmpty() ? nullptr : ordered.back();
}

void TCmdMain::CommitEdit(int mergeKey) {
    UpdatePadPairs();
    if (m_edits)
        m_edits->Commit(mergeKey);
    emit PanelChanged();
}

void TCmdMain::UndoClick() {
    if (EditMode())
        m_edits->Undo();
}

void TCmdMain::RedoClick() {
    if (EditMode())
        m_edits->Redo();
}

void TCmdMain::UpdateUndoItems() {
    UndoBtn->setEnabled(EditMode() && m_edits && m_edits->CanUndo());
    RedoBtn->setEnabled(EditMode() && m_edits && m_edits->CanRedo());
}

// A move or resize that no edit asked for (the window manager's, the user's on the frame)
// is where the panel now stands, not a step to undo.
void TCmdMain::AbsorbOutsideGeometry() {
    if (!m_edits)
        return;
    const OuterGeometry& asked = m_wanted;
    const QRect now = PanelBounds();
    if (now == QRect(asked.left, asked.top, asked.width, asked.height))
        return;
    TPanelSnapshot last = m_edits->Last();
    last.bounds = now;
    m_edits->Absorb(last);
}

void TCmdMain::ShowSelection() {
    if (m_edits)
        m_edits->NoteSelection(SelectedButtonName, m_selection);
    for (TColorBtn* button : CommandButtons())
        button->SetSelectionMark(EditMode() && m_selection.contains(button->objectName()));
    if (!m_editor)
        return;
    if (SelectedButtonName.isEmpty())
        m_editor->ShowPanelProperties();
    else
        m_editor->ShowButtonProperties();
}

// --- selection, nudging and copies ------------------------------------------------------

QList<TColorBtn*> TCmdMain::SelectedButtons() const {
    QList<TColorBtn*> selected;
    for (const QString& name : m_selection) {
        if (TColorBtn* button = FindCommandButton(name))
            selected.append(button);
    }
    if (selected.isEmpty()) {
        if (TColorBtn* button = FindCommandButton(SelectedButtonName))
            selected.append(button);
    }
    return selected;
}

// The selection moves as one, kept inside the client area as a drag keeps one button.
void TCmdMain::MoveSelectionBy(QPoint delta) {
    const QList<TColorBtn*> selected = SelectedButtons();
    if (selected.isEmpty())
        return;
    QRect group;
    for (const TColorBtn* button : selected)
        group |= button->geometry();
    const int left = std::min(std::max(0, group.left() + delta.x()), width() - group.width());
    const int top = std::min(std::max(0, group.top() + delta.y()), height() - group.height());
    const QPoint moved(left - group.left(), top - group.top());
    if (moved.isNull())
        return;
    for (TColorBtn* button : selected)
        button->move(button->pos() + moved);
    if (m_editor)
        m_editor->ShowButtonProperties();
}

void TCmdMain::ResizeSelectionBy(QSize delta) {
    for (TColorBtn* button : SelectedButtons()) {
        const int width = std::clamp(button->width() + delta.width(), MinimumButtonExtent,
                                     std::max(MinimumButtonExtent, this->width() - button->x()));
        const int height = std::clamp(button->height() + delta.height(), MinimumButtonExtent,
                                      std::max(MinimumButtonExtent, this->height() - button->y()));
        button->resize(width, height);
    }
    if (m_editor)
        m_editor->ShowButtonProperties();
}

bool TCmdMain::EditKey(const QKeyEvent& key, bool inPanel) {
    if (!EditMode())
        return false;
    switch (TEditKeys::UndoKeyOf(key)) {
    case TEditKeys::TUndoKey::Undo:
        UndoClick();
        return true;
    case TEditKeys::TUndoKey::Redo:
        RedoClick();
        return true;
    case TEditKeys::TUndoKey::None:
        break;
    }
    // The stop key acts in edit mode too.
    if (!inPanel || VirtualKeyCode(key) == m_presses->Stop().key)
        return false;
    const Qt::KeyboardModifiers mods =
        key.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    const int step = mods.testFlag(Qt::ShiftModifier) ? 10 : 1;
    QPoint arrow;
    switch (key.key()) {
    case Qt::Key_Left:
        arrow = {-step, 0};
        break;
    case Qt::Key_Right:
        arrow = {step, 0};
        break;
    case Qt::Key_Up:
        arrow = {0, -step};
        break;
    case Qt::Key_Down:
        arrow = {0, step};
        break;
    default:
        return CopyKey(key.key(), mods);
    }
    if (SelectedButtons().isEmpty() || mods.testFlag(Qt::AltModifier))
        return false;
    if (ctrl)
        ResizeSelectionBy(QSize(arrow.x(), arrow.y()));
    else
        MoveSelectionBy(arrow);
    CommitEdit(TPanelEdits::NoMerge);
    return true;
}

bool TCmdMain::CopyKey(int key, Qt::KeyboardModifiers mods) {
    if (key == Qt::Key_Delete && mods == Qt::NoModifier) {
        DeleteButtonClick();
        return true;
    }
    if (mods != Qt::ControlModifier)
        return false;
    switch (key) {
    case Qt::Key_D:
        DuplicateSelection();
        return true;
    case Qt::Key_C:
        CopySelection();
        return true;
    case Qt::Key_X:
        CopySelection();
        DeleteButtonClick();
        return true;
    case Qt::Key_V:
        PasteButtons();
        return true;
    default:
        return false;
    }
}

void TCmdMain::DuplicateSelection() {
    std::vector<PanelButton> copies;
    for (const TColorBtn* button : SelectedButtons()) {
        PanelButton copy = StoredButton(*button);
        // A key or pad button of its own would press both.
        copy.shortCut = -1;
        copy.pad.clear();
        copy.left += 10;
        copy.top += 10;
        copies.push_back(copy);
    }
    AddButtons(copies);
}

void TCmdMain::CopySelection() {
    std::vector<PanelButton> copied;
    const QList<TColorBtn*> selected = SelectedButtons();
    for (TColorBtn* button : CommandButtons()) {
        if (selected.contains(button))
            copied.push_back(StoredButton(*button));
    }
    if (!copied.empty())
        QGuiApplication::clipboard()->setText(ButtonSectionsText(copied));
}

void TCmdMain::PasteButtons() {
    AddButtons(ButtonsFromSectionsText(QGuiApplication::clipboard()->text()));
}

// New buttons from stored values, kept inside the client area, selected afterwards; one step.
void TCmdMain::AddButtons(const std::vector<PanelButton>& buttons) {
    if (buttons.empty())
        return;
    m_selection.clear();
    for (PanelButton stored : buttons) {
        stored.left = std::min(std::max(0, stored.left), width() - stored.width);
        stored.top = std::min(std::max(0, stored.top), height() - stored.height);
        ++ButtonCounter;
        TColorBtn* button = CreateCommandButton(stored, CommandButtonName(ButtonCounter));
        ApplyStoredButton(*button, stored);
        LastButton = button;
        m_selection.append(button->objectName());
    }
    SelectedButtonName = m_selection.back();
    ShowSelection();
    CommitEdit(TPanelEdits::NoMerge);
}
