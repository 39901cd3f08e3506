#include "data/recordset.h"

#include <gtest/gtest.h>

TEST(RecordSet, WindowsGiveEachKindItsTextAndNullStaysNull)
{
    CRecordSet set({"a", "b", "c"});
    for (int i = 0; i < 1000; ++i) {
        set.BeginRow();
        set.AddInteger(i);
        i % 2 ? set.AddNull() : set.AddReal(i + 0.5);
        const std::string s = "r" + std::to_string(i) + std::string(i % 200, 'x');
        set.AddText(s.data(), s.size());
    }
    EXPECT_EQ(set.GetRecordCount(), 1000);
    EXPECT_EQ(set.GetFieldKind(1), CFieldKind::Real);
    CRowWindow w;
    set.FetchRows(998, 10, w);
    ASSERT_EQ(w.rows, 2);
    EXPECT_EQ(w.At(0, 0), "998");
    EXPECT_EQ(w.At(0, 1), "998.5");
    EXPECT_TRUE(w.At(1, 1).isNull());
    EXPECT_EQ(w.At(1, 2), "r999" + QString(199, 'x'));
    set.FetchRows(1000, 5, w);
    EXPECT_EQ(w.rows, 0);
}
