#include "framework/progress.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <deque>

namespace {

std::atomic<int> g_running{0};

std::deque<std::function<void()>>& Waiting()
{
    static std::deque<std::function<void()>> waiting;
    return waiting;
}

// Runs what waited, one piece at a time, while no progress is alive: a piece that begins long
// work of its own leaves the rest waiting for that work's end.
void RunWaiting()
{
    while (g_running == 0 && !Waiting().empty()) {
        std::function<void()> work = std::move(Waiting().front());
        Waiting().pop_front();
        work();
    }
}

// Counts the progress that is alive; the end of the last lets what waited run from the event
// loop, once the work that ended has returned.
class CountedProgress : public CProgress {
public:
    explicit CountedProgress(std::unique_ptr<CProgress> inner) : m_inner(std::move(inner)) { ++g_running; }
    ~CountedProgress() override
    {
        m_inner.reset();
        if (--g_running == 0 && !Waiting().empty() && QCoreApplication::instance())
            QMetaObject::invokeMethod(QCoreApplication::instance(), &RunWaiting, Qt::QueuedConnection);
    }
    bool Step(std::int64_t done, std::int64_t total) override { return m_inner->Step(done, total); }

private:
    std::unique_ptr<CProgress> m_inner;
};

ProgressMaker& Maker()
{
    static ProgressMaker maker;
    return maker;
}

class SilentProgress : public CProgress {
public:
    bool Step(std::int64_t, std::int64_t) override { return true; }
};

}  // namespace

ProgressMaker SetProgressMaker(ProgressMaker maker)
{
    return std::exchange(Maker(), std::move(maker));
}

std::unique_ptr<CProgress> BeginProgress(const QString& text)
{
    std::unique_ptr<CProgress> progress;
    if (Maker())
        progress = Maker()(text);
    if (!progress)
        progress = std::make_unique<SilentProgress>();
    return std::make_unique<CountedProgress>(std::move(progress));
}

void RunOutsideProgress(std::function<void()> work)
{
    if (g_running == 0 && Waiting().empty()) {
        work();
        return;
    }
    Waiting().push_back(std::move(work));
}
