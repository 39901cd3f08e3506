#pragma once
// The program's per-user settings (QSettings under "Brellinwick" / "Quillbar"): the list of
// recently opened files, the window workspace kept under "Settings", and typed values by
// section and entry for everything else.

#include "framework/types.h"

#include <QByteArray>
#include <QSettings>
#include <QStringList>

class CSettings
{
public:
    static constexpr int kRecentFileCount = 4;
    static constexpr const char* kOrganisation = "Brellinwick";
    static constexpr const char* kApplication = "Quillbar";
    static constexpr const char* kRecentSection = "Recent File List";
    static constexpr const char* kWorkspaceSection = "Settings";

    CSettings();

    // Most recent first, at most kRecentFileCount entries, never empty strings.
    QStringList RecentFiles() const;
    // Puts path at the front; an entry for the same file moves there instead of repeating,
    // and the oldest entry falls off the end.
    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);

    // Forgets the window workspace (toolbar and docking layout), so that the next start
    // builds the default layout.
    void CleanState();

    int GetProfileInt(const QString& section, const QString& entry, int defaultValue) const;
    void WriteProfileInt(const QString& section, const QString& entry, int value);
    CString GetProfileString(const QString& section, const QString& entry,
                             const CString& defaultValue = CString()) const;
    void WriteProfileString(const QString& section, const QString& entry, const CString& value);
    QByteArray GetProfileBinary(const QString& section, const QString& entry) const;
    void WriteProfileBinary(const QString& section, const QString& entry, const QByteArray& value);

    void Sync() { m_settings.sync(); }

private:
    void WriteRecentFiles(const QStringList& files);
    static QString Key(const QString& section, const QString& entry);

    QSettings m_settings;
};
