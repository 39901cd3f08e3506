// The shell's plain logic: the zoom box's list, the command line and the version record; the
// program itself started with options that need no window.

#include "app/commandline.h"
#include "app/programrun.h"
#include "framework/fileversioninfo.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <vector>

TEST(CommandLine, OpenPrintAndPrintTo)
{
    EXPECT_EQ(CCommandLineInfo::Parse({}).m_nShellCommand, CCommandLineInfo::FileNew);
    auto open = CCommandLineInfo::Parse({"/tmp/a.tag"});
    EXPECT_EQ(open.m_nShellCommand, CCommandLineInfo::FileOpen);
    EXPECT_EQ(open.FileName(), "/tmp/a.tag");

    auto relative = CCommandLineInfo::Parse({"x/../b.tag"});
    EXPECT_TRUE(relative.FileName().startsWith('/'));
    EXPECT_TRUE(relative.FileName().endsWith("/b.tag"));

    for (const char* form : {"--print", "/p"})
        EXPECT_EQ(CCommandLineInfo::Parse({form, "/tmp/a.tag"}).m_nShellCommand, CCommandLineInfo::FilePrint);

    auto printTo = CCommandLineInfo::Parse({"--print-to", "/tmp/a.tag", "Office Laser"});
    EXPECT_EQ(printTo.m_nShellCommand, CCommandLineInfo::FilePrintTo);
    EXPECT_EQ(printTo.m_strPrinterName, "Office Laser");
    EXPECT_FALSE(printTo.PrintsToPdf());

    // The platform's form names a driver and a port after the printer; they are ignored.
    auto pt = CCommandLineInfo::Parse({"/pt", "/tmp/a.tag", "Laser", "driver", "port"});
    EXPECT_EQ(pt.m_strPrinterName, "Laser");
    EXPECT_EQ(pt.m_files.size(), 1);

    auto pdf = CCommandLineInfo::Parse({"--print-to", "/tmp/a.tag", "out/Sheet.PDF"});
    EXPECT_TRUE(pdf.PrintsToPdf());
    EXPECT_TRUE(pdf.m_strPrinterName.startsWith('/'));

    auto res = CCommandLineInfo::Parse({"--resources", "/x.rcc", "--language", "CHT", "a.tag"});
    EXPECT_EQ(res.m_strResources, "/x.rcc");
    EXPECT_EQ(res.m_strLanguage, "CHT");
    EXPECT_EQ(res.m_nShellCommand, CCommandLineInfo::FileOpen);

    auto dashed = CCommandLineInfo::Parse({"--", "--print"});
    EXPECT_EQ(dashed.m_nShellCommand, CCommandLineInfo::FileOpen);
    EXPECT_TRUE(dashed.FileName().endsWith("/--print"));
}

TEST(CommandLine, MistakesAreReportedNotGuessed)
{
    for (const QStringList& args : {QStringList{"--print"}, QStringList{"--print-to", "/a.tag"},
                                    QStringList{"--bogus"}, QStringList{"--resources"},
                                    QStringList{"--print", "a.tag", "--print-to", "a.tag", "p"},
                                    QStringList{"--print", "a.tag", "b.tag"}}) {
        auto info = CCommandLineInfo::Parse(args);
        EXPECT_FALSE(info.m_strError.isEmpty()) << args.join(' ').toStdString();
        EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileNothing);
    }
}

TEST(CommandLine, ShellDdeStartSkipsWelcomeOnlyForExactlyDde)
{
    for (const char* yes : {"/dde", "quillbar /DdE", "dde"})
        EXPECT_TRUE(IsShellDdeStart(yes)) << yes;
    for (const char* no : {"/dde ", "/ddex", "/home/me/label.tag", ""})
        EXPECT_FALSE(IsShellDdeStart(no)) << no;
    EXPECT_TRUE(CCommandLineInfo::Parse({"/dde"}).m_bShellDde);
    EXPECT_EQ(CCommandLineInfo::Parse({"/dde"}).m_nShellCommand, CCommandLineInfo::FileNew);
}

