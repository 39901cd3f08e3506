#pragma once
// How long a test waits before it takes a wait for a hang. A test bounds a wait only to end a
// hang: the bound lies far above the normal time of what it waits for, so that a busy machine
// never reaches it, and it grows with QB_TEST_TIME_SCALE where the build runs several times
// slower (tests/CMakeLists.txt). How fast something answers is a benchmark's business.

#ifndef QB_TEST_TIME_SCALE
#define QB_TEST_TIME_SCALE 1
#endif

// `ms` milliseconds of an ordinary build, scaled to this build.
constexpr int HangBoundMs(int ms)
{
    return ms * QB_TEST_TIME_SCALE;
}
