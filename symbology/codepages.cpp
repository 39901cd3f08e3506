#include "symbology/codepages.h"

#include "framework/resourcemodule.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

struct EnglishEntry {
    UINT codePage;
    const char* text;
};

constexpr EnglishEntry kEnglish[] = {
    {737, "Greek"},
    {775, "Estonian"},
    {850, "Multilingual (Latin-1) (Western European languages)"},
    {852, "Slavic (Latin-2) (Eastern European languages)"},
    {855, "Cyrillic"},
    {857, "Turkish"},
    {858, "Multilingual with euro symbol"},
    {860, "Portuguese"},
    {861, "Icelandic"},
    {862, "Hebrew"},
    {863, "French Canadian"},
    {865, "Nordic"},
    {866, "Cyrillic"},
    {869, "Greek"},
    {932, "Japanese"},
    {936, "Simplified Chinese"},
    {949, "Korean"},
    {950, "Traditional Chinese"},
    {1200, "UCS-2LE Unicode little-endian"},
    {1201, "UCS-2BE Unicode big-endian"},
    {1250, "East European Latin"},
    {1251, "Cyrillic"},
    {1252, "West European Latin"},
    {1253, "Greek"},
    {1254, "Turkish"},
    {1255, "Hebrew"},
    {1256, "Arabic"},
    {1257, "Baltic"},
    {1258, "Vietnamese"},
    {10000, "Macintosh Roman encoding (followed by several other Mac character sets)"},
    {10007, "Macintosh Cyrillic encoding"},
    {10029, "Macintosh Central European encoding"},
    {65000, "UTF-7 Unicode"},
    {65001, "UTF-8 Unicode"},
};

// The Chinese catalogues: web name, then the description in simplified and in traditional
// script. The simplified catalogue leaves out 20106.
struct ChineseEntry {
    UINT codePage;
    const char* name;
    const char* simplified;
    const char* traditional;
};

