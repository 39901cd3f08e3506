// Reading back what the print road wrote to PDF files: pages rendered by poppler at 300 dpi, the
// page size, the text, and sheet lengths in pixels of the rendered pages.
#pragma once

#include <QDir>
#include <QImage>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

constexpr int kPdfDpi = 300;

inline QString RunTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        ADD_FAILURE() << program.toStdString() << " did not finish within 30 s";
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The pages of a PDF file rendered at 300 dpi.
inline QList<QImage> RenderPdf(const QString& pdf)
{
    QTemporaryDir dir;
    RunTool("pdftoppm", {"-r", QString::number(kPdfDpi), "-png", pdf, dir.filePath("page")});
    QList<QImage> pages;
    const QStringList files = QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name);
    for (const QString& f : files)
        pages.append(QImage(dir.filePath(f)));
    return pages;
}

// The size of the first page in points, as "W x H".
inline QString PageSize(const QString& pdf)
{
    const auto match = QRegularExpression(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)").match(RunTool("pdfinfo", {pdf}));
    return match.hasMatch() ? QString("%1 x %2").arg(qRound(match.captured(1).toDouble())).arg(qRound(match.captured(2).toDouble()))
                            : QString("<none>");
}

// The text of a PDF file.
inline QString PdfText(const QString& pdf)
{
    return RunTool("pdftotext", {pdf, "-"});
}

// Tenths of a millimetre to pixels of the rendered pages.
inline int Px(double tenths)
{
    return qRound(tenths / 254.0 * kPdfDpi);
}

// An A4 sheet of 2 x 5 labels of 95 x 55.4 mm with 10 mm margins, and where a label of it lies
// on a rendered page.
template <typename Doc>
void UseTwoByFiveSheet(Doc* doc)
{
    const float paper[2] = {2100, 2970}, label[2] = {950, 554}, gap[2] = {0, 0};
    const int grid[2] = {2, 5};
    doc->SetPaperSize(paper);
    doc->SetPaperCode(9);
    doc->SetLabelSize(label);
    doc->SetLabelGap(gap);
    doc->SetLabelGrid(grid);
    doc->SetMargins(100, 100, 100, 100);
}

inline QRect TwoByFiveCell(int col, int row)
{
    return QRect(Px(100 + col * 950), Px(100 + row * 554), Px(950), Px(554));
}
