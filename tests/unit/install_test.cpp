#include <string>

#include "setup/ControlIds.h"
#include "setup/SetupProcedures.h"
#include "tests/unit/SetupFixture.h"

namespace {

const char kMarker[] = "SYSTEM\\Veltrano Card";
const char kRunServices[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices";
const char kInstallOk[] = "Install OK !! System will be restart .......";

class InstallTest : public SetupTest {
protected:
    void Use9x(unsigned code, int hdd) {
        WindowsKind = code;
        HddInterface = hdd;
        PutMedium();
        sys.SetString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices", "*StateMgr", "statemgr.exe");
        sys.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 31);
    }
    void UseNt(unsigned code) {
        sys.UseNtFamily();
        WindowsKind = code;
        PutMedium();
        sys.AddDrive('D', SYS_DRIVE_FIXED, 20ull << 30);
    }
    void TakeFromMedium(const char* path) {
        sys.SetFileAttributesA(path, SYS_FILE_ATTRIBUTE_NORMAL);
        ASSERT_EQ(0, sys.remove(path));
    }
    // The calls that change the machine or show something, in order.
    std::vector<std::string> Effects() const {
        std::vector<std::string> effects;
        for (const std::string& call : sys.calls) {
            const std::string op = call.substr(0, call.find(' '));
            if (op == "CopyFileA" || op == "_mkdir" || op == "RegCreateKeyA" || op == "ExitWindowsEx" ||
                op == "WritePrivateProfileStringA" || op == "RegDeleteValueA")
                effects.push_back(call);
        }
        return effects;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& m : view.messages) texts.push_back(m.caption + ": " + m.text);
        return texts;
    }
};

TEST_F(InstallTest, Windows98IdePlacesEveryFileThenTheSystemChangesInOrder) {
    Use9x(2, 1);
    RunInstall(view);
    const std::vector<std::string> expected = {
        "_mkdir c:\\kmdrv",
        "CopyFileA \\Peek_B.exe -> c:\\kmdrv\\Peek_B.exe",
        "CopyFileA \\Peek_B.exe -> C:\\WINDOWS\\Start Menu\\Programs\\PeekBuff.exe",
        "CopyFileA \\QSPK2.DAT -> C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD",
        "CopyFileA \\98\\v98.vxd -> C:\\WINDOWS\\SYSTEM\\iosubsys\\v98.vxd",
        "CopyFileA \\98\\v98.vxd -> C:\\WINDOWS\\SYSTEM\\SCSIKRN.SYS",
        "CopyFileA \\98\\v98.vxd -> c:\\kmdrv\\kmide.dat",
        "RegCreateKeyA HKLM\\SYSTEM\\Veltrano",
        "RegDeleteValueA *StateMgr",
        "WritePrivateProfileStringA [386Enh] PagingDrive=d: system.ini",
        "WritePrivateProfileStringA [386Enh] MaxPagingFileSize=307200 system.ini",
        "RegCreateKeyA HKLM\\System\\CurrentControlSet\\Services\\VxD\\SKVXD",
        "RegCreateKeyA HKLM\\system\\Veltrano Card",
        "ExitWindowsEx 2 0",
    };
    EXPECT_EQ(expected, Effects()) << MACHINE;
    EXPECT_EQ(std::vector<int>({1, 2, 4, 5, 6, 7, 8, 10}), view.positions);
    EXPECT_EQ(std::vector<std::string>({std::string("Warning: ") + kInstallOk}), Messages());
    EXPECT_EQ((unsigned)SETUP_MB_ICONQUESTION, view.messages[0].icon);
    EXPECT_EQ("medium v98.vxd", sys.FileData("c:\\kmdrv\\kmide.dat"));
    EXPECT_EQ("medium QSPK2.DAT", sys.FileData("C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD"));
    EXPECT_FALSE(sys.FileExists("c:\\kmdrv\\kmscsi.dat"));
    EXPECT_TRUE(sys.HasKey(kMarker));
    EXPECT_EQ(-1, view.endResult) << "the dialog stays open";
    EXPECT_EQ(0, ErrorFlag);
}

