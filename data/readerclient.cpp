// Runs the reader program on an .xls or .mdb file and turns its stream into tables. The program
// runs with bounds on its address space and processor time, and is killed after ten seconds
// without output; a crash, a kill or a bound reached means the file is damaged.

#include "data/barcodedb.h"
#include "data/filesource.h"
#include "data/importtable.h"
#include "data/readerstream.h"
#include "data/values.h"
#include "framework/resourcemodule.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <stdexcept>

#include <sys/resource.h>

namespace {

constexpr int kSilenceMs = 10000;
constexpr rlim_t kReaderAddressSpace = rlim_t(512) << 20;
// A full .xls worksheet (65,535 rows of 8 columns, 13 MB) takes 0.2 s and 60 MB.
constexpr rlim_t kReaderSeconds = 4;  // of processor time

QString ReaderProgram()
{
    const QString name = QStringLiteral("quillbar-datareader");
    if (QCoreApplication::instance()) {
        const QString beside = QCoreApplication::applicationDirPath() + u'/' + name;
        if (QFileInfo(beside).isExecutable())
            return beside;
    }
    const QString configured = qEnvironmentVariable("QB_DATA_READER");
    if (!configured.isEmpty())
        return configured;
#ifdef QB_DATA_READER_BUILD_PATH
    if (QFileInfo(QStringLiteral(QB_DATA_READER_BUILD_PATH)).isExecutable())
        return QStringLiteral(QB_DATA_READER_BUILD_PATH);
#endif
    return name;
}

const char* Charset(UINT codePage)
{
    return codePage == 936 ? "CP936" : codePage == 950 ? "CP950" : "CP1252";
}

// The reader's message in the user's language; a text it does not number is shown as it came.
QString ReaderMessage(const std::string& payload)
{
    const QString text = QString::fromStdString(payload);
    const QString argument = text.section(u'\t', 1);
    switch (text.section(u'\t', 0, 0).toInt()) {
    case readerstream::WorkbookNotOpened: return LoadMessage(470, "freexl could not open the workbook (error %1)").arg(argument);
    case readerstream::DatabaseNotOpened: return LoadMessage(471, "libmdb could not open the database");
    case readerstream::TablesNotRead: return LoadMessage(472, "libmdb could not read the list of tables");
    case readerstream::BadUsage: return LoadMessage(473, "usage: quillbar-datareader xls|mdb FILE");
    case readerstream::UnknownFileKind: return LoadMessage(474, "unknown kind of file");
    case readerstream::TextTooLong:
        return LoadMessage(743, "a cell holds a text of %1 characters, longer than the reader of .xls workbooks can take").arg(argument);
    case readerstream::NoSheetFound: return LoadMessage(744, "the reader of .xls workbooks finds none of its worksheets");
    default: return text;
    }
}

}  // namespace

// Adds what the records say to tables; true at the end record. Throws std::runtime_error for a
// record out of place and CBarcodeDBException for the reader's own message.
bool TakeReaderRecords(readerstream::Decoder& decoder, std::vector<CImportTable>& tables, const CString& path)
{
    namespace rs = readerstream;
    rs::Record record;
    while (decoder.Next(record)) {
        switch (record.kind) {
        case rs::Table:
            tables.emplace_back();
            tables.back().name = record.payload;
            tables.back().typed = true;
            break;
        case rs::Column:
            if (tables.empty() || !tables.back().cells.empty())
                throw std::runtime_error(LoadMessage(461, "a column outside a table's head").toStdString());
            tables.back().header.push_back(record.payload);
            break;
        case rs::Row:
            if (tables.empty())
                throw std::runtime_error(LoadMessage(462, "a row outside a table").toStdString());
            tables.back().BeginRow();
            break;
        case rs::Null: case rs::Text: case rs::Number: case rs::Boolean: case rs::Date: {
            if (tables.empty() || tables.back().rowStart.empty())
                throw std::runtime_error(LoadMessage(463, "a value outside a row").toStdString());
            CImportTable& table = tables.back();
            if (table.cells.size() - table.rowStart.back() >= std::max<std::size_t>(table.header.size(), 1))
                throw std::runtime_error(LoadMessage(464, "a row with more values than columns").toStdString());
            if (record.kind == rs::Boolean)
                table.Add(CImportCell::Text, FormatBool(record.payload == "1").toStdString());
            else if (record.kind == rs::Number)
                table.Add(CImportCell::Number, record.payload);
            else if (record.kind == rs::Null)
                table.AddNull();
            else
                table.Add(CImportCell::Text, record.payload);
            break;
        }
        case rs::Error:
            throw CBarcodeDBException(
                LoadMessage(425, "\"%1\" cannot be read: %2").arg(path, ReaderMessage(record.payload)));
        case rs::End:
            return true;
        }
    }
    return false;
}

void ReadWithReaderProgram(const CString& path, bool access, UINT codePage, std::vector<CImportTable>& tables)
{
    auto damaged = [&path](const QString& why) {
        return CBarcodeDBException(LoadMessage(465, "\"%1\" cannot be read: the file is damaged (%2).").arg(path, why));
    };
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MDB_JET3_CHARSET"), QLatin1String(Charset(codePage)));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    // Set in the child before the program starts (only calls that are safe after fork).
    process.setChildProcessModifier([] {
        const rlimit memory{kReaderAddressSpace, kReaderAddressSpace};
        setrlimit(RLIMIT_AS, &memory);
        const rlimit cpu{kReaderSeconds, kReaderSeconds + 1};
        setrlimit(RLIMIT_CPU, &cpu);
    });
    process.start(ReaderProgram(), {access ? QStringLiteral("mdb") : QStringLiteral("xls"), path});
    if (!process.waitForStarted())
        throw CBarcodeDBException(
            LoadMessage(466, "\"%1\" cannot be read: the reader program did not start (%2).").arg(path, process.errorString()));

    readerstream::Decoder decoder;
    bool ended = false;
    try {
        for (;;) {
            const QByteArray bytes = process.readAllStandardOutput();
            if (!bytes.isEmpty()) {
                decoder.Feed(bytes.constData(), std::size_t(bytes.size()));
                ended = TakeReaderRecords(decoder, tables, path) || ended;
                continue;
            }
            if (process.state() == QProcess::NotRunning)
                break;
            if (!process.waitForReadyRead(kSilenceMs) && process.state() != QProcess::NotRunning) {
                process.kill();
                process.waitForFinished();
                throw damaged(LoadMessage(467, "reading it stopped making progress"));
            }
        }
    } catch (const std::runtime_error& e) {
        process.kill();
        process.waitForFinished();
        throw damaged(QString::fromUtf8(e.what()));
    }
    process.waitForFinished();
    if (process.exitStatus() == QProcess::CrashExit || (!ended && process.exitCode() != 0))
        throw damaged(LoadMessage(468, "reading it failed or went beyond the memory or time a file may take"));
    if (!ended)
        throw damaged(LoadMessage(469, "its data ended early"));
}
