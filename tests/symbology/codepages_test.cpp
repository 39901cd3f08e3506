// Conversion of text into Windows code pages through iconv, and the catalogues of code pages.

#include "symbology/codepages.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> Convert(UINT codePage, const QString& text)
{
    std::vector<BYTE> out;
    const int count = ConvertToCodePage(codePage, text, out);
    EXPECT_EQ(count, int(out.size()));
    return out;
}

} // namespace

TEST(CodePages, ConvertsIntoThePage)
{
    EXPECT_EQ(Convert(936, QStringLiteral("条码")), (std::vector<BYTE>{0xCC, 0xF5, 0xC2, 0xEB}));
    EXPECT_EQ(Convert(950, QStringLiteral("條碼")), (std::vector<BYTE>{0xB1, 0xF8, 0xBD, 0x58}));
    EXPECT_EQ(Convert(949, QStringLiteral("바코드")), (std::vector<BYTE>{0xB9, 0xD9, 0xC4, 0xDA, 0xB5, 0xE5}));
    EXPECT_EQ(Convert(1252, QStringLiteral("Grüße €")),
              (std::vector<BYTE>{0x47, 0x72, 0xFC, 0xDF, 0x65, 0x20, 0x80}));
    // The OEM page has no euro sign: '?' stands in.
    EXPECT_EQ(Convert(437, QStringLiteral("Grüße €")),
              (std::vector<BYTE>{0x47, 0x72, 0x81, 0xE1, 0x65, 0x20, 0x3F}));
    EXPECT_EQ(Convert(1200, QStringLiteral("AB")), (std::vector<BYTE>{0x41, 0x00, 0x42, 0x00}));
    EXPECT_EQ(Convert(1201, QStringLiteral("AB")), (std::vector<BYTE>{0x00, 0x41, 0x00, 0x42}));
    // EBCDIC has its own question mark; a character outside the BMP is one character.
    EXPECT_EQ(Convert(37, QStringLiteral("A\U0001F600")), (std::vector<BYTE>{0xC1, 0x6F}));
    // A lone surrogate and a stateful page that must return to its initial state.
    EXPECT_EQ(Convert(1252, QString(QChar(0xD800)) + QStringLiteral("x")), (std::vector<BYTE>{'?', 'x'}));
    const auto jis = Convert(50220, QStringLiteral("日本"));
    ASSERT_GE(jis.size(), 3u);
    EXPECT_EQ(std::string(jis.end() - 3, jis.end()), "\x1B(B");

    EXPECT_TRUE(Convert(65001, QString()).empty());
    EXPECT_TRUE(Convert(720, QStringLiteral("abc")).empty());    // glibc has no converter
    EXPECT_TRUE(Convert(12345, QStringLiteral("abc")).empty());  // no such page
}

TEST(CodePages, CataloguesWithoutThePagesTheSystemLacks)
{
    CCodePageMap enu, chs, cht, other;
    FillCodePageList(enu, QStringLiteral("ENU"));
    FillCodePageList(chs, QStringLiteral("CHS"));
    FillCodePageList(cht, QStringLiteral("CHT"));
    FillCodePageList(other, QString());
    EXPECT_EQ(enu.size(), 34u);
    EXPECT_EQ(chs.size(), 106u);
    EXPECT_EQ(cht.size(), 107u);
    EXPECT_EQ(other, cht);

    EXPECT_EQ(enu.count(437), 0u);
    EXPECT_EQ(enu.at(65001), QStringLiteral("65001: UTF-8 Unicode"));
    EXPECT_EQ(cht.at(437), QStringLiteral("437: IBM437 OEM 美國"));
    EXPECT_EQ(chs.at(437), QStringLiteral("437: IBM437 OEM 美国"));
    EXPECT_EQ(cht.count(20106), 1u);
    EXPECT_EQ(chs.count(20106), 0u);
    for (UINT lacking : {720u, 10001u, 10006u, 10008u, 20001u, 20924u, 29001u, 52936u, 57002u, 57011u})
        EXPECT_EQ(cht.count(lacking), 0u) << lacking;
    // Every page offered converts; every page the table names is offered in Traditional Chinese.
    for (const auto& [page, text] : cht) {
        EXPECT_TRUE(text.startsWith(QString::number(page) + QStringLiteral(": "))) << page;
        EXPECT_NE(IconvCodePageName(page), nullptr) << page;
    }
}

TEST(CodePages, OemCodePageFollowsTheLocale)
{
    for (auto [locale, page] : {std::pair{"zh_CN.UTF-8", 936u}, {"zh_SG", 936u}, {"zh_TW.Big5", 950u}, {"zh_HK.UTF-8", 950u},
                                {"ja_JP.eucJP", 932u}, {"ko_KR.UTF-8", 949u}, {"en_US.UTF-8", 437u}, {"C", 437u}, {"", 437u}})
        EXPECT_EQ(OemCodePageOfLocale(locale), page) << locale;
    // GetOEMCP reads LC_CTYPE.
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    for (auto [locale, page] : {std::pair{"zh_TW.UTF-8", 950u}, {"ja_JP.UTF-8", 932u}, {"C.UTF-8", 437u}}) {
        if (std::setlocale(LC_CTYPE, locale)) {  // when generated on this system
            EXPECT_EQ(GetOEMCP(), page) << locale;
        }
    }
    std::setlocale(LC_CTYPE, saved.c_str());
}
