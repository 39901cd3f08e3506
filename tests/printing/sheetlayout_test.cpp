#include "document/drawdoc.h"
#include "printing/paperlist.h"
#include "printing/sheetlayout.h"
#include "printing/sheettext.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace {

CSheetLayout Manual(int labelW, int labelH, int gapX, int gapY)
{
    CSheetLayout s;
    s.SetAutoLabelSize(FALSE);
    s.SetAutoGap(FALSE);
    s.SetLabelSize(labelW, labelH);
    s.SetGap(gapX, gapY);
    return s;
}

}  // namespace

TEST(SheetLayout, SolvesTheAutomaticValues)
{
    CSheetLayout s;
    EXPECT_EQ(s.GetLabelSize(), CSize(950, 554));
    EXPECT_EQ(s.GetGap(), CSize(0, 0));
    EXPECT_TRUE(s.SolveLayout());

    // Automatic label size with gaps of 3 mm and three columns.
    s.SetAutoGap(FALSE);
    s.SetGap(30, 30);
    s.SetGrid(3, 5);
    EXPECT_EQ(s.GetLabelSize().cx, 613);  // (2100 - 60 - 200) / 3

    // Automatic gaps around fixed labels; a gap that comes out negative no longer fits.
    s = CSheetLayout();
    s.SetAutoLabelSize(FALSE);
    s.SetGrid(3, 5);
    s.SetLabelSize(600, 500);
    EXPECT_EQ(s.GetGap(), CSize(50, 67));  // 100 / 2 and 270 / 4, truncated
    EXPECT_TRUE(s.Fits());
    EXPECT_FALSE(s.SetLabelSize(635, 500));
    EXPECT_EQ(s.GetGap().cx, -2);  // -5 / 2 truncates toward zero

    // A single column still counts one gap, when solving and when checking the fit.
    EXPECT_TRUE(s.SetGrid(1, 5));
    s.SetLabelSize(950, 500);
    EXPECT_EQ(s.GetGap().cx, 950);
    EXPECT_TRUE(s.Fits());
}

TEST(SheetLayout, ManualLayoutsOnlyReportTheirFit)
{
    CSheetLayout s = Manual(950, 554, 0, 0);
    EXPECT_TRUE(s.SetMargins(CRect(100, 100, 100, 100)));
    EXPECT_FALSE(s.SetPaperSize(2000, 2970));
    EXPECT_EQ(s.GetLabelSize(), CSize(950, 554));
    EXPECT_TRUE(s.SetPaperSize(2100, 2970));
    EXPECT_FALSE(s.SetGap(1, 0));  // a tenth of a millimetre too wide
    EXPECT_EQ(s.GetGap(), CSize(1, 0));
    EXPECT_EQ(s.GetLabelSize(), CSize(950, 554));

    // Lengths anywhere in the range of int cannot overflow the solver or the fit test.
    constexpr int big = std::numeric_limits<int>::max();
    s = CSheetLayout();
    s.SetGrid(999, 999);
    s.SetAutoLabelSize(FALSE);
    s.SetLabelSize(big, big);
    EXPECT_FALSE(s.Fits());
    EXPECT_EQ(s.GetGap().cx, std::numeric_limits<int>::min());  // saturated, not wrapped
    EXPECT_FALSE(Manual(big, big, big, big).Fits());
    EXPECT_FALSE(SpanFits(big, big, big, 999, big, big));
}

