// A save killed at any moment (kill -9 of the saving process) leaves a label that opens whole:
// the old one or the new one; the next save clears away what the killed ones left.

#include "document/drawdoc.h"
#include "objects/drawobj.h"

#include "support/testoutput.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

TEST(SaveKilled, TheLabelOpensWholeAsTheOldOrTheNewOne)
{
    QTemporaryDir dir(TestOutputDir() + "/savekill-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("label.tag");
    CDrawDoc old;
    old.Add(new CDrawRect(CRect(0, 0, 10, 10)));
    ASSERT_TRUE(old.OnSaveDocument(path));
    QFile oldFile(path);
    ASSERT_TRUE(oldFile.open(QIODevice::ReadOnly));
    const QByteArray oldBytes = oldFile.readAll();
    oldFile.close();

    constexpr size_t kObjects = 5000;
    CDrawDoc large;
    for (size_t i = 0; i < kObjects; ++i)
        large.Add(new CDrawRect(CRect(int(i), int(i), int(i) + 100, int(i) + 50)));
    // The kills are spread over a little more than one save's time.
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(large.OnSaveDocument(dir.filePath("probe.tag")));
    const auto saveMicroseconds = std::max<qint64>(clock.nsecsElapsed() / 1000, 1000);

    std::mt19937 random(20261207);
    std::uniform_int_distribution<qint64> moment(0, saveMicroseconds * 3 / 2);
    int oldSeen = 0, newSeen = 0;
    for (int round = 0; round < 60; ++round) {
        QFile reset(path);
        ASSERT_TRUE(reset.open(QIODevice::WriteOnly) && reset.write(oldBytes) == oldBytes.size());
        reset.close();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            ::_exit(large.OnSaveDocument(path) ? 0 : 1);
        ::usleep(useconds_t(moment(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        CDrawDoc back;
        ASSERT_TRUE(back.OnOpenDocument(path)) << "round " << round << ": " << back.GetErrorText().toStdString();
        const size_t count = back.GetObjects().size();
        EXPECT_TRUE(count == 1 || count == kObjects) << "round " << round << ": " << count << " objects";
        (count == 1 ? oldSeen : newSeen)++;
    }
    // What the killed saves left beside the label goes with the next save of it.
    const QStringList leftovers = QDir(dir.path()).entryList({".label.tag.*"}, QDir::Files | QDir::Hidden);
    std::printf("kill -9 during a save of %zu objects (%lld us): %d times the old label, %d times the new, %lld "
                "temporary files left\n",
                kObjects, static_cast<long long>(saveMicroseconds), oldSeen, newSeen,
                static_cast<long long>(leftovers.size()));
    ASSERT_TRUE(old.OnSaveDocument(path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"label.tag", "probe.tag"}));
}
