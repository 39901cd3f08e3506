#pragma once
// Gives the standard buttons of every dialog, message box, property sheet and wizard the
// captions of the resource module's language: OK, Yes, No, Cancel, Finish, Next, Back and
// Apply. Installed once on the application; it acts when a top-level window is shown and
// finds the buttons by their role (dialog button boxes, Qt's wizard) or by their numeric id
// (the object names of our own dialogs and of the loaded dialog layouts).

#include "framework/types.h"
#include "framework/ui/uistrings.h"

#include <QObject>

class QWidget;

class CButtonCaptionFilter : public QObject
{
    Q_OBJECT
public:
    explicit CButtonCaptionFilter(StringLoader loader, QObject* parent = nullptr);

    // Installs a filter on the running application; it lives as long as the application.
    static CButtonCaptionFilter* Install(StringLoader loader);

    // Re-captions the standard buttons inside one window.
    void Recaption(QWidget* window) const;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    StringLoader m_loader;
};
