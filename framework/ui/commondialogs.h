#pragma once
// The system's common dialogs: file, colour and font. Each is Qt's own dialog in its non-native
// form, so that the program's button captions reach it and tests can drive it like any window.

#include "framework/gdi.h"
#include "framework/types.h"

#include <QColorDialog>
#include <QDialog>
#include <QFont>
#include <QFileDialog>
#include <QStringList>

class QFontDialog;
class QPushButton;

// Flags of the file dialog.
constexpr DWORD OFN_READONLY = 0x0001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x0002;
constexpr DWORD OFN_HIDEREADONLY = 0x0004;
constexpr DWORD OFN_PATHMUSTEXIST = 0x0800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;

// Flags of the font dialog.
constexpr DWORD CF_SCREENFONTS = 0x0001;
constexpr DWORD CF_EFFECTS = 0x0100;

// Colours of the program's design (0x00BBGGRR) and Qt's.
QColor ColorOf(COLORREF c);
COLORREF ColorRefOf(const QColor& c);

// Open or save dialog. The filter is the resource form "text|patterns|text|patterns||" with
// patterns separated by ";"; the default extension is added to a name typed without one;
// OFN_FILEMUSTEXIST accepts only an existing file; OFN_OVERWRITEPROMPT asks before a save
// dialog names an existing file.
class CFileDialog : public QFileDialog
{
    Q_OBJECT
public:
    explicit CFileDialog(BOOL openFileDialog, const CString& defaultExt = {}, const CString& fileName = {},
                         DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const CString& filter = {},
                         QWidget* parent = nullptr);

    // IDOK or IDCANCEL.
    int DoModal();
    // The chosen file's full path, its name, and its extension without the dot (empty when the
    // name has none).
    CString GetPathName() const;
    CString GetFileName() const;
    CString GetFileExt() const;

    // Qt's name filters for a resource filter: "text (patterns)", "*.*" read as every file.
    static QStringList NameFilters(const CString& filter);

private:
    CString m_path;
};

// Colour dialog preset to a colour.
class CColorDialog : public QColorDialog
{
    Q_OBJECT
public:
    explicit CColorDialog(COLORREF initial = 0, DWORD flags = 0, QWidget* parent = nullptr);
    int DoModal();
    COLORREF GetColor() const;
};

// Font dialog on a font description whose lfHeight is in pixels of the screen (negative for a
// character height). It shows the size in points at the screen's logical resolution; with
// CF_EFFECTS it offers underline, strikeout and a colour button beside the font choice.
class CFontDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CFontDialog(const LOGFONTW* font, DWORD flags = CF_SCREENFONTS | CF_EFFECTS,
                         QWidget* parent = nullptr);

    int DoModal();
    // The chosen face, height (pixels, negative), weight, italic, underline and strikeout are
    // written into the description; the other fields are kept. A family that merely stands in
    // for the stored face keeps the stored face name; a size or style left as shown keeps the
    // given height, or weight and italic.
    void GetCurrentFont(LOGFONTW* font) const;
    COLORREF GetColor() const { return m_color; }
    void SetColor(COLORREF c);

    // Pixels per inch of the screen, as the size conversions use it.
    static int ScreenPixelsPerInch();

    QFontDialog* FontWidget() const { return m_fonts; }
    QPushButton* ColorButton() const { return m_colorButton; }

private:
    void ChooseColor();
    void PaintColorButton();

    // The style of the font's family that the dialog shows for it: the face the font is drawn
    // with, or the family's face of the same slant and nearest weight.
    static QString NearestStyle(const QFont& font);
    static bool SameStyle(const QFont& a, const QFont& b);

    LOGFONTW m_initial;
    QFont m_given;  // the given font as Qt describes it
    QFont m_shown;  // as the dialog showed the given font
    QFont m_last;   // as the dialog last showed a font
    bool m_restyling = false;
    CString m_shownFamily;
    QFontDialog* m_fonts = nullptr;
    QPushButton* m_colorButton = nullptr;
    COLORREF m_color = 0;
};
