#include "document/summinfo.h"

#include <gtest/gtest.h>

namespace {

quint64 g_fakeNow = 0;
quint64 FakeNow() { return g_fakeNow; }

struct FakeClock {
    explicit FakeClock(quint64 start) { g_fakeNow = start; CSummInfo::SetClock(&FakeNow); }
    ~FakeClock() { CSummInfo::SetClock(nullptr); }
    void Advance(quint64 ticks) { g_fakeNow += ticks; }
};

DWORD Dword(const QByteArray& b, qsizetype at)
{
    return DWORD(BYTE(b[at])) | DWORD(BYTE(b[at + 1])) << 8 | DWORD(BYTE(b[at + 2])) << 16
        | DWORD(BYTE(b[at + 3])) << 24;
}

constexpr quint64 kMinute = 600000000ULL;

}  // namespace

// The stream of a fresh summary: one section, properties in the order they were added, the
// dictionary last and unpadded.
TEST(SummInfo, StreamLayoutOfNewSummary)
{
    CSummInfo info;
    const QByteArray s = info.WriteToStream();
    ASSERT_GE(s.size(), 48);
    EXPECT_EQ(s.left(2), QByteArray("\xFE\xFF"));
    EXPECT_EQ(QByteArray(s.constData() + 28, 16),
              QByteArray(reinterpret_cast<const char*>(FMTID_SummaryInformation.data()), 16));
    EXPECT_EQ(QByteArray(s.constData() + 8, 16), QByteArray(s.constData() + 28, 16));  // class id
    const qsizetype sec = Dword(s, 44);
    EXPECT_EQ(sec, 48);
    const DWORD count = Dword(s, sec + 4);
    EXPECT_EQ(sec + Dword(s, sec), s.size());
    EXPECT_EQ(count, 19u);
    const DWORD expectedIds[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 12, 14, 15, 16, 18,
                                 0x80000002, 0};
    for (DWORD i = 0; i < count; ++i)
        EXPECT_EQ(Dword(s, sec + 8 + 8 * i), expectedIds[i]) << i;
    // The dictionary: one entry, id 0 with an empty name, 13 bytes at the very end.
    const DWORD dict = Dword(s, sec + 8 + 8 * 18 + 4);
    EXPECT_EQ(sec + dict + 13, s.size());
    EXPECT_EQ(s.mid(sec + dict), QByteArray("\1\0\0\0\0\0\0\0\1\0\0\0\0", 13));
    // The revision "0" as a length-prefixed string padded to four bytes.
    const DWORD rev = Dword(s, sec + 8 + 8 * 8 + 4);
    EXPECT_EQ(s.mid(sec + rev, 12), QByteArray("\x1e\0\0\0\2\0\0\0" "0\0\0\0", 12));

    CSummInfo back;
    back.SetTitle("x");
    ASSERT_TRUE(back.ReadFromStream(s));
    EXPECT_EQ(back.GetTitle(), "");
    EXPECT_EQ(back.WriteToStream(), s);
}

TEST(SummInfo, TextsCountsAndDates)
{
    FakeClock clock(kMinute * 1000);
    CSummInfo info;
    EXPECT_EQ(info.GetLastSave(), "");
    info.RecordCreateDate();
    EXPECT_FALSE(info.GetCreateDate().isEmpty());
    info.SetAppname(QString::fromUtf8("標籤"));
    info.SetTitle(QString::fromUtf8("Étiquette"));
    info.SetNumPages(1);
    info.SetSecurity(0xFFFFFFFF);

    CSummInfo back;
    ASSERT_TRUE(back.ReadFromStream(info.WriteToStream()));
    EXPECT_EQ(back.GetAppname(), QString::fromUtf8("標籤"));
    EXPECT_EQ(back.GetTitle(), QString::fromUtf8("Étiquette"));
    EXPECT_EQ(back.GetSecurity(), "4294967295");
    EXPECT_EQ(back.GetFileTime(CSummInfo::PID_CREATE_DTM), kMinute * 1000);

    // A title longer than the stored limit is cut at a character boundary.
    info.SetTitle(QString(600, QChar(0x00E9)));  // two bytes each in UTF-8
    EXPECT_EQ(info.GetTitle(), QString(511, QChar(0x00E9)));
}

