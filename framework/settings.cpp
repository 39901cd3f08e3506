#include "framework/settings.h"

#include <QDir>
#include <QFileInfo>
#include <charconv>

namespace {

// Two names of the same file compare equal once made absolute and cleaned.
QString Canonical(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

CSettings::CSettings()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kOrganisation),
                 QString::fromLatin1(kApplication))
{
}

QString CSettings::Key(const QString& section, const QString& entry)
{
    return section.isEmpty() ? entry : section + QLatin1Char('/') + entry;
}

QStringList CSettings::RecentFiles() const
{
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file =
            m_settings.value(Key(QString::fromLatin1(kRecentSection), QStringLiteral("File%1").arg(i))).toString();
        if (!file.isEmpty() && !files.contains(file))
            files << file;
    }
    return files;
}

void CSettings::WriteRecentFiles(const QStringList& files)
{
    m_settings.remove(QString::fromLatin1(kRecentSection));
    for (int i = 0; i < files.size() && i < kRecentFileCount; ++i)
        m_settings.setValue(Key(QString::fromLatin1(kRecentSection), QStringLiteral("File%1").arg(i + 1)), files[i]);
}

void CSettings::AddRecentFile(const QString& path)
{
    if (path.isEmpty())
        return;
    const QString file = Canonical(path);
    QStringList files = RecentFiles();
    files.removeIf([&](const QString& f) { return Canonical(f) == file; });
    files.prepend(file);
    WriteRecentFiles(files);
}

void CSettings::RemoveRecentFile(const QString& path)
{
    const QString file = Canonical(path);
    QStringList files = RecentFiles();
    if (files.removeIf([&](const QString& f) { return Canonical(f) == file; }) > 0)
        WriteRecentFiles(files);
}

void CSettings::CleanState()
{
    m_settings.remove(QString::fromLatin1(kWorkspaceSection));
}

int CSettings::GetProfileInt(const QString& section, const QString& entry, int defaultValue) const
{
    const QVariant value = m_settings.value(Key(section, entry));
    if (!value.isValid())
        return defaultValue;
    // Stored as text in the settings file; read without regard to the process locale.
    const QByteArray text = value.toString().trimmed().toLatin1();
    int number = 0;
    auto [end, ec] = std::from_chars(text.constData(), text.constData() + text.size(), number);
    if (text.isEmpty() || ec != std::errc() || end != text.constData() + text.size())
        return defaultValue;
    return number;
}

void CSettings::WriteProfileInt(const QString& section, const QString& entry, int value)
{
    m_settings.setValue(Key(section, entry), value);
}

CString CSettings::GetProfileString(const QString& section, const QString& entry, const CString& defaultValue) const
{
    const QVariant value = m_settings.value(Key(section, entry));
    return value.isValid() ? value.toString() : defaultValue;
}

void CSettings::WriteProfileString(const QString& section, const QString& entry, const CString& value)
{
    m_settings.setValue(Key(section, entry), value);
}

QByteArray CSettings::GetProfileBinary(const QString& section, const QString& entry) const
{
    return m_settings.value(Key(section, entry)).toByteArray();
}

void CSettings::WriteProfileBinary(const QString& section, const QString& entry, const QByteArray& value)
{
    m_settings.setValue(Key(section, entry), value);
}
