#include "framework/recordingdc.h"
#include "framework/resourcemanager.h"
#include "framework/resourcemodule.h"

#include <gtest/gtest.h>

TEST(ResourceManager, PicturesAreCutFromStripsAndUnknownOnesDrawNothing)
{
    // 40 pixels give two whole pictures; magenta becomes transparent.
    QImage strip(40, 16, QImage::Format_RGB32);
    strip.fill(qRgb(255, 0, 255));
    strip.setPixel(17, 3, qRgb(1, 2, 3));
    const auto pictures = CResourceManager::SplitStrip(strip, 16, qRgb(255, 0, 255));
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(qAlpha(pictures[0].pixel(0, 0)), 0);
    EXPECT_EQ(pictures[1].pixel(1, 3), qRgb(1, 2, 3));
    EXPECT_TRUE(CResourceManager::SplitStrip(QImage(15, 16, QImage::Format_RGB32), 16, 0).empty());

    CResourceModule module;
    ASSERT_TRUE(module.Load(QStringLiteral(QB_RESOURCE_MODULE), QStringLiteral("ENU")));
    CResourceManager::ReleaseInstance();
    CResourceManager* manager = CResourceManager::GetInstance();
    manager->LoadImages(162, &module);
    // The marker bitmap is 80 pixels wide: five pictures, and none beyond.
    const int count = manager->GetImageCount(162);
    EXPECT_EQ(count, module.LoadBitmap(162).width() / 16);
    EXPECT_FALSE(manager->GetImage(162, count - 1).isNull());
    EXPECT_TRUE(manager->GetImage(162, count).isNull());
    EXPECT_TRUE(manager->GetImage(162, -1).isNull());

    CRecordingDC dc;
    manager->DrawImage(&dc, 162, 1, 10, 20, 16, 16);
    manager->DrawImage(&dc, 999, 0, 10, 20, 16, 16);
    manager->DrawImage(&dc, 162, count, 10, 20, 16, 16);
    ASSERT_EQ(dc.records.size(), 1u);
    EXPECT_EQ(dc.records[0].kind, CRecordedPrimitive::Kind::Image);
    EXPECT_EQ(dc.records[0].rect, CRect(10, 20, 26, 36));
    EXPECT_EQ(qAlpha(dc.records[0].image.pixel(0, 0)), 180);
    CResourceManager::ReleaseInstance();
}
