// What only a fresh process shows: the process-wide setup state before
// anything has run. Every fixture sets the state for its test, so it is taken
// here by a static initialiser, which runs before main and so before any
// test. SetupState.cpp gives its variables constant initialisers, which are
// in place before any static initialiser runs.
#include <gtest/gtest.h>
#include <stddef.h>

#include "setup/SetupState.h"

namespace {

bool AllZero(const void* bytes, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i)
        if (p[i]) return false;
    return true;
}

struct StartState {
    unsigned windowsKind;
    int hddInterface;
    int errorFlag;
    bool folderPathsEmpty;
};

const StartState kAtStart = {WindowsKind, HddInterface, ErrorFlag, AllZero(&FolderPaths, sizeof FolderPaths)};

TEST(ProcessStartTest, SetupStateStartsAtZeroWithEmptyPaths) {
    EXPECT_EQ(0u, kAtStart.windowsKind) << "not recognised until the dialog classifies Windows";
    EXPECT_EQ(0, kAtStart.hddInterface) << "no interface chosen yet";
    EXPECT_EQ(0, kAtStart.errorFlag) << "nothing failed yet";
    EXPECT_TRUE(kAtStart.folderPathsEmpty);
}

}  // namespace
