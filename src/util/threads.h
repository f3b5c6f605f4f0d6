// Whether this build has threads. The Windows build's runtime (mingw's win32
// thread model) has none: the few steps that use a second core where there
// is one (the check, the history's build and fill, the archive's hash) run
// on one core there. Only util/second_core starts threads for the core.
#pragma once

#include <version>
#if defined(_GLIBCXX_HAS_GTHREADS) || !defined(__GLIBCXX__)
#include <future>
#include <thread>
#define KOVIRANT_HAS_THREADS 1
#endif
