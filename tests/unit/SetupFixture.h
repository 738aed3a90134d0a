// The common fixture: a fresh fake machine and recording view for each test,
// with the process-wide setup state back at its start values.
#ifndef TESTS_UNIT_SETUPFIXTURE_H
#define TESTS_UNIT_SETUPFIXTURE_H

#include <gtest/gtest.h>
#include <string.h>

#include "setup/SetupState.h"
#include "tests/fake/FakeSystem.h"
#include "tests/fake/RecordingView.h"

class SetupTest : public ::testing::Test {
protected:
    SetupTest() {
        WindowsKind = 0;
        HddInterface = 0;
        ErrorFlag = 0;
        memset(&FolderPaths, 0, sizeof FolderPaths);
        UseSystemServices(&sys);
    }
    ~SetupTest() { UseSystemServices(0); }

    // The five files of the installation medium on the current drive E:,
    // read-only as on a CD.
    static void PutMediumOn(FakeSystem& machine) {
        machine.WriteFile("E:\\Peek_B.exe", "medium Peek_B.exe", 0x21);
        machine.WriteFile("E:\\QSPK2.DAT", "medium QSPK2.DAT", 0x21);
        machine.WriteFile("E:\\98\\v98.vxd", "medium v98.vxd", 0x21);
        machine.WriteFile("E:\\NT\\vnt4.sys", "medium vnt4.sys", 0x21);
        machine.WriteFile("E:\\NT\\VNT.sys", "medium VNT.sys", 0x21);
    }
    void PutMedium() { PutMediumOn(sys); }

    FakeSystem sys;
    RecordingView view;
};

// Streams the whole emulated machine into a failing assertion.
#define MACHINE sys.Dump()

#endif
