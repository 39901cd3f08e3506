#include "framework/codepage.h"

#include <clocale>
#include <cstdlib>
#include <string>
#include <unordered_map>

namespace {

struct CodePageName {
    UINT codePage;
    const char* name;
};

// Every Windows code page the program converts, with the glibc iconv name that does it.
constexpr CodePageName kNames[] = {
    {37, "IBM037"},
    {437, "CP437"}, {737, "CP737"}, {775, "CP775"}, {850, "CP850"}, {852, "CP852"},
    {855, "CP855"}, {857, "CP857"}, {858, "CP858"}, {860, "CP860"}, {861, "CP861"},
    {862, "CP862"}, {863, "CP863"}, {864, "CP864"}, {865, "CP865"}, {866, "CP866"},
    {869, "CP869"}, {874, "CP874"}, {932, "CP932"}, {936, "CP936"}, {949, "CP949"},
    {950, "CP950"},
    {500, "IBM500"}, {870, "IBM870"}, {875, "IBM875"}, {1026, "IBM1026"}, {1047, "IBM1047"},
    {1140, "IBM1140"}, {1141, "IBM1141"}, {1142, "IBM1142"}, {1143, "IBM1143"},
    {1144, "IBM1144"}, {1145, "IBM1145"}, {1146, "IBM1146"}, {1147, "IBM1147"},
    {1148, "IBM1148"}, {1149, "IBM1149"},
    {1200, "UTF-16LE"}, {1201, "UTF-16BE"},
    {1250, "CP1250"}, {1251, "CP1251"}, {1252, "CP1252"}, {1253, "CP1253"}, {1254, "CP1254"},
    {1255, "CP1255"}, {1256, "CP1256"}, {1257, "CP1257"}, {1258, "CP1258"},
    {1361, "JOHAB"},
    {10000, "MACINTOSH"}, {10007, "MAC-CYRILLIC"}, {10017, "MAC-UK"},
    {10029, "MAC-CENTRALEUROPE"}, {10079, "MAC-IS"},
    {12000, "UTF-32LE"}, {12001, "UTF-32BE"},
    {20000, "EUC-TW"},
    {20106, "DIN_66003"}, {20107, "SEN_850200_B"}, {20108, "NS_4551-1"},
    {20127, "ASCII"}, {20261, "T.61-8BIT"}, {20269, "ISO_6937"},
    {20273, "IBM273"}, {20277, "IBM277"}, {20278, "IBM278"}, {20280, "IBM280"},
    {20284, "IBM284"}, {20285, "IBM285"}, {20290, "IBM290"}, {20297, "IBM297"},
    {20420, "IBM420"}, {20423, "IBM423"}, {20424, "IBM424"},
    {20866, "KOI8-R"}, {20871, "IBM871"}, {20880, "IBM880"}, {20905, "IBM905"},
    {20932, "EUC-JP"}, {20936, "GB2312"}, {20949, "EUC-KR"}, {21025, "IBM1025"},
    {21866, "KOI8-U"},
    {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"}, {28593, "ISO-8859-3"}, {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"}, {28596, "ISO-8859-6"}, {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
    {708, "ISO-8859-6"}, {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"}, {50221, "ISO-2022-JP"}, {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"}, {50227, "ISO-2022-CN"},
    {51932, "EUC-JP"}, {51936, "EUC-CN"}, {51949, "EUC-KR"}, {54936, "GB18030"},
    {65000, "UTF-7"}, {65001, "UTF-8"},
};

} // namespace

const char* IconvCodePageName(UINT codePage)
{
    static const std::unordered_map<UINT, const char*> byPage = [] {
        std::unordered_map<UINT, const char*> map;
        for (const auto& entry : kNames)
            map.emplace(entry.codePage, entry.name);
        return map;
    }();
    const auto found = byPage.find(codePage);
    return found == byPage.end() ? nullptr : found->second;
}

UINT GetOEMCP()
{
    const char* locale = std::setlocale(LC_CTYPE, nullptr);
    std::string name = locale ? locale : "";
    // setlocale reports "C" until the program adopts the environment's locale.
    if (name.empty() || name == "C" || name == "POSIX") {
        for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* value = std::getenv(variable);
            if (value && *value) {
                name = value;
                break;
            }
        }
    }
    return OemCodePageOfLocale(name.c_str());
}

UINT OemCodePageOfLocale(const char* locale)
{
    const std::string name = locale ? locale : "";
    auto starts = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
    if (starts("zh_TW") || starts("zh_HK") || starts("zh_MO"))
        return 950;
    if (starts("zh"))
        return 936;
    if (starts("ja"))
        return 932;
    if (starts("ko"))
        return 949;
    return 437;
}