TEST(SheetLayout, OrientationSwapsTheGridAndTurnsMarginsBothWaysAndGridsStayInRange)
{
    CSheetLayout s = Manual(600, 500, 30, 40);
    s.SetGrid(3, 4);
    const CSheetLayout before = s;
    s.SetOrientation(1);
    EXPECT_EQ(s.GetGrid(), before.GetGrid());
    EXPECT_EQ(s.GetLabelSize(), before.GetLabelSize());

    s.SetOrientation(2);
    EXPECT_EQ(s.GetGrid(), CSize(4, 3));
    EXPECT_EQ(s.GetLabelSize(), CSize(500, 600));
    EXPECT_EQ(s.GetGap(), CSize(40, 30));
    EXPECT_EQ(s.GetPaperSize(), CSize(2100, 2970));  // the paper is turned by the paper page

    s.SetMargins(CRect(100, 200, 300, 400));
    s.TurnMargins(true);
    EXPECT_EQ(s.GetMargins(), CRect(200, 300, 400, 100));
    s.TurnMargins(false);
    EXPECT_EQ(s.GetMargins(), CRect(100, 200, 300, 400));

    // Grid counts outside 1 to 999 are not taken.
    s.SetGrid(0, -3);
    EXPECT_EQ(s.GetGrid(), CSize(4, 3));
    s.SetGrid(1000, 999);
    EXPECT_EQ(s.GetGrid(), CSize(4, 999));
}

TEST(SheetLayout, CopiesTheDocumentInSaturatedAndOutOnce)
{
    CDrawDoc doc;
    const float paper[2] = {2100.0f, 2970.0f};
    doc.SetPaperSize(paper);
    doc.SetMargins(99.9f, 100.0f, 100.0f, 100.0f);
    const int grid[2] = {0, -4};  // a damaged file's grid
    doc.SetLabelGrid(grid);
    doc.SetAutoLabelSize(FALSE);
    doc.SetAutoGap(FALSE);
    const float label[2] = {std::numeric_limits<float>::quiet_NaN(), 1.0e9f};
    doc.SetLabelSize(label);
    const float gap[2] = {-2.0e9f, 12.7f};
    doc.SetLabelGap(gap);

    CSheetLayout s;
    s.SetPrinterName(QStringLiteral("Office"));
    s.CopyFromDocument(doc);
    EXPECT_EQ(s.GetMargins(), CRect(99, 100, 100, 100));
    EXPECT_EQ(s.GetGrid(), CSize(1, 1));
    EXPECT_EQ(s.GetLabelSize(), CSize(0, kMaxSheetLength));
    EXPECT_EQ(s.GetGap(), CSize(-kMaxSheetLength, 12));
    EXPECT_EQ(s.GetPrinterName(), QStringLiteral("Office"));

    // Written out, a layout reports a change only once (the wizard's OK marks the document by
    // it, as its tests drive).
    CSheetLayout defaults;
    EXPECT_TRUE(defaults.CopyToDocument(doc));
    EXPECT_EQ(doc.GetLabelSize()[0], 950.0f);
    EXPECT_FALSE(defaults.CopyToDocument(doc));
}

TEST(SheetLayout, PageCountCoversEveryLabel)
{
    EXPECT_EQ(SheetPageCount(25, 2, 5, false), 3);
    EXPECT_EQ(SheetPageCount(20, 2, 5, false), 2);
    EXPECT_EQ(SheetPageCount(20, 2, 5, true), 1);
    EXPECT_EQ(SheetPageCount(0x7fffffffLL * 3, 1, 1, false), 0x7fffffffLL * 3);
    EXPECT_EQ(SheetPageCount(25, 0, 5, false), 0);
    EXPECT_EQ(SheetPageCount(25, 2, -1, true), 0);
}

// Readings and texts must not follow the process locale, which Qt takes from the environment.
class SheetText : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        m_saved = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, GetParam()))
            GTEST_SKIP() << GetParam() << " is not installed (scripts/test.sh makes it)";
        QLocale::setDefault(QLocale(QString::fromLatin1(GetParam()).section(u'.', 0, 0)));
    }
    void TearDown() override
    {
        std::setlocale(LC_ALL, m_saved.c_str());
        QLocale::setDefault(QLocale::c());
    }
    std::string m_saved;
};

