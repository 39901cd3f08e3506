#include "framework/progress.h"

namespace {

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
    if (Maker())
        if (auto progress = Maker()(text))
            return progress;
    return std::make_unique<SilentProgress>();
}