namespace {
QByteArray ReadExecutable()
{
    QFile f(QStringLiteral(QB_EXECUTABLE));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}

TEST(VersionRecord, BuildWritesItAndTheProgramReadsItBack)
{
    CFileVersionInfo info;
    ASSERT_TRUE(info.Create(QStringLiteral(QB_EXECUTABLE)));
    EXPECT_EQ(info.Translation(0), 0x04B00409u);
    EXPECT_EQ(FormatVersionLine("Version", info), QString("Version\uFF1A 1.0.0.1"));

    // The test program carries no record (its 0.0.0.0 line is checked by the About box).
    CFileVersionInfo none;
    EXPECT_FALSE(none.CreateForRunningProgram());
    EXPECT_FALSE(none.IsValid());
    EXPECT_FALSE(none.Create("/nonexistent/quillbar"));
}

TEST(VersionRecord, DamagedProgramFilesAreRejectedSafely)
{
    const QByteArray image = ReadExecutable();
    ASSERT_GT(image.size(), 1000);
    CFileVersionInfo info;
    ASSERT_TRUE(info.CreateFromImage(image));

    // Every truncation, including one inside the record or the section table, fails cleanly.
    for (qsizetype size : {qsizetype(0), qsizetype(4), qsizetype(63), qsizetype(64), image.size() / 2,
                           image.size() - 1}) {
        EXPECT_FALSE(info.CreateFromImage(image.left(size))) << size;
        EXPECT_EQ(info.FileVersion(0), 0);
    }

    // Random damage to the headers or the section table at the end never reads out of bounds
    // (sanitizer build) and leaves either a valid record or a reset object.
    QRandomGenerator rng(1234);
    const qsizetype tail = qMax<qsizetype>(0, image.size() - 4096);
    // One copy of the program is damaged and mended round by round: copying it each round took
    // most of a minute.
    QByteArray damaged = image;
    for (int round = 0; round < 300; ++round) {
        std::vector<qsizetype> at;
        for (int k = 0; k < 8; ++k) {
            at.push_back((round % 2) ? rng.bounded(64) : tail + rng.bounded(qMin<qsizetype>(4096, image.size())));
            damaged[at.back()] = char(rng.bounded(256));
        }
        EXPECT_TRUE(info.CreateFromImage(damaged) || !info.IsValid());
        for (qsizetype i : at)
            damaged[i] = image[i];
    }
    EXPECT_FALSE(info.CreateFromImage(QByteArray(5000, '\x7f')));
}

TEST(CommandLine, HelpWinsOverEverythingBeforeTheFileMarker)
{
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"-h"}, QStringList{"a.tag", "--bogus", "--help"},
                                    QStringList{"--print", "--help"}}) {
        auto info = CCommandLineInfo::Parse(args);
        EXPECT_TRUE(info.m_bShowHelp) << args.join(' ').toStdString();
        EXPECT_TRUE(info.m_strError.isEmpty());
    }
    auto file = CCommandLineInfo::Parse({"--", "--help"});
    EXPECT_FALSE(file.m_bShowHelp);
    EXPECT_TRUE(file.FileName().endsWith("/--help"));
}


TEST(CommandLine, TheProgramPrintsItsUsageAndReportsAFailedPrintOnce)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());

    // --help needs no display and lists one option a line.
    const ProgramRun help = RunProgram({"--help"}, home.path(), false);
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith("Usage: quillbar"));
    for (const char* option : {"--print FILE", "--print-to FILE PRINTER", "--resources PATH", "--language", "--help"})
        EXPECT_TRUE(help.out.contains(QRegularExpression(QString("\\n  %1 [^\\n]+\\n").arg(QRegularExpression::escape(option)))))
            << option;

    const ProgramRun unknown = RunProgram({"--bogus"}, home.path());
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains("unknown option --bogus"));
    EXPECT_TRUE(unknown.err.contains(CCommandLineInfo::Usage()));

    // A file that does not open is reported once (the label wizard's test prints a good one).
    const QString damaged = home.filePath("damaged.tag");
    QFile f(damaged);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(3000, 'x'));
    f.close();
    const ProgramRun failed = RunProgram({"/pt", damaged, home.filePath("out.pdf")}, home.path());
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.err.count("could not be opened"), 1) << failed.err.toStdString();
    EXPECT_FALSE(QFile::exists(home.filePath("out.pdf")));
}