TEST_P(SheetText, ReadsAndWritesWithAPoint)
{
    EXPECT_EQ(ReadTenths(QStringLiteral("12.34"), kSizeNudge), 123);
    EXPECT_EQ(ReadTenths(QStringLiteral("12.39"), kSizeNudge), 123);
    EXPECT_EQ(ReadTenths(QStringLiteral("12.34"), kMarginNudge), 123);
    EXPECT_EQ(ReadTenths(QStringLiteral("  12.3mm"), kSizeNudge), 123);
    EXPECT_EQ(ReadTenths(QStringLiteral("12,3"), kSizeNudge), 120);
    EXPECT_EQ(ReadTenths(QStringLiteral("-0.5"), kSizeNudge), -4);
    EXPECT_EQ(ReadTenths(QStringLiteral("1e3"), kSizeNudge), 10000);
    EXPECT_EQ(ReadTenths(QStringLiteral("99999999"), kSizeNudge), kMaxSheetLength);
    EXPECT_EQ(ReadTenths(QStringLiteral("-1e400"), kSizeNudge), -kMaxSheetLength);
    EXPECT_EQ(ReadTenths(QStringLiteral("0.") + QString(400, u'0') + u'7', kSizeNudge), 0);
    EXPECT_EQ(ReadTenths(QStringLiteral("nan"), kSizeNudge), 0);
    EXPECT_EQ(ReadTenths(QStringLiteral("+-3"), kSizeNudge), 0);
    EXPECT_EQ(ReadTenths(QString(), kSizeNudge), 0);

    EXPECT_EQ(ReadWholeNumber(QStringLiteral(" -12x")), -12);
    EXPECT_EQ(ReadWholeNumber(QStringLiteral("99999999999")), std::numeric_limits<int>::max());
    EXPECT_EQ(ReadWholeNumber(QStringLiteral("abc")), 0);
    EXPECT_EQ(ReadCellCount(QStringLiteral("999")), 999);
    EXPECT_FALSE(ReadCellCount(QStringLiteral("1000")));
    EXPECT_FALSE(ReadCellCount(QStringLiteral("0")));

    EXPECT_EQ(FormatMillimetres(100), QStringLiteral("10.0"));
    EXPECT_EQ(FormatMillimetres(-25, 2), QStringLiteral("-2.50"));
    EXPECT_EQ(FormatSheetSize(2100, 2970, QStringLiteral("mm")), QStringLiteral("210.0 x 297.0 mm"));
}

INSTANTIATE_TEST_SUITE_P(Locales, SheetText, ::testing::Values("C", "de_DE.UTF-8"));

TEST(PaperList, SelectsTheMatchingNamedPaperByItsOwnIndex)
{
    const std::vector<PaperInfo> papers {
        {1, 2159, 2794, QStringLiteral("Letter")},
        {256, 500, 500, QString()},  // no name: no entry
        {9, 2100, 2970, QStringLiteral("A4")},
        {256, 1016, 1524, QStringLiteral("4 x 6 in")},
    };
    PaperListChoice c = ChoosePaper(papers, 2100, 2970, 1);
    EXPECT_EQ(c.entries, (std::vector<int> {0, 2, 3}));
    EXPECT_EQ(c.selected, 1);
    EXPECT_EQ(c.fallback, -1);
    c = ChoosePaper(papers, 1524, 1016, 2);
    EXPECT_EQ(c.selected, 2);

    // No match: the last A4 wins, and the sheet takes its code along with its size.
    c = ChoosePaper(papers, 1234, 5678, 1);
    EXPECT_EQ(c.fallback, 2);
    EXPECT_EQ(c.selected, 1);
    const PaperInfo& p = papers[std::size_t(c.fallback)];
    EXPECT_EQ(OrientedPaperSize(p, PaperTurn::Landscape, CSize()), CSize(2970, 2100));
    EXPECT_EQ(OrientedPaperSize(p, PaperTurn::None, CSize(1, 2)), CSize(1, 2));

    // Without an A4, paper 0 is taken and nothing is selected.
    c = ChoosePaper({papers[3], papers[0]}, 1, 1, 1);
    EXPECT_EQ(c.fallback, 0);
    EXPECT_EQ(c.selected, -1);
    EXPECT_EQ(ChoosePaper(FallbackPaperList(), 2100, 2970, 1).selected, 0);
    EXPECT_EQ(ChoosePaper({}, 2100, 2970, 1).fallback, -1);
}