constexpr ChineseEntry kChinese[] = {
    {37, "IBM037", "IBM EBCDIC (美国-加拿大)", "IBM EBCDIC (美國-加拿大)"},
    {437, "IBM437", "OEM 美国", "OEM 美國"},
    {500, "IBM500", "IBM EBCDIC (国际)", "IBM EBCDIC (國際)"},
    {708, "ASMO-708", "阿拉伯字符 (ASMO 708)", "阿拉伯文 (ASMO 708)"},
    {720, "DOS-720", "阿拉伯字符 (DOS)", "阿拉伯文 (DOS)"},
    {737, "ibm737", "希腊字符 (DOS)", "希臘文 (DOS)"},
    {775, "ibm775", "波罗的海字符 (DOS)", "波羅的海文 (DOS)"},
    {850, "ibm850", "西欧字符 (DOS)", "西歐語系 (DOS)"},
    {852, "ibm852", "中欧字符 (DOS)", "中歐語系 (DOS)"},
    {855, "IBM855", "OEM 西里尔语", "OEM 斯拉夫文"},
    {857, "ibm857", "土耳其字符 (DOS)", "土耳其文 (DOS)"},
    {858, "IBM00858", "OEM 多语言拉丁语 I", "OEM 多語系拉丁文 I"},
    {860, "IBM860", "葡萄牙语 (DOS)", "葡萄牙文 (DOS)"},
    {861, "ibm861", "冰岛语 (DOS)", "冰島文 (DOS)"},
    {862, "DOS-862", "希伯来字符 (DOS)", "希伯來文 (DOS)"},
    {863, "IBM863", "加拿大法语 (DOS)", "加拿大法文 (DOS)"},
    {864, "IBM864", "阿拉伯字符 (864)", "阿拉伯文 (864)"},
    {865, "IBM865", "北欧字符 (DOS)", "北歐語系 (DOS)"},
    {866, "cp866", "西里尔字符 (DOS)", "斯拉夫文 (DOS)"},
    {869, "ibm869", "现代希腊字符 (DOS)", "現代希臘文 (DOS)"},
    {870, "IBM870", "IBM EBCDIC (多语言拉丁语 2)", "IBM EBCDIC (多語系拉丁文 2)"},
    {874, "windows-874", "泰语 (Windows)", "泰文 (Windows)"},
    {875, "cp875", "IBM EBCDIC (现代希腊语)", "IBM EBCDIC (現代希臘文)"},
    {932, "shift_jis", "日语 (Shift-JIS)", "日文 (Shift-JIS)"},
    {936, "gb2312", "简体中文 (GB2312)", "簡體中文 (GB2312)"},
    {949, "ks_c_5601-1987", "朝鲜语", "韓文"},
    {950, "big5", "繁体中文 (Big5)", "繁體中文 (Big5)"},
    {1026, "IBM1026", "IBM EBCDIC (土耳其拉丁语 5)", "IBM EBCDIC (土耳其拉丁文 5)"},
    {1047, "IBM01047", "IBM 拉丁语 1", "IBM 拉丁文 1"},
    {1140, "IBM01140", "IBM EBCDIC (美国-加拿大-欧洲)", "IBM EBCDIC (美國-加拿大-歐洲)"},
    {1141, "IBM01141", "IBM EBCDIC (德国-欧洲)", "IBM EBCDIC (德國-歐洲)"},
    {1142, "IBM01142", "IBM EBCDIC (丹麦-挪威-欧洲)", "IBM EBCDIC (丹麥-挪威-歐洲)"},
    {1143, "IBM01143", "IBM EBCDIC (芬兰-瑞典-欧洲)", "IBM EBCDIC (芬蘭-瑞典-歐洲)"},
    {1144, "IBM01144", "IBM EBCDIC (意大利-欧洲)", "IBM EBCDIC (義大利-歐洲)"},
    {1145, "IBM01145", "IBM EBCDIC (西班牙-欧洲)", "IBM EBCDIC (西班牙-歐洲)"},
    {1146, "IBM01146", "IBM EBCDIC (英国-欧洲)", "IBM EBCDIC (英國-歐洲)"},
    {1147, "IBM01147", "IBM EBCDIC (法国-欧洲)", "IBM EBCDIC (法國-歐洲)"},
    {1148, "IBM01148", "IBM EBCDIC (国际-欧洲)", "IBM EBCDIC (國際-歐洲)"},
    {1149, "IBM01149", "IBM EBCDIC (冰岛语-欧洲)", "IBM EBCDIC (冰島文-歐洲)"},
    {1200, "utf-16", "Unicode", "Unicode"},
    {1201, "unicodeFFFE", "Unicode (Big-Endian)", "Unicode (Big-Endian)"},
    {1250, "windows-1250", "中欧字符 (Windows)", "中歐語系 (Windows)"},
    {1251, "windows-1251", "西里尔字符 (Windows)", "斯拉夫文 (Windows)"},
    {1252, "Windows-1252", "西欧字符 (Windows)", "西歐語系 (Windows)"},
    {1253, "windows-1253", "希腊字符 (Windows)", "希臘文 (Windows)"},
    {1254, "windows-1254", "土耳其字符 (Windows)", "土耳其文 (Windows)"},
    {1255, "windows-1255", "希伯来字符 (Windows)", "希伯來文 (Windows)"},
    {1256, "windows-1256", "阿拉伯字符 (Windows)", "阿拉伯文 (Windows)"},
    {1257, "windows-1257", "波罗的海字符 (Windows)", "波羅的海文 (Windows)"},
    {1258, "windows-1258", "越南字符 (Windows)", "越南文 (Windows)"},
    {1361, "Johab", "朝鲜语 (Johab)", "韓文 (Johab)"},
    {10000, "macintosh", "西欧字符 (Mac)", "西歐語系 (Mac)"},
    {10001, "x-mac-japanese", "日语 (Mac)", "日文 (Mac)"},
    {10002, "x-mac-chinesetrad", "繁体中文 (Mac)", "繁體中文 (Mac)"},
    {10003, "x-mac-korean", "朝鲜语 (Mac)", "韓文 (Mac)"},
    {10004, "x-mac-arabic", "阿拉伯字符 (Mac)", "阿拉伯文 (Mac)"},
    {10005, "x-mac-hebrew", "希伯来字符 (Mac)", "希伯來文 (Mac)"},
    {10006, "x-mac-greek", "希腊字符 (Mac)", "希臘文 (Mac)"},
    {10007, "x-mac-cyrillic", "西里尔字符 (Mac)", "斯拉夫文 (Mac)"},
    {10008, "x-mac-chinesesimp", "简体中文 (Mac)", "簡體中文 (Mac)"},
    {10010, "x-mac-romanian", "罗马尼亚语 (Mac)", "羅馬尼亞文 (Mac)"},
    {10017, "x-mac-ukrainian", "西里尔字符 (乌克兰, Mac)", "斯拉夫文 (烏克蘭, Mac)"},
    {10021, "x-mac-thai", "泰语 (Mac)", "泰文 (Mac)"},
    {10029, "x-mac-ce", "中欧字符 (Mac)", "中歐語系 (Mac)"},
    {10079, "x-mac-icelandic", "冰岛语 (Mac)", "冰島文 (Mac)"},
    {10081, "x-mac-turkish", "土耳其字符 (Mac)", "土耳其文 (Mac)"},
    {10082, "x-mac-croatian", "克罗地亚语 (Mac)", "克羅埃西亞文 (Mac)"},
    {12000, "utf-32", "Unicode (UTF-32)", "Unicode (UTF-32)"},
    {12001, "utf-32BE", "Unicode (UTF-32 Big-Endian)", "Unicode (UTF-32 Big-Endian)"},
    {20000, "x-Chinese-CNS", "繁体中文 (CNS)", "繁體中文 (CNS)"},
    {20001, "x-cp20001", "TCA 台湾", "TCA 台灣"},
    {20002, "x-Chinese-Eten", "繁体中文 (Eten)", "繁體中文 (Eten)"},
    {20003, "x-cp20003", "IBM5550 台湾", "IBM5550 台灣"},
    {20004, "x-cp20004", "TeleText 台湾", "TeleText 台灣"},
    {20005, "x-cp20005", "Wang 台湾", "Wang 台灣"},
    {20105, "x-IA5", "西欧字符 (IA5)", "西歐語系 (IA5)"},
    {20106, "x-IA5-German", "德语 (IA5)", "德文 (IA5)"},
    {20107, "x-IA5-Swedish", "瑞典语 (IA5)", "瑞典文 (IA5)"},
    {20108, "x-IA5-Norwegian", "挪威语 (IA5)", "挪威文 (IA5)"},
    {20127, "us-ascii", "US-ASCII", "US-ASCII"},
    {20261, "x-cp20261", "T.61", "T.61"},
    {20269, "x-cp20269", "ISO-6937", "ISO-6937"},
    {20273, "IBM273", "IBM EBCDIC (德国)", "IBM EBCDIC (德國)"},
    {20277, "IBM277", "IBM EBCDIC (丹麦-挪威)", "IBM EBCDIC (丹麥-挪威)"},
    {20278, "IBM278", "IBM EBCDIC (芬兰-瑞典)", "IBM EBCDIC (芬蘭-瑞典)"},
    {20280, "IBM280", "IBM EBCDIC (意大利)", "IBM EBCDIC (義大利)"},
    {20284, "IBM284", "IBM EBCDIC (西班牙)", "IBM EBCDIC (西班牙)"},
    {20285, "IBM285", "IBM EBCDIC (英国)", "IBM EBCDIC (英國)"},
    {20290, "IBM290", "IBM EBCDIC (日语片假名)", "IBM EBCDIC (日文片假名)"},
    {20297, "IBM297", "IBM EBCDIC (法国)", "IBM EBCDIC (法國)"},
    {20420, "IBM420", "IBM EBCDIC (阿拉伯语)", "IBM EBCDIC (阿拉伯文)"},
    {20423, "IBM423", "IBM EBCDIC (希腊语)", "IBM EBCDIC (希臘文)"},
    {20424, "IBM424", "IBM EBCDIC (希伯来语)", "IBM EBCDIC (希伯來文)"},
    {20833, "x-EBCDIC-KoreanExtended", "IBM EBCDIC (朝鲜语扩展)", "IBM EBCDIC (韓文擴充)"},
    {20838, "IBM-Thai", "IBM EBCDIC (泰语)", "IBM EBCDIC (泰文)"},
    {20866, "koi8-r", "西里尔字符 (KOI8-R)", "斯拉夫文 (KOI8-R)"},
    {20871, "IBM871", "IBM EBCDIC (冰岛语)", "IBM EBCDIC (冰島文)"},
    {20880, "IBM880", "IBM EBCDIC (西里尔俄语)", "IBM EBCDIC (斯拉夫俄文)"},
    {20905, "IBM905", "IBM EBCDIC (土耳其语)", "IBM EBCDIC (土耳其文)"},
    {20924, "IBM00924", "IBM 拉丁语 1", "IBM 拉丁文 1"},
    {20932, "EUC-JP", "日语 (JIS 0208-1990 和 0212-1990)", "日文 (JIS 0208-1990 和 0212-1990)"},
    {20936, "x-cp20936", "简体中文 (GB2312-80)", "簡體中文 (GB2312-80)"},
    {20949, "x-cp20949", "朝鲜语 Wansung", "韓文 Wansung"},
    {21025, "cp1025", "IBM EBCDIC (西里尔塞尔维亚-保加利亚语)", "IBM EBCDIC (斯拉夫塞爾維亞-保加利亞文)"},
    {21866, "koi8-u", "西里尔字符 (KOI8-U)", "斯拉夫文 (KOI8-U)"},
    {28591, "iso-8859-1", "西欧字符 (ISO)", "西歐語系 (ISO)"},
    {28592, "iso-8859-2", "中欧字符 (ISO)", "中歐語系 (ISO)"},
    {28593, "iso-8859-3", "拉丁语 3 (ISO)", "拉丁文 3 (ISO)"},
    {28594, "iso-8859-4", "波罗的海字符 (ISO)", "波羅的海文 (ISO)"},
    {28595, "iso-8859-5", "西里尔字符 (ISO)", "斯拉夫文 (ISO)"},
    {28596, "iso-8859-6", "阿拉伯字符 (ISO)", "阿拉伯文 (ISO)"},
    {28597, "iso-8859-7", "希腊字符 (ISO)", "希臘文 (ISO)"},
    {28598, "iso-8859-8", "希伯来字符 (ISO-Visual)", "希伯來文 (ISO-Visual)"},
    {28599, "iso-8859-9", "土耳其字符 (ISO)", "土耳其文 (ISO)"},
    {28603, "iso-8859-13", "爱沙尼亚语 (ISO)", "愛沙尼亞文 (ISO)"},
    {28605, "iso-8859-15", "拉丁语 9 (ISO)", "拉丁文 9 (ISO)"},
    {29001, "x-Europa", "欧罗巴", "歐洲"},
    {38598, "iso-8859-8-i", "希伯来字符 (ISO-Logical)", "希伯來文 (ISO-Logical)"},
    {50220, "iso-2022-jp", "日语 (JIS)", "日文 (JIS)"},
    {50221, "csISO2022JP", "日语 (JIS-允许 1 字节假名)", "日文 (JIS-允許一位元組假名)"},
    {50222, "iso-2022-jp", "日语 (JIS-允许 1 字节假名 - SO/SI)", "日文 (JIS-允許一位元組假名 - SO/SI)"},
    {50225, "iso-2022-kr", "朝鲜语 (ISO)", "韓文 (ISO)"},
    {50227, "x-cp50227", "简体中文 (ISO-2022)", "簡體中文 (ISO-2022)"},
    {51932, "euc-jp", "日语 (EUC)", "日文 (EUC)"},
    {51936, "EUC-CN", "简体中文 (EUC)", "簡體中文 (EUC)"},
    {51949, "euc-kr", "朝鲜语 (EUC)", "韓文 (EUC)"},
    {52936, "hz-gb-2312", "简体中文 (HZ)", "簡體中文 (HZ)"},
    {54936, "GB18030", "简体中文 (GB18030)", "簡體中文 (GB18030)"},
    {57002, "x-iscii-de", "ISCII 梵文", "ISCII 梵文"},
    {57003, "x-iscii-be", "ISCII 孟加拉语", "ISCII 孟加拉文"},
    {57004, "x-iscii-ta", "ISCII 泰米尔语", "ISCII 坦米爾文"},
    {57005, "x-iscii-te", "ISCII 泰卢固语", "ISCII 特拉古文"},
    {57006, "x-iscii-as", "ISCII 阿萨姆语", "ISCII 阿薩姆文"},
    {57007, "x-iscii-or", "ISCII 奥里雅语", "ISCII 歐利亞文"},
    {57008, "x-iscii-ka", "ISCII 卡纳达语", "ISCII 坎那達文"},
    {57009, "x-iscii-ma", "ISCII 马拉雅拉姆语", "ISCII 馬來亞拉姆文"},
    {57010, "x-iscii-gu", "ISCII 古吉拉特语", "ISCII 古吉拉特文"},
    {57011, "x-iscii-pa", "ISCII 旁遮普语", "ISCII 旁遮普文"},
    {65000, "utf-7", "Unicode (UTF-7)", "Unicode (UTF-7)"},
    {65001, "utf-8", "Unicode (UTF-8)", "Unicode (UTF-8)"},
};

