#pragma once
// The resource module: every string, menu, toolbar, dialog layout, picture, cursor and
// binary table of the program, taken by number from one Qt binary resource file
// ("QuillbarResources.rcc", built from resources/). One module serves the whole process
// (CResourceModule::Get); tests may make their own.

#include "framework/types.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QLocale>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <optional>
#include <unordered_map>
#include <vector>

// One entry of a menu: a command, a separator or a popup with entries of its own.
struct CMenuTemplateItem
{
    enum Kind { Command, Separator, Popup };
    Kind kind = Command;
    UINT id = 0;       // command id (commands only)
    CString caption;   // with '&' mnemonics (commands and popups)
    CString shortcut;  // portable key sequences such as "Ctrl+N", several separated by "; "; may be empty
    std::vector<CMenuTemplateItem> items;  // popups only
};

// A menu bar or a set of context menus: its top-level entries are popups.
struct CMenuTemplate
{
    UINT id = 0;
    std::vector<CMenuTemplateItem> items;
};

struct CToolbarButton
{
    UINT id = 0;     // 0 for a separator
    int image = -1;  // index into the toolbar's image strip; -1 for a separator
    bool IsSeparator() const { return id == 0; }
};

struct CToolbarTemplate
{
    UINT id = 0;
    UINT bitmap = 0;  // the image strip (a bitmap id)
    int imageWidth = 16;
    int imageHeight = 16;
    std::vector<CToolbarButton> buttons;
};

struct CCursorResource
{
    QImage image;  // null when the module has no such cursor
    QPoint hotSpot;
};

class CResourceModule
{
public:
    static constexpr UINT kLanguageTagId = 89;
    static constexpr const char* kFileName = "QuillbarResources.rcc";

    CResourceModule();
    ~CResourceModule();
    CResourceModule(const CResourceModule&) = delete;
    CResourceModule& operator=(const CResourceModule&) = delete;

    // The module of this process.
    static CResourceModule& Get();

    // Where the module file is looked for: "--resources PATH" (or "--resources=PATH") among
    // the arguments, else the environment variable QB_RESOURCES, else beside the executable.
    static QString LocateModule(const QStringList& arguments);
    // "CHS" for mainland Chinese, "CHT" for Taiwan, Hong Kong and Macau, else "ENU".
    static QString LanguageForLocale(const QLocale& locale);

    // Loads the module file (LocateModule({}) when path is empty) with the string table of
    // the language (the system locale's when empty). A missing or damaged file, or one
    // without its language tag, is reported with qWarning and replaced by the small
    // built-in table; the result then is false and IsFallback() true.
    bool Load(const QString& path = QString(), const QString& language = QString());
    void Unload();

    bool IsLoaded() const { return m_loaded; }
    bool IsFallback() const { return m_fallback; }
    QString Path() const { return m_path; }
    QString Language() const;       // the tag of string 89
    // The system code page of that language, the one single-byte texts are written in on a
    // system using it: 936 for CHS, 950 for CHT, else 1252.
    UINT CodePage() const;
    QStringList Languages() const;  // the string tables the module holds

    CString LoadString(UINT id) const;  // empty for an unknown id
    bool HasString(UINT id) const;
    std::optional<QByteArray> FindResource(const QString& type, const QString& name) const;
    QImage LoadBitmap(UINT id) const;  // null image when missing
    QImage LoadIcon(UINT id) const;    // null image when missing
    CCursorResource LoadCursor(UINT id) const;
    std::optional<CMenuTemplate> LoadMenu(UINT id) const;
    std::optional<CToolbarTemplate> LoadToolbar(UINT id) const;
    // The .ui text, its texts in the module's language; empty when missing.
    QByteArray LoadDialogLayout(UINT id) const;
    // A text of the dialogs in the module's language: the English text of a layout (with its
    // '&' mnemonic) looked up in dialogs/<LANG>.txt; the English text when it has no entry.
    CString DialogText(const CString& english) const;
    // The locale of the module's language (zh_CN, zh_TW, else en_US), for Qt's own dialogs.
    QLocale UiLocale() const;

    // Checks that bytes form a well-made binary resource file whose every offset stays
    // inside the bytes; returns the reason when not, an empty string when they do.
    static QString CheckResourceFile(const QByteArray& bytes);

private:
    std::optional<QByteArray> ReadEntry(const QString& relativePath) const;
    QImage ReadImage(const QString& relativePath) const;  // a PNG entry; null when missing
    void UseFallback(const QString& reason);
    bool LoadStringTable(const QString& language);

    QByteArray m_file;     // the registered bytes; Qt reads them in place
    QString m_mapRoot;     // where this module's tree appears under ":"
    QString m_path;
    QString m_language;    // the table chosen (ENU, CHS, CHT)
    bool m_registered = false;
    bool m_loaded = false;
    bool m_fallback = false;
    std::unordered_map<UINT, CString> m_strings;
    QHash<QString, QString> m_dialogTexts;  // English text -> text of the language
};

// A message of the program's string table in the loaded module's language; the English text
// given here when the table has no such string (the module could not be loaded and the small
// built-in table stands in, or none was loaded yet).
CString LoadMessage(UINT id, const char* english);