TEST_F(InstallTest, ScsiPlacesTheOtherDataFileAndNoChoicePlacesNone) {
    const struct {
        int hdd;
        bool ide, scsi;
    } cases[] = {{1, true, false}, {2, false, true}, {0, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hdd);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        RecordingView v;
        ErrorFlag = 0;
        fresh.WriteFile("E:\\Peek_B.exe", "p");
        fresh.WriteFile("E:\\QSPK2.DAT", "q");
        fresh.WriteFile("E:\\98\\v98.vxd", "v");
        WindowsKind = 7;
        HddInterface = c.hdd;
        RunInstall(v);
        EXPECT_EQ(c.ide, fresh.FileExists("c:\\kmdrv\\kmide.dat"));
        EXPECT_EQ(c.scsi, fresh.FileExists("c:\\kmdrv\\kmscsi.dat"));
        EXPECT_EQ(std::vector<int>({1, 2, 4, 5, 6, 7, 8, 10}), v.positions) << "the data file sets no position";
        EXPECT_TRUE(fresh.HasKey(kMarker));
    }
    UseSystemServices(&sys);
}

// The data file is the plan's last copy: when it fails, the state-manager
// entry, paging and the VxD entry that come after it stay as they were.
TEST_F(InstallTest, AFailedDataCopyLeavesTheSystemAsItWas) {
    const struct {
        const char* what;
        int hdd;
        const char* inTheWay;  // a folder where the data file goes; 0: its source does not open
        const char* message;
    } cases[] = {
        {"SCSI, source not opened", 2, 0, "Soure File four not found"},
        {"SCSI, nothing written", 2, "c:\\kmdrv\\kmscsi.dat", "Cannot write c:\\kmdrv\\kmscsi.dat"},
        {"IDE, source not opened", 1, 0, "Soure File four not found"},
        {"IDE, nothing written", 1, "c:\\kmdrv\\kmide.dat", "Cannot write c:\\kmdrv\\kmide.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        PutMediumOn(fresh);
        fresh.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 31);
        fresh.SetString(kRunServices, "*StateMgr", "statemgr.exe");
        if (c.inTheWay)
            fresh.MakeDirectory(c.inTheWay);
        else
            fresh.FailNthCallOf("fopen", 6);  // the data file's; the five copies before it open theirs
        RecordingView v;
        ErrorFlag = 0;
        WindowsKind = 7;
        HddInterface = c.hdd;
        RunInstall(v);
        ASSERT_EQ(1u, v.messages.size()) << fresh.Dump();
        EXPECT_EQ(c.message, v.messages[0].text);
        EXPECT_EQ(8, v.position);
        const FakeSystem::RegValue* entry = fresh.Value(kRunServices, "*StateMgr");
        EXPECT_TRUE(entry && entry->data == std::string("statemgr.exe", 13) && !fresh.HasKey("SYSTEM\\Veltrano"))
            << "the state-manager entry was moved\n" << fresh.Dump();
        EXPECT_FALSE(fresh.HasProfileKey("system.ini", "386Enh", "PagingDrive")) << "paging was moved";
        EXPECT_FALSE(fresh.HasKey("System\\CurrentControlSet\\Services\\VxD\\SKVXD")) << "the VxD was registered";
        EXPECT_FALSE(fresh.HasKey(kMarker));
    }
    UseSystemServices(&sys);
}

struct MissingCase {
    unsigned code;
    const char* missing;  // a file of the medium
    const char* message;
    int lastPosition;
};

const MissingCase kMissing[] = {
    {2, "E:\\Peek_B.exe", "Soure File One not found", 2},
    {2, "E:\\QSPK2.DAT", "Soure File Tow-1 not found", 5},
    {7, "E:\\98\\v98.vxd", "Soure File Tree not found", 6},
    {12, "E:\\NT\\vnt4.sys", "Soure File one not found", 3},
    {12, "E:\\Peek_B.exe", "Soure File Two not found", 5},
    {22, "E:\\NT\\VNT.sys", "Soure File One not found", 3},
    {32, "E:\\Peek_B.exe", "Soure File Two not found", 5},
};

