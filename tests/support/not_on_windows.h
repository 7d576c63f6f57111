#pragma once
// A test that needs what only POSIX systems have is skipped on Windows with the reason, so the
// run's summary lists it instead of losing it.

#include <gtest/gtest.h>

#define M45_NOT_ON_WINDOWS(reason) GTEST_SKIP() << "not run on Windows: " reason

// The same test, skipped: for tests whose body cannot even be compiled there.
#define M45_SKIPPED_ON_WINDOWS(fixture_macro, suite, name, reason) \
    fixture_macro(suite, name) {                                   \
        M45_NOT_ON_WINDOWS(reason);                                \
    }