// Each save adds its editing period once and counts the revision up.
TEST(SummInfo, RevisionAndEditingTime)
{
    FakeClock clock(kMinute * 5000);
    CSummInfo info;
    info.StartEditTimeCount();
    clock.Advance(kMinute / 2);
    EXPECT_EQ(info.GetEditTime(), "0 min");
    clock.Advance(kMinute * 2);
    for (int save = 0; save < 2; ++save) {
        info.IncrRevNum();
        info.AddCountToEditTime();
        info.StartEditTimeCount();
        clock.Advance(kMinute * 3);
    }
    EXPECT_EQ(info.GetRevNum(), "2");
    EXPECT_EQ(info.GetFileTime(CSummInfo::PID_EDITTIME), kMinute * 11 / 2);
    EXPECT_EQ(info.GetEditTime(), "8 min");  // 5.5 stored + 3 running

    for (int i = 0; i < 8; ++i)
        info.IncrRevNum();
    EXPECT_EQ(info.GetRevNum(), "10");
}

// A stream of the original platform declares code page 950; its texts read as Unicode.
TEST(SummInfo, ReadsBig5Texts)
{
    CPropertySet set;
    CPropertySection* s = set.AddSection(FMTID_SummaryInformation);
    s->Set(CSummInfo::PID_CODEPAGE, VT_I2, QByteArray("\xb6\x03", 2));  // 950
    s->SetText(CSummInfo::PID_APPNAME, QByteArray("\xbc\xd0\xc5\xd2"));
    s->SetText(CSummInfo::PID_REVNUMBER, "41");
    CSummInfo info;
    ASSERT_TRUE(info.ReadFromStream(set.WriteToStream()));
    EXPECT_EQ(info.GetAppname(), QString::fromUtf8("標籤"));
    EXPECT_EQ(info.GetNumPages(), "");  // absent
    info.IncrRevNum();
    EXPECT_EQ(info.GetRevNum(), "42");
}

TEST(SummInfo, MalformedStreamsAreRefused)
{
    CSummInfo info;
    info.SetTitle("keep");
    const QByteArray good = info.WriteToStream();

    // Every truncation fails and leaves the summary as it was.
    for (qsizetype n = 0; n < good.size(); ++n) {
        CSummInfo t;
        t.SetTitle("keep");
        EXPECT_FALSE(t.ReadFromStream(good.left(n))) << n;
        EXPECT_EQ(t.GetTitle(), "keep");
    }

    auto patched = [&](qsizetype at, DWORD v) {
        QByteArray b = good;
        for (int i = 0; i < 4; ++i)
            b[at + i] = char(v >> (8 * i));
        return b;
    };
    const qsizetype sec = 48;
    CSummInfo t;
    EXPECT_FALSE(t.ReadFromStream(patched(24, 0xFFFFFFFF)));       // section count
    EXPECT_FALSE(t.ReadFromStream(patched(44, 0x7FFFFFF0)));       // section offset
    EXPECT_FALSE(t.ReadFromStream(patched(sec, 0xFFFFFFFF)));      // section size
    EXPECT_FALSE(t.ReadFromStream(patched(sec + 4, 0x10000000)));  // property count
    EXPECT_FALSE(t.ReadFromStream(patched(sec + 12, 0xFFFFFF00))); // property offset
    // The title's length and type.
    const qsizetype title = sec + Dword(good, sec + 8 + 8 + 4);
    EXPECT_FALSE(t.ReadFromStream(patched(title + 4, 0xFFFFFFF0)));
    EXPECT_FALSE(t.ReadFromStream(patched(title, 0x2000)));  // unknown type
    // A dictionary entry longer than 256 bytes.
    const qsizetype dict = sec + Dword(good, sec + 8 + 8 * 18 + 4);
    QByteArray longName = good.left(dict);
    longName += QByteArray("\1\0\0\0\0\0\0\0\x01\x01\0\0", 12) + QByteArray(257, 'n');
    EXPECT_FALSE(t.ReadFromStream(longName));
    // A set without a summary section.
    CPropertySet other;
    other.AddSection(MakeFmtId(1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_FALSE(t.ReadFromStream(other.WriteToStream()));
    EXPECT_EQ(t.GetRevNum(), "0");
}
