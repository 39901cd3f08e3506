#include <QApplication>
#include <gtest/gtest.h>

// Every test program runs inside one application object, so that fonts, painting and
// widgets work under the offscreen platform.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Pictures and documents that tests write for a person to look at go here.
    if (qEnvironmentVariableIsEmpty("QB_TEST_OUTPUT"))
        qputenv("QB_TEST_OUTPUT", QB_TEST_OUTPUT_DIR);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
