#pragma once
// The zoom box of the main toolbar: an editable list of zoom percentages. What typed text means
// is the document's business (CDrawDoc::OnZoomSelEndOk); the box reports it and shows the result.

#include "framework/types.h"

#include <QComboBox>
#include <QStringList>

struct CZoomText {
    // The entries of the list, largest first.
    static QStringList Items();
    // "%d%"
    static QString Format(int percent);
};

class CZoomComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit CZoomComboBox(QWidget* parent = nullptr);

    CString GetText() const { return currentText(); }
    void SetText(const CString& text);
    void SetZoom(int percent) { SetText(CZoomText::Format(percent)); }

signals:
    // Enter was pressed in the box's edit field; the text is what was typed.
    void zoomEntered(const QString& text);
    // An entry of the list was chosen.
    void zoomChosen(const QString& text);
};
