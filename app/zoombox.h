#pragma once
// The zoom box of the main toolbar: an editable list of zoom percentages. The arithmetic is in
// CZoomText so that it can be checked without a window; CZoomComboBox is the widget.

#include "framework/types.h"

#include <QComboBox>
#include <QStringList>

namespace ZoomLimits {
constexpr int kMin = 50;
constexpr int kMax = 1600;
constexpr int kDefault = 100;
}

struct CZoomText {
    // The entries of the list, largest first.
    static QStringList Items();
    // The leading whole number of a text, as the platform's wide-string-to-int reads it:
    // blanks, an optional sign and digits up to the first other character; 0 when there are
    // no digits; out-of-range values saturate.
    static int LeadingInt(const QString& text);
    static int Clamp(int percent);
    // What a text typed into the box means: its leading number clamped to the zoom range.
    static int Parse(const QString& text) { return Clamp(LeadingInt(text)); }
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