// One conversion from UTF-16 into a code page through iconv.
class Converter {
public:
    explicit Converter(UINT codePage)
    {
        if (const char* name = IconvCodePageName(codePage))
            m_cd = iconv_open(name, "UTF-16LE");
    }
    ~Converter()
    {
        if (Valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Valid() const { return m_cd != iconv_t(-1); }

    // Appends the bytes of units; a character the page lacks becomes the page's '?'.
    void Convert(const char16_t* units, std::size_t count, std::vector<BYTE>& out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* in = reinterpret_cast<char*>(const_cast<char16_t*>(units));
        std::size_t inLeft = count * 2;
        char buffer[4096];
        while (true) {
            char* outp = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t r = inLeft ? iconv(m_cd, &in, &inLeft, &outp, &outLeft)
                                         : iconv(m_cd, nullptr, nullptr, &outp, &outLeft);
            out.insert(out.end(), buffer, outp);
            if (r != std::size_t(-1)) {
                if (inLeft == 0 && outp == buffer)
                    break;  // the shift state is back to its start
                continue;
            }
            if (errno == E2BIG)
                continue;
            // A character the page lacks, or a lone surrogate: one '?' for it.
            std::size_t skip = 2;
            if (inLeft >= 4) {
                const char16_t unit = char16_t(BYTE(in[0]) | (BYTE(in[1]) << 8));
                const char16_t next = char16_t(BYTE(in[2]) | (BYTE(in[3]) << 8));
                if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000)
                    skip = 4;
            }
            skip = std::min(skip, inLeft);
            in += skip;
            inLeft -= skip;
            AppendQuestionMark(out);
        }
    }

private:
    void AppendQuestionMark(std::vector<BYTE>& out)
    {
        char16_t mark = u'?';
        char* in = reinterpret_cast<char*>(&mark);
        std::size_t inLeft = 2;
        char buffer[16];
        char* outp = buffer;
        std::size_t outLeft = sizeof buffer;
        if (iconv(m_cd, &in, &inLeft, &outp, &outLeft) == std::size_t(-1) || outp == buffer)
            out.push_back('?');
        else
            out.insert(out.end(), buffer, outp);
    }

    iconv_t m_cd = iconv_t(-1);
};

} // namespace

