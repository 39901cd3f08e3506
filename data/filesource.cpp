#include "data/filesource.h"

#include "data/barcodedb.h"
#include "data/delimitedtext.h"
#include "data/sqlitesource.h"
#include "data/textimport.h"
#include "framework/resourcemodule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QStringList kTextExtensions = {QStringLiteral("txt"), QStringLiteral("csv"), QStringLiteral("tab"),
                                     QStringLiteral("asc")};

bool IsTextFileName(const QString& name)
{
    return kTextExtensions.contains(QFileInfo(name).suffix(), Qt::CaseInsensitive);
}

QString FirstBytes(const QString& path, int n)
{
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.read(n).toHex());
}

}  // namespace

bool IsFileProvider(const CString& provider)
{
    return provider.startsWith(QStringLiteral("Microsoft.Jet.OLEDB."), Qt::CaseInsensitive)
        || provider.startsWith(QStringLiteral("Microsoft.ACE.OLEDB."), Qt::CaseInsensitive);
}

CString ResolveStoredPath(const CString& path, const CString& documentFolder)
{
    if (path.isEmpty() || QFileInfo::exists(path) || documentFolder.isEmpty())
        return path;
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    const QString name = path.mid(cut + 1);
    if (name.isEmpty())
        return path;
    const QDir folder(documentFolder);
    for (const QString& entry : folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    return path;
}

std::unique_ptr<CDataConnection> OpenFileSource(const CConnectionString& connection, const CString& documentFolder,
                                                const CString& textFile)
{
    const CString properties = connection.Value(QStringLiteral("Extended Properties"));
    const CString kind = properties.section(u';', 0, 0).trimmed();
    const CString stored = connection.Value(QStringLiteral("Data Source"));
    if (stored.isEmpty())
        throw CBarcodeDBException(LoadMessage(438, "The connection names no data source."));
    CString path = ResolveStoredPath(stored, documentFolder);
    const UINT codePage = CResourceModule::Get().CodePage();
    auto source = std::make_unique<CSqliteSource>();

    if (kind.startsWith(QStringLiteral("Text"), Qt::CaseInsensitive)) {
        // A stored folder that is not here (a Windows folder): the label's folder stands in.
        if (!QFileInfo(path).isDir() && !documentFolder.isEmpty())
            path = documentFolder;
        if (!QFileInfo(path).isDir())
            throw CBarcodeDBException(LoadMessage(439, "The folder \"%1\" does not exist.").arg(path));
        const QString folder = path;
        // A file becomes a table when a query first names it.
        auto find = [folder](const CString& name) -> QString {
            for (const QString& entry : QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
                if (entry.compare(name, Qt::CaseInsensitive) == 0 && IsTextFileName(entry))
                    return entry;
            return {};
        };
        CSqliteSource* database = source.get();
        source->SetTableLoader(
            [folder, find, codePage, database](const CString& name) {
                const QString entry = find(name);
                if (entry.isEmpty())
                    return false;
                ImportDelimitedFile(*database, QDir(folder).filePath(entry), entry.toStdString(), codePage);
                return true;
            },
            [folder] {
                std::vector<CString> names;
                for (const QString& entry : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name))
                    if (IsTextFileName(entry))
                        names.push_back(entry);
                return names;
            });
        if (!textFile.isEmpty())
            ImportDelimitedFile(*source, QDir(folder).filePath(textFile), textFile.toStdString(), codePage);
        return source;
    }

    std::vector<CImportTable> tables;
    CheckRegularFile(path);
    if (kind.startsWith(QStringLiteral("Excel"), Qt::CaseInsensitive)) {
        // The content decides, whatever the extension: a zip is a workbook of XML parts, a compound
        // file one of the older binary format.
        const QString magic = FirstBytes(path, 4);
        if (magic == QLatin1String("504b0304"))
            ReadXlsx(path, tables);
        else
            ReadWithReaderProgram(path, false, codePage, tables);
    } else if (kind.isEmpty()) {
        ReadWithReaderProgram(path, true, codePage, tables);
    } else {
        throw CBarcodeDBException(LoadMessage(440, "The extended properties \"%1\" are not supported.").arg(kind));
    }
    for (CImportTable& table : tables)
        source->Import(table, path);
    return source;
}
