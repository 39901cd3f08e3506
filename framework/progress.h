#pragma once
// Long work on the user-interface thread (reading a large data file) tells how far it has come
// through a CProgress, and stops when the user asks it to. The user-interface layer installs the
// maker that shows a progress dialog; without one (printing from the command line, the engines'
// tests) the reports go nowhere and the work is never stopped.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class CProgress {
public:
    virtual ~CProgress() = default;
    // done of total units; false once the user asked to stop.
    virtual bool Step(std::int64_t done, std::int64_t total) = 0;
};

// Makes the progress of one piece of work; text says what the work is.
using ProgressMaker = std::function<std::unique_ptr<CProgress>(const QString& text)>;

// Installs the maker (an empty function removes it) and returns the previous one.
ProgressMaker SetProgressMaker(ProgressMaker maker);
// The installed maker's progress, or one that reports nowhere; never null.
std::unique_ptr<CProgress> BeginProgress(const QString& text);

// Work that must not run in the middle of long work whose progress lets events through (a file
// handed over by a second start, a command a window posts to itself): run at once when no
// progress is alive (between BeginProgress and the end of what it returned), else from the
// event loop once the last one has ended, in the order given.
void RunOutsideProgress(std::function<void()> work);