int ConvertToCodePage(UINT codePage, const CString& text, std::vector<BYTE>& out)
{
    out.clear();
    if (text.isEmpty())
        return 0;
    Converter converter(codePage);
    if (!converter.Valid())
        return 0;
    converter.Convert(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size()), out);
    return int(out.size());
}

bool IsCodePageSupported(UINT codePage)
{
    std::vector<BYTE> bytes;
    return ConvertToCodePage(codePage, QStringLiteral("A"), bytes) > 0;
}

void FillCodePageList(CCodePageMap& out, const CString& languageTag)
{
    out.clear();
    if (languageTag == QLatin1String("ENU")) {
        for (const auto& entry : kEnglish)
            out.emplace(entry.codePage, QStringLiteral("%1: %2").arg(entry.codePage).arg(QString::fromUtf8(entry.text)));
    } else {
        const bool simplified = languageTag == QLatin1String("CHS");
        for (const auto& entry : kChinese) {
            if (simplified && entry.codePage == 20106)
                continue;
            out.emplace(entry.codePage,
                        QStringLiteral("%1: %2 %3")
                            .arg(entry.codePage)
                            .arg(QString::fromUtf8(entry.name),
                                 QString::fromUtf8(simplified ? entry.simplified : entry.traditional)));
        }
    }
    for (auto it = out.begin(); it != out.end();)
        it = IsCodePageSupported(it->first) ? std::next(it) : out.erase(it);
}

void FillCodePageList(CCodePageMap& out)
{
    FillCodePageList(out, CResourceModule::Get().LoadString(CResourceModule::kLanguageTagId).trimmed());
}