TEST_F(InstallTest, AMissingSourceStopsThePlanWithItsMessage) {
    for (const MissingCase& c : kMissing) {
        SCOPED_TRACE(c.message);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        if (c.code >= 10) fresh.UseNtFamily();
        fresh.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 31);
        fresh.SetString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices", "*StateMgr", "s");
        RecordingView fresh_view;
        ErrorFlag = 0;
        WindowsKind = c.code;
        HddInterface = 1;
        fresh.WriteFile("E:\\Peek_B.exe", "p");
        fresh.WriteFile("E:\\QSPK2.DAT", "q");
        fresh.WriteFile("E:\\98\\v98.vxd", "v");
        fresh.WriteFile("E:\\NT\\vnt4.sys", "4");
        fresh.WriteFile("E:\\NT\\VNT.sys", "5");
        fresh.remove(c.missing);
        RunInstall(fresh_view);
        ASSERT_EQ(1u, fresh_view.messages.size());
        EXPECT_EQ(c.message, fresh_view.messages[0].text);
        EXPECT_EQ("Error", fresh_view.messages[0].caption);
        EXPECT_EQ((unsigned)SETUP_MB_ICONHAND, fresh_view.messages[0].icon);
        EXPECT_EQ(c.lastPosition, fresh_view.position);
        EXPECT_EQ(-1, ErrorFlag);
        EXPECT_FALSE(fresh.HasKey(kMarker));
        EXPECT_TRUE(fresh.restartRequests.empty());
        EXPECT_TRUE(fresh.CallsOf("RegSetValueExA").empty()) << "no system change after a failed copy";
        EXPECT_TRUE(fresh.CallsOf("WritePrivateProfileStringA").empty());
    }
    UseSystemServices(&sys);
}

