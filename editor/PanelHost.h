#pragma once

#include "SystemColors.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class TColorBtn;

// What the property editor needs of the command panel. The main window implements it,
// so the editor never depends on the application's classes.
class IPanelHost {
public:
    // Name of the selected command button, empty when the panel itself is selected.
    virtual QString SelectedName() const = 0;
    // Every selected command button's name; an edit of the colour applies to all of them.
    virtual QStringList SelectedNames() const = 0;
    // The command button of that name, or nullptr.
    virtual TColorBtn* FindCommandButton(const QString& name) const = 0;

    virtual QString PanelCaption() const = 0;
    virtual void SetPanelCaption(const QString& caption) = 0;
    // Outer frame on the screen: Left, Top, Width, Height.
    virtual QRect PanelBounds() const = 0;
    virtual void SetPanelLeft(int left) = 0;
    virtual void SetPanelTop(int top) = 0;
    virtual void SetPanelWidth(int width) = 0;
    virtual void SetPanelHeight(int height) = 0;
    // The client area, where the command buttons live.
    virtual QSize PanelClientSize() const = 0;
    virtual TColor PanelColor() const = 0;
    // The panel's colour and the colour of its font.
    virtual void SetPanelColor(TColor color, TColor fontColor) = 0;

    virtual QString PanelBackgroundFile() const = 0;
    virtual void SetPanelBackgroundFile(const QString& fileName) = 0;
    // Loads a picture file as the panel's background and repaints; false when it cannot
    // be read, leaving the picture as it was.
    virtual bool LoadPanelBackground(const QString& fileName) = 0;
    // Replaces the background by an empty picture and repaints at once.
    virtual void ClearPanelBackground() = 0;

    // The stop: a key code (-1 none), a pad button name (empty none) and the number played
    // after a stop (-1 none).
    virtual int PanelStopKey() const = 0;
    virtual void SetPanelStopKey(int keyCode) = 0;
    virtual QString PanelStopPad() const = 0;
    virtual void SetPanelStopPad(const QString& name) = 0;
    virtual int PanelStopPlay() const = 0;
    virtual void SetPanelStopPlay(int number) = 0;

    // An edit has been applied: the panel makes it a step of its edit history. Edits with
    // the same merge key one after the other are one step; -1 merges with nothing.
    virtual void CommitEdit(int mergeKey) = 0;

    // The check mark of the edit-mode menu item.
    virtual void SetEditMode(bool on) = 0;

protected:
    ~IPanelHost() = default;
};
