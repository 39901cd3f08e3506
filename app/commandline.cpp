#include "app/commandline.h"

#include <QDir>
#include <QFileInfo>

bool CCommandLineInfo::PrintsToPdf() const
{
    return m_nShellCommand == FilePrintTo && m_strPrinterName.endsWith(u".pdf", Qt::CaseInsensitive);
}

bool IsShellDdeStart(const CString& commandLine)
{
    const qsizetype slash = commandLine.lastIndexOf(u'/');
    const CString rest = slash < 0 ? commandLine : commandLine.mid(slash + 1);
    return rest.compare(u"dde", Qt::CaseInsensitive) == 0;
}

CCommandLineInfo CCommandLineInfo::Parse(const QStringList& arguments)
{
    CCommandLineInfo info;
    info.m_bShellDde = IsShellDdeStart(arguments.join(u' '));
    auto absolute = [](const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); };
    auto fail = [&info](const QString& text) {
        info.m_strError = text;
        info.m_nShellCommand = FileNothing;
        return info;
    };

    for (const QString& a : arguments) {
        if (a == u"--")
            break;
        if (a == u"--help" || a == u"-h") {
            info.m_bShowHelp = true;
            info.m_nShellCommand = FileNothing;
            return info;
        }
    }

    bool print = false, printTo = false, onlyFiles = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&](QString& out) {
            if (i + 1 >= arguments.size())
                return false;
            out = arguments[++i];
            return true;
        };
        if (!onlyFiles && a == u"--") {
            onlyFiles = true;
        } else if (!onlyFiles && (a == u"--print" || a == u"-p" || a.compare(u"/p", Qt::CaseInsensitive) == 0)) {
            print = true;
        } else if (!onlyFiles && (a == u"--print-to" || a.compare(u"/pt", Qt::CaseInsensitive) == 0)) {
            printTo = true;
        } else if (!onlyFiles && a == u"--resources") {
            if (!value(info.m_strResources))
                return fail(QStringLiteral("--resources needs a path"));
        } else if (!onlyFiles && a == u"--language") {
            if (!value(info.m_strLanguage))
                return fail(QStringLiteral("--language needs a language tag"));
        } else if (!onlyFiles && a.compare(u"/dde", Qt::CaseInsensitive) == 0) {
            // The shell hand-over marker carries no file.
        } else if (!onlyFiles && a.startsWith(u'-') && a.size() > 1) {
            return fail(QStringLiteral("unknown option %1").arg(a));
        } else if (printTo && !info.m_files.isEmpty() && info.m_strPrinterName.isEmpty()) {
            info.m_strPrinterName = a;
        } else if (printTo && !info.m_strPrinterName.isEmpty()) {
            // The platform's form also names a driver and a port; they mean nothing here.
        } else {
            info.m_files.append(absolute(a));
        }
    }

    if (print && printTo)
        return fail(QStringLiteral("--print and --print-to exclude each other"));
    if (printTo) {
        if (info.m_files.isEmpty() || info.m_strPrinterName.isEmpty())
            return fail(QStringLiteral("--print-to needs a file and a printer name"));
        info.m_nShellCommand = FilePrintTo;
        // A PDF target is a file: make its name absolute, like every other file.
        if (info.PrintsToPdf())
            info.m_strPrinterName = absolute(info.m_strPrinterName);
    } else if (print) {
        if (info.m_files.size() != 1)
            return fail(QStringLiteral("--print needs one file"));
        info.m_nShellCommand = FilePrint;
    } else {
        info.m_nShellCommand = info.m_files.isEmpty() ? FileNew : FileOpen;
    }
    return info;
}

CString CCommandLineInfo::Usage()
{
    return QStringLiteral(
        "Usage: quillbar [options] [FILE...]\n"
        "  FILE                         open label files (*.tag)\n"
        "  --print FILE                 print a label file on the default printer\n"
        "  /p FILE                      the same as --print\n"
        "  --print-to FILE PRINTER      print on a named printer; a name ending in .pdf writes that PDF file\n"
        "  /pt FILE PRINTER             the same as --print-to\n"
        "  --resources PATH             use this resource module\n"
        "  --language ENU|CHS|CHT       language of the resource module\n"
        "  --help                       show this help and end\n");
}
