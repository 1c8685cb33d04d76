#pragma once

#include "SystemColors.h"

#include <QRect>
#include <QString>

class TColorBtn;

// What the property editor needs of the command panel. The main window implements it,
// so the editor never depends on the application's classes.
class IPanelHost {
public:
    // Name of the selected command button, empty when the panel itself is selected.
    virtual QString SelectedName() const = 0;
    // The command button of that name, or nullptr.
    virtual TColorBtn* FindCommandButton(const QString& name) const = 0;

    virtual QString PanelCaption() const = 0;
    // Outer frame on the screen: Left, Top, Width, Height.
    virtual QRect PanelBounds() const = 0;
    virtual TColor PanelColor() const = 0;
    virtual QString PanelBackgroundFile() const = 0;

    // The check mark of the edit-mode menu item.
    virtual void SetEditMode(bool on) = 0;

protected:
    ~IPanelHost() = default;
};