// The steps whose source was opened by the step before them, and the
// Programs-folder steps, fail only in rarer ways: a source that stops opening
// (a medium taken out, a file locked) or a folder too long to compose on.
TEST_F(InstallTest, RarelyReachedStepsShowTheirOwnMessages) {
    const std::string longPrograms = "C:\\" + std::string(240, 'P');  // 243 + "\\PeekBuff.exe" > 255
    const struct {
        const char* what;
        unsigned code;
        int hdd;
        size_t failingOpen;  // which fopen of the run fails; 0: none
        bool longProgramsFolder;
        const char* message;
        int lastPosition;
    } cases[] = {
        {"9x Programs folder", 7, 1, 0, true, "Soure File Tow not found", 4},
        {"NT 4.0 Programs folder", 12, 0, 0, true, "Soure File Tree not found", 7},
        {"2000 Programs folder", 22, 0, 0, true, "Soure File Tree not found", 7},
        {"XP Programs folder", 32, 0, 0, true, "Soure File Tree not found", 7},
        {"9x SCSIKRN.SYS", 7, 1, 5, false, "Soure File Tree-1 not found", 7},
        {"9x IDE data file", 7, 1, 6, false, "Soure File four not found", 8},
        {"9x SCSI data file", 2, 2, 6, false, "Soure File four not found", 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        if (c.code >= 10) fresh.UseNtFamily();
        PutMediumOn(fresh);
        if (c.longProgramsFolder) {
            fresh.programsFolder = longPrograms;
            fresh.MakeDirectory(longPrograms);
        }
        if (c.failingOpen) fresh.FailNthCallOf("fopen", c.failingOpen);
        RecordingView v;
        ErrorFlag = 0;
        WindowsKind = c.code;
        HddInterface = c.hdd;
        RunInstall(v);
        ASSERT_EQ(1u, v.messages.size()) << fresh.Dump();
        EXPECT_EQ(c.message, v.messages[0].text);
        EXPECT_EQ("Error", v.messages[0].caption);
        EXPECT_EQ(c.lastPosition, v.position);
        EXPECT_EQ(-1, ErrorFlag);
        EXPECT_FALSE(fresh.HasKey(kMarker));
        EXPECT_TRUE(fresh.restartRequests.empty());
    }
    UseSystemServices(&sys);
}

TEST_F(InstallTest, Windows9xWithoutV98LeavesTheFirstThreeFiles) {
    Use9x(2, 1);
    TakeFromMedium("E:\\98\\v98.vxd");
    RunInstall(view);
    EXPECT_TRUE(sys.FileExists("c:\\kmdrv\\Peek_B.exe"));
    EXPECT_TRUE(sys.FileExists("C:\\WINDOWS\\Start Menu\\Programs\\PeekBuff.exe"));
    EXPECT_TRUE(sys.FileExists("C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD"));
    EXPECT_EQ("Soure File Tree not found", view.messages.at(0).text);
    EXPECT_TRUE(sys.Value("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices", "*StateMgr") != 0);
}

TEST_F(InstallTest, NtPlansRegisterTheServiceAndMovePaging) {
    const struct {
        unsigned code;
        const char* source;
        std::vector<int> positions;
    } cases[] = {
        {10, "medium vnt4.sys", {1, 2, 3, 5, 7, 8, 10}},
        {12, "medium vnt4.sys", {1, 2, 3, 5, 7, 8, 10}},
        {21, "medium VNT.sys", {1, 2, 3, 5, 7, 9, 10}},
        {30, "medium VNT.sys", {1, 2, 3, 5, 7, 9, 10}},
        {32, "medium VNT.sys", {1, 2, 3, 5, 7, 9, 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        fresh.UseNtFamily();
        fresh.AddDrive('D', SYS_DRIVE_FIXED, 20ull << 30);
        fresh.WriteFile("E:\\Peek_B.exe", "medium Peek_B.exe");
        fresh.WriteFile("E:\\NT\\vnt4.sys", "medium vnt4.sys");
        fresh.WriteFile("E:\\NT\\VNT.sys", "medium VNT.sys");
        RecordingView v;
        ErrorFlag = 0;
        WindowsKind = c.code;
        RunInstall(v);
        EXPECT_EQ(c.positions, v.positions);
        EXPECT_EQ(c.source, fresh.FileData("C:\\WINDOWS\\system32\\drivers\\VNT.sys")) << fresh.Dump();
        EXPECT_EQ("medium Peek_B.exe", fresh.FileData("c:\\kmdrv\\Peek_B.exe"));
        EXPECT_EQ("medium Peek_B.exe", fresh.FileData("C:\\WINDOWS\\Start Menu\\Programs\\PeekBuff.exe"));
        EXPECT_TRUE(fresh.Value("SYSTEM\\CurrentControlSet\\Services\\VNT", "Start") != 0);
        EXPECT_EQ('D', fresh.Value("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
                                   "PagingFiles")->data[0]);
        EXPECT_FALSE(fresh.FileExists("c:\\kmdrv\\kmide.dat"));
        EXPECT_TRUE(fresh.HasKey(kMarker));
        EXPECT_EQ(1u, fresh.restartRequests.size());
        ASSERT_EQ(1u, v.messages.size());
        EXPECT_EQ(kInstallOk, v.messages[0].text);
    }
    UseSystemServices(&sys);
}

struct RefusalCase {
    unsigned code;
    const char* message;
};

const RefusalCase kRefusals[] = {
    {0, "Unknow Windows Version"},
    {13, "The Version not support Windows NT Server"},
    {15, "The Version not support Windows NT Server"},
    {23, "The Version not support Windows 2000 Server"},
    {25, "The Version not support Windows 2000 Server"},
    {33, "The Version not support Windows XP Server"},
    {35, "The Version not support Windows XP Server"},
    {4, "Unknow Windows Version"},
    {5, "Unknow Windows Version"},
    {8, "Unknow Windows Version"},
    {9, "Unknow Windows Version"},
    {16, "Unknow Windows Version"},
    {19, "Unknow Windows Version"},
    {26, "Unknow Windows Version"},
    {29, "Unknow Windows Version"},
    {36, "Unknow Windows Version"},
    {40, "Unknow Windows Version"},
    {1000, "Unknow Windows Version"},
};

TEST_F(InstallTest, RefusalsCreateOnlyTheDataDirectory) {
    for (const RefusalCase& c : kRefusals) {
        SCOPED_TRACE(c.code);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        fresh.WriteFile("E:\\Peek_B.exe", "p");
        RecordingView v;
        ErrorFlag = 0;
        WindowsKind = c.code;
        HddInterface = 1;
        RunInstall(v);
        ASSERT_EQ(1u, v.messages.size());
        EXPECT_EQ(c.message, v.messages[0].text);
        EXPECT_EQ("Error", v.messages[0].caption);
        EXPECT_EQ((unsigned)SETUP_MB_ICONHAND, v.messages[0].icon);
        EXPECT_EQ(std::vector<int>({1, 2}), v.positions);
        EXPECT_TRUE(fresh.DirectoryExists("c:\\kmdrv"));
        EXPECT_TRUE(fresh.CallsOf("CopyFileA").empty());
        EXPECT_FALSE(fresh.HasKey(kMarker));
        EXPECT_TRUE(fresh.restartRequests.empty());
        EXPECT_EQ(-1, ErrorFlag);
    }
    UseSystemServices(&sys);
}

TEST_F(InstallTest, OpeningStepsShowTheProgressBarOnly) {
    WindowsKind = 0;
    RunInstall(view);
    const std::vector<std::string> opening = {"hide 1004", "hide 1005", "show 1006", "pos 1", "pos 2"};
    EXPECT_EQ(opening, std::vector<std::string>(view.log.begin(), view.log.begin() + 5));
}

TEST_F(InstallTest, FilesOfAnEarlierInstallAreKeptAndTheirStepsSucceed) {
    Use9x(2, 1);
    sys.WriteFile("C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD", "earlier");
    RunInstall(view);
    EXPECT_EQ("earlier", sys.FileData("C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD"));
    EXPECT_EQ(kInstallOk, view.messages.at(0).text);
}

TEST_F(InstallTest, ACopyThatWritesNothingIsAFailure) {
    const struct {
        const char* what;
        unsigned code;
        const char* removeFolder;  // folder that is not there
        const char* message;
        int lastPosition;
    } cases[] = {
        {"9x without iosubsys", 7, "C:\\WINDOWS\\SYSTEM\\iosubsys",
         "Cannot write C:\\WINDOWS\\SYSTEM\\iosubsys\\v98.vxd", 6},
        {"XP without drivers", 32, "C:\\WINDOWS\\system32\\drivers",
         "Cannot write C:\\WINDOWS\\system32\\drivers\\VNT.sys", 3},
        {"Programs folder gone", 22, "C:\\WINDOWS\\Start Menu\\Programs",
         "Cannot write C:\\WINDOWS\\Start Menu\\Programs\\PeekBuff.exe", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        if (c.code >= 10) fresh.UseNtFamily();
        fresh.WriteFile("E:\\Peek_B.exe", "p");
        fresh.WriteFile("E:\\QSPK2.DAT", "q");
        fresh.WriteFile("E:\\98\\v98.vxd", "v");
        fresh.WriteFile("E:\\NT\\VNT.sys", "5");
        fresh.WriteFile("C:\\WINDOWS\\Start Menu\\Programs\\x", "");  // so the folder can be emptied
        fresh.remove("C:\\WINDOWS\\Start Menu\\Programs\\x");
        fresh._rmdir(c.removeFolder);
        ASSERT_FALSE(fresh.DirectoryExists(c.removeFolder));
        RecordingView v;
        ErrorFlag = 0;
        WindowsKind = c.code;
        HddInterface = 2;
        RunInstall(v);
        ASSERT_EQ(1u, v.messages.size()) << fresh.Dump();
        EXPECT_EQ(c.message, v.messages[0].text);
        EXPECT_EQ("Error", v.messages[0].caption);
        EXPECT_EQ(c.lastPosition, v.position);
        EXPECT_FALSE(fresh.HasKey(kMarker));
        EXPECT_TRUE(fresh.restartRequests.empty());
    }
    UseSystemServices(&sys);
}

// Each driver copy looks the system directory up again. When a lookup
// fails, even after earlier ones succeeded, the copy is composed neither on
// what the buffer held (the previous file's path) nor on nothing (the root of
// the medium): it fails with the file's name.
TEST_F(InstallTest, AFailedSystemDirectoryLookupStopsItsDriverCopy) {
    const struct {
        const char* what;
        unsigned code;
        size_t failingLookup;
        const char* message;
        int lastPosition;
    } cases[] = {
        {"9x, first lookup", 7, 1, "Cannot write \\SCSIKRN.VXD", 5},
        {"9x, second lookup", 7, 2, "Cannot write \\iosubsys\\v98.vxd", 6},
        {"9x, third lookup", 7, 3, "Cannot write \\SCSIKRN.SYS", 7},
        {"XP, its one lookup", 32, 1, "Cannot write \\drivers\\VNT.sys", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        if (c.code >= 10) fresh.UseNtFamily();
        PutMediumOn(fresh);
        const std::vector<std::string> medium = fresh.FilesOn('E');
        fresh.FailNthCallOf("GetSystemDirectoryA", c.failingLookup);
        RecordingView v;
        ErrorFlag = 0;
        WindowsKind = c.code;
        HddInterface = 1;
        RunInstall(v);
        ASSERT_EQ(1u, v.messages.size()) << fresh.Dump();
        EXPECT_EQ(c.message, v.messages[0].text);
        EXPECT_EQ(c.lastPosition, v.position);
        EXPECT_EQ(medium, fresh.FilesOn('E')) << "written on the medium\n" << fresh.Dump();
        EXPECT_FALSE(fresh.HasKey(kMarker));
    }
    UseSystemServices(&sys);
}

// The message holds "Cannot write " and a composed path of the longest that
// fits, 255 characters: a 238-character system directory and
// "\\iosubsys\\v98.vxd", with no iosubsys folder for the copy to go into.
TEST_F(InstallTest, CannotWriteShowsAPathOfFullLength) {
    Use9x(7, 1);
    sys.systemDirectory = "C:\\WINDOWS\\" + std::string(227, 'S');
    sys.MakeDirectory(sys.systemDirectory);
    const std::string path = sys.systemDirectory + "\\iosubsys\\v98.vxd";
    ASSERT_EQ(255u, path.size());
    RunInstall(view);
    ASSERT_EQ(1u, view.messages.size()) << MACHINE;
    EXPECT_EQ("Cannot write " + path, view.messages[0].text);
}

TEST_F(InstallTest, AfterAFailureASecondRunEndsWithoutMarkerMessageOrRestart) {
    Use9x(2, 2);
    TakeFromMedium("E:\\QSPK2.DAT");
    RunInstall(view);
    ASSERT_EQ(-1, ErrorFlag);
    sys.WriteFile("E:\\QSPK2.DAT", "now here");
    view.messages.clear();
    view.positions.clear();
    RunInstall(view);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(10, view.position) << "every step succeeded";
    EXPECT_TRUE(sys.FileExists("c:\\kmdrv\\kmscsi.dat"));
    EXPECT_FALSE(sys.HasKey(kMarker));
    EXPECT_TRUE(sys.restartRequests.empty());
    EXPECT_EQ(-1, ErrorFlag);
}

// The icon kinds are the MB_ICONHAND and MB_ICONQUESTION of Windows; one
// more (MB_OKCANCEL is 1) would put a Cancel button into the box.
TEST_F(InstallTest, MessageBoxKindsAreTheWindowsValues) {
    UseNt(32);
    RunInstall(view);
    WindowsKind = 33;
    RunInstall(view);
    ASSERT_EQ(2u, view.messages.size()) << MACHINE;
    EXPECT_EQ(32u, view.messages[0].icon) << view.messages[0].text;
    EXPECT_EQ(16u, view.messages[1].icon) << view.messages[1].text;
}

TEST_F(InstallTest, TheRestartComesAfterTheMessageIsDismissed) {
    UseNt(32);
    size_t restartsWhileShown = 99;
    view.onMessage = [&](const RecordingView::Message&) { restartsWhileShown = sys.restartRequests.size(); };
    RunInstall(view);
    EXPECT_EQ(0u, restartsWhileShown);
    EXPECT_EQ(1u, sys.restartRequests.size());
    EXPECT_TRUE(sys.HasKey(kMarker));
}

// The marker is written before the success message, so that a technician who
// switches off while it is shown has the product installed, and is offered
// Uninstall at the next start.
TEST_F(InstallTest, TheMarkerIsInPlaceWhileTheSuccessMessageShows) {
    const unsigned codes[] = {7, 12, 32};
    for (unsigned code : codes) {
        SCOPED_TRACE(code);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        if (code >= 10) fresh.UseNtFamily();
        PutMediumOn(fresh);
        RecordingView v;
        ErrorFlag = 0;
        WindowsKind = code;
        HddInterface = 1;
        bool markerWhileShown = false;
        v.onMessage = [&](const RecordingView::Message&) { markerWhileShown = fresh.HasKey(kMarker); };
        RunInstall(v);
        ASSERT_EQ(1u, v.messages.size()) << fresh.Dump();
        EXPECT_EQ(kInstallOk, v.messages[0].text);
        EXPECT_TRUE(markerWhileShown) << "the marker was not there while the success message was shown";
    }
    UseSystemServices(&sys);
}

// The driver's registration and the marker are what make Windows load the
// driver, and Setup offer Uninstall, at the next start: when one of them is
// not written the install stops with "Cannot write" and the key, without
// "Install OK" or restart; what was done before stays.
TEST_F(InstallTest, ARegistrationOrMarkerNotWrittenStopsTheInstall) {
    const char kSkvxd[] = "System\\CurrentControlSet\\Services\\VxD\\SKVXD";
    const char kVnt[] = "SYSTEM\\CurrentControlSet\\Services\\VNT";
    const std::string vxdMessage = std::string("Cannot write HKLM\\") + kSkvxd;
    const std::string vntMessage = std::string("Cannot write HKLM\\") + kVnt;
    const std::string markerMessage = "Cannot write HKLM\\system\\Veltrano Card";
    const struct {
        const char* what;
        unsigned code;
        const char* operation;
        size_t nth;               // the call of that operation that fails
        const char* key;          // where the value not written would be; 0: the key itself
        const char* value;
        const std::string& message;
        int lastPosition;
    } cases[] = {
        // Windows 9x: the state-manager entry's holding key and value come first.
        {"9x, SKVXD key", 7, "RegCreateKeyA", 2, kSkvxd, 0, vxdMessage, 8},
        {"9x, Start", 7, "RegSetValueExA", 2, kSkvxd, "Start", vxdMessage, 8},
        {"9x, StaticVxD", 7, "RegSetValueExA", 3, kSkvxd, "StaticVxD", vxdMessage, 8},
        {"9x, marker", 7, "RegCreateKeyA", 3, kMarker, 0, markerMessage, 10},
        {"NT 4.0, VNT key", 12, "RegCreateKeyA", 1, kVnt, 0, vntMessage, 8},
        {"NT 4.0, ErrorControl", 12, "RegSetValueExA", 1, kVnt, "ErrorControl", vntMessage, 8},
        {"XP, Type", 32, "RegSetValueExA", 2, kVnt, "Type", vntMessage, 9},
        {"XP, Start", 32, "RegSetValueExA", 3, kVnt, "Start", vntMessage, 9},
        {"XP, marker", 32, "RegCreateKeyA", 2, kMarker, 0, markerMessage, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        if (c.code >= 10) fresh.UseNtFamily();
        PutMediumOn(fresh);
        fresh.AddDrive('D', SYS_DRIVE_FIXED, 20ull << 30);
        fresh.SetString(kRunServices, "*StateMgr", "statemgr.exe");
        fresh.FailNthCallOf(c.operation, c.nth);
        RecordingView v;
        ErrorFlag = 0;
        WindowsKind = c.code;
        HddInterface = 1;
        RunInstall(v);
        if (c.value)
            EXPECT_TRUE(fresh.Value(c.key, c.value) == 0) << "the failing call was to be this value's\n"
                                                          << fresh.Dump();
        else
            EXPECT_FALSE(fresh.HasKey(c.key)) << "the failing call was to be this key's\n" << fresh.Dump();
        ASSERT_EQ(1u, v.messages.size()) << fresh.Dump();
        EXPECT_EQ(c.message, v.messages[0].text);
        EXPECT_EQ("Error", v.messages[0].caption);
        EXPECT_EQ((unsigned)SETUP_MB_ICONHAND, v.messages[0].icon);
        EXPECT_EQ(c.lastPosition, v.position);
        EXPECT_EQ(-1, ErrorFlag);
        EXPECT_FALSE(fresh.HasKey(kMarker));
        EXPECT_TRUE(fresh.restartRequests.empty());
        EXPECT_TRUE(fresh.FileExists(c.code >= 10 ? "C:\\WINDOWS\\system32\\drivers\\VNT.sys"
                                                  : "C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD"))
            << "the files stay";
        if (c.code >= 10 && c.key == kVnt)
            EXPECT_EQ('C', fresh.Value("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
                                       "PagingFiles")->data[0])
                << "paging, the step after the registration, was moved";
    }
    UseSystemServices(&sys);
}

// With the Programs folder unknown (a lookup call fails, or its path does not
// fit the buffer) its copy stops the install as an unknown system directory
// does: "Cannot write" and the file's name, and no PeekBuff.exe at the root
// of the drive Setup runs from, even when that drive is writable.
TEST_F(InstallTest, AnUnknownProgramsFolderStopsItsCopy) {
    const struct {
        const char* what;
        const char* failing;   // the lookup call that fails; 0: none
        size_t folderLength;   // the Programs folder's length; 0: the usual one
    } unknowns[] = {
        {"SHGetMalloc fails", "SHGetMalloc", 0},
        {"SHGetSpecialFolderLocation fails", "SHGetSpecialFolderLocation", 0},
        {"SHGetPathFromIDListA fails", "SHGetPathFromIDListA", 0},
        {"a folder of 256 characters", 0, 256},
        {"a folder of 259 characters", 0, 259},
    };
    const struct {
        unsigned code;
        int lastPosition;
    } plans[] = {{7, 4}, {12, 7}, {32, 7}};
    const char drives[] = {'E', 'C'};
    for (const auto& u : unknowns)
        for (const auto& p : plans)
            for (char drive : drives) {
                SCOPED_TRACE(std::string(u.what) + ", code " + std::to_string(p.code) + ", started from " + drive);
                FakeSystem fresh;
                UseSystemServices(&fresh);
                if (p.code >= 10) fresh.UseNtFamily();
                fresh.currentDrive = drive;
                const std::string root = std::string(1, drive) + ":\\";
                fresh.WriteFile(root + "Peek_B.exe", "p");  // a writable medium: a copy of the disc
                fresh.WriteFile(root + "QSPK2.DAT", "q");
                fresh.WriteFile(root + "98\\v98.vxd", "v");
                fresh.WriteFile(root + "NT\\vnt4.sys", "4");
                fresh.WriteFile(root + "NT\\VNT.sys", "5");
                if (u.failing) fresh.FailOperation(u.failing);
                if (u.folderLength) {
                    fresh.programsFolder = "C:\\" + std::string(u.folderLength - 3, 'P');
                    fresh.MakeDirectory(fresh.programsFolder);
                }
                RecordingView v;
                ErrorFlag = 0;
                WindowsKind = p.code;
                HddInterface = 1;
                RunInstall(v);
                ASSERT_EQ(1u, v.messages.size()) << fresh.Dump();
                EXPECT_EQ("Cannot write \\PeekBuff.exe", v.messages[0].text);
                EXPECT_EQ("Error", v.messages[0].caption);
                EXPECT_EQ(p.lastPosition, v.position);
                for (char letter : {'C', 'D', 'E'})
                    EXPECT_FALSE(fresh.FileExists(std::string(1, letter) + ":\\PeekBuff.exe")) << fresh.Dump();
                for (const std::string& call : fresh.CallsOf("CopyFileA"))
                    EXPECT_EQ(std::string::npos, call.find("PeekBuff")) << call;
                EXPECT_FALSE(fresh.HasKey(kMarker));
                EXPECT_TRUE(fresh.restartRequests.empty());
            }
    UseSystemServices(&sys);
}

// Each Programs-folder copy looks the folder up at its own step, just before
// composing the path: the buffer holds the previous file's path after a
// copy, and the folder's answer may change between two runs (a second Next
// after a failure). Run 1 copies into the folder and then fails; run 2 sees
// another folder, or a failing lookup.
TEST_F(InstallTest, EachProgramsFolderCopyLooksTheFolderUpAgain) {
    const std::string first = "C:\\WINDOWS\\Start Menu\\Programs";
    const std::string second = "C:\\Documents and Settings\\tech\\Start Menu\\Programs";
    const struct {
        const char* what;
        unsigned code;
        bool lookupFailsInRun2;
    } cases[] = {
        {"9x, another folder", 7, false},
        {"9x, lookup failing", 7, true},
        {"XP, another folder", 32, false},
        {"XP, lookup failing", 32, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        const bool nt = c.code >= 10;
        if (nt) fresh.UseNtFamily();
        PutMediumOn(fresh);
        fresh.MakeDirectory(second);
        // Run 1 stops after the Programs-folder copy: at the next copy on
        // Windows 9x, at the driver's registration on XP.
        if (nt)
            fresh.FailNthCallOf("RegCreateKeyA", 1);
        else
            fresh.FailNthCallOf("fopen", 3);
        RecordingView v;
        ErrorFlag = 0;
        memset(&FolderPaths, 0, sizeof FolderPaths);
        WindowsKind = c.code;
        HddInterface = 1;
        RunInstall(v);
        ASSERT_EQ(1u, v.messages.size()) << fresh.Dump();
        EXPECT_EQ(nt ? "Cannot write HKLM\\SYSTEM\\CurrentControlSet\\Services\\VNT" : "Soure File Tow-1 not found",
                  v.messages[0].text);
        ASSERT_TRUE(fresh.FileExists(first + "\\PeekBuff.exe")) << "run 1 copied into the first folder";

        if (c.lookupFailsInRun2)
            fresh.FailNthCallOf("SHGetPathFromIDListA", 1);
        else
            fresh.programsFolder = second;
        v.messages.clear();
        RunInstall(v);
        if (c.lookupFailsInRun2) {
            ASSERT_EQ(1u, v.messages.size()) << fresh.Dump();
            EXPECT_EQ("Cannot write \\PeekBuff.exe", v.messages[0].text);
            EXPECT_FALSE(fresh.FileExists("E:\\PeekBuff.exe"));
        } else {
            EXPECT_TRUE(v.messages.empty()) << v.messages[0].text;
            EXPECT_TRUE(fresh.FileExists(second + "\\PeekBuff.exe")) << fresh.Dump();
        }
        for (const std::string& call : fresh.CallsOf("CopyFileA"))
            EXPECT_EQ(std::string::npos, call.find("PeekBuff.exe\\")) << "composed on the previous path: " << call;
    }
    UseSystemServices(&sys);
}

}  // namespace
