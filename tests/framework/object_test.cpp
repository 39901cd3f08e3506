#include "framework/archive.h"
#include "framework/object.h"

#include <gtest/gtest.h>

#include <vector>

class CTestShape : public CObject {
    DECLARE_DYNAMIC(CTestShape)
};
IMPLEMENT_DYNAMIC(CTestShape, CObject)

class CTestBox : public CTestShape {
    DECLARE_SERIAL(CTestBox)
public:
    int m_id = 0;
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring())
            ar << m_id;
        else
            ar >> m_id;
    }
};
IMPLEMENT_SERIAL(CTestBox, CTestShape, 1)

namespace {

std::vector<int> Ids(const CObList& list)
{
    std::vector<int> ids;
    for (CObject* o : list)
        ids.push_back(static_cast<CTestBox*>(o)->m_id);
    return ids;
}

} // namespace

TEST(ObList, EditingKeepsOrderAndPositions)
{
    CTestBox b[6];
    for (int i = 0; i < 6; ++i)
        b[i].m_id = i;
    CObList list;
    list.AddTail(&b[2]);
    POSITION p3 = list.AddTail(&b[3]);
    list.AddHead(&b[1]);
    list.InsertBefore(list.GetHeadPosition(), &b[0]);
    list.InsertAfter(p3, &b[4]);
    EXPECT_EQ(Ids(list), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(list.GetCount(), 5);

    list.RemoveAt(list.Find(&b[2]));
    EXPECT_TRUE(list.Remove(&b[0]));
    EXPECT_FALSE(list.Remove(&b[5]));
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(list.GetAt(p3), &b[3]);  // other positions survive removals

    // A second occurrence is found after the first.
    POSITION second = list.AddTail(&b[1]);
    EXPECT_EQ(list.Find(&b[1], list.Find(&b[1])), second);
    EXPECT_EQ(list.FindIndex(3), second);
    EXPECT_EQ(list.FindIndex(4), nullptr);

    EXPECT_EQ(list.RemoveHead(), &b[1]);
    EXPECT_EQ(list.RemoveTail(), &b[1]);
    CObList more;
    more.AddTail(&b[0]);
    more.AddTail(&b[5]);
    list.AddHead(&more);
    EXPECT_EQ(Ids(list), (std::vector<int>{0, 5, 3, 4}));
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}

TEST(ObList, LoadingRefusesNullAndRepeatedElements)
{
    const QByteArray repeated("\x02\x00\xFF\xFF\x01\x00\x08\x00" "CTestBox" "\x07\x00\x00\x00" "\x02\x00", 22);
    CObList list;
    CArchive in(repeated);
    try {
        list.Serialize(in);
        FAIL();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::badIndex);
    }
    ASSERT_EQ(list.GetCount(), 1);  // the element read before stays for the caller to free
    delete list.RemoveHead();

    CArchive withNull(QByteArray("\x01\x00\x00\x00", 4));
    EXPECT_THROW(list.Serialize(withNull), CArchiveException);
    EXPECT_TRUE(list.IsEmpty());
}
