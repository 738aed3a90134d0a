#include <string>

#include "setup/ControlIds.h"
#include "setup/SetupProcedures.h"
#include "tests/unit/SetupFixture.h"

namespace {

const char kMarker[] = "SYSTEM\\Veltrano Card";
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
        ErrorFlag = 0;
        fresh.WriteFile("E:\\Peek_B.exe", "p");
        fresh.WriteFile("E:\\QSPK2.DAT", "q");
        fresh.WriteFile("E:\\98\\v98.vxd", "v");
        WindowsKind = 7;
        HddInterface = c.hdd;
        RunInstall(view);
        EXPECT_EQ(c.ide, fresh.FileExists("c:\\kmdrv\\kmide.dat"));
        EXPECT_EQ(c.scsi, fresh.FileExists("c:\\kmdrv\\kmscsi.dat"));
        EXPECT_TRUE(fresh.HasKey(kMarker));
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

TEST_F(InstallTest, AnUnknownSystemDirectoryStopsTheDriverCopy) {
    Use9x(2, 1);
    sys.FailOperation("GetSystemDirectoryA");
    RunInstall(view);
    ASSERT_EQ(1u, view.messages.size());
    EXPECT_EQ("Cannot write \\SCSIKRN.VXD", view.messages[0].text);
    EXPECT_FALSE(sys.FileExists("E:\\SCSIKRN.VXD")) << "nothing lands at the root of the medium";
    EXPECT_EQ(5, view.position);
    EXPECT_FALSE(sys.HasKey(kMarker));
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

TEST_F(InstallTest, TheRestartComesAfterTheMessageIsDismissed) {
    UseNt(32);
    size_t restartsWhileShown = 99;
    view.onMessage = [&](const RecordingView::Message&) { restartsWhileShown = sys.restartRequests.size(); };
    RunInstall(view);
    EXPECT_EQ(0u, restartsWhileShown);
    EXPECT_EQ(1u, sys.restartRequests.size());
    EXPECT_TRUE(sys.HasKey(kMarker));
}

}  // namespace
