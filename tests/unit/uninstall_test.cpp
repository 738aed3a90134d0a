#include <string>

#include "setup/ControlIds.h"
#include "setup/SetupProcedures.h"
#include "tests/unit/SetupFixture.h"

namespace {

const char kMarker[] = "SYSTEM\\Veltrano Card";
const char kUninstallOk[] = "Uninstall OK !! System will be restart .......";
const char kMemory[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";

class UninstallTest : public SetupTest {
protected:
    // A Windows 98 machine after a complete install from a CD: every file
    // read-only, as CopyFileA keeps the medium's attribute.
    void Installed9x() {
        WindowsKind = 2;
        sys.CreateKey(kMarker);
        sys.WriteFile("c:\\kmdrv\\kmide.dat", "v", 0x21);
        sys.WriteFile("c:\\kmdrv\\Peek_B.exe", "p", 0x21);
        sys.WriteFile("C:\\WINDOWS\\Start Menu\\Programs\\PeekBuff.exe", "p", 0x21);
        sys.WriteFile("C:\\WINDOWS\\SYSTEM\\iosubsys\\v98.vxd", "v", 0x21);
        sys.WriteFile("C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD", "q", 0x21);
        sys.WriteFile("C:\\WINDOWS\\SYSTEM\\SCSIKRN.SYS", "v", 0x21);
        sys.SetValue("System\\CurrentControlSet\\Services\\VxD\\SKVXD", "Start", SYS_REG_BINARY, std::string(1, '\0'));
        sys.SetString("System\\CurrentControlSet\\Services\\VxD\\SKVXD", "StaticVxD", "Scsikrn.vxd");
        sys.SetString("SYSTEM\\Veltrano", "*StateMgr", "statemgr.exe");
        sys.WritePrivateProfileStringA("386Enh", "PagingDrive", "d:", "system.ini");
        sys.WritePrivateProfileStringA("386Enh", "MaxPagingFileSize", "307200", "system.ini");
        sys.calls.clear();
    }
    void InstalledNt(unsigned code, const char* serviceSubKey) {
        sys.UseNtFamily();
        WindowsKind = code;
        sys.CreateKey(kMarker);
        sys.AddDrive('D', SYS_DRIVE_FIXED, 20ull << 30);
        sys.WriteFile("C:\\WINDOWS\\system32\\drivers\\VNT.sys", "5", 0x21);
        sys.WriteFile("c:\\kmdrv\\Peek_B.exe", "p", 0x21);
        sys.WriteFile("C:\\WINDOWS\\Start Menu\\Programs\\PeekBuff.exe", "p", 0x21);
        sys.WriteFile("D:\\pagefile.sys", "paging", 0x27);
        sys.SetValue(kMemory, "PagingFiles", SYS_REG_MULTI_SZ, std::string("D:\\pagefile.sys 27 77\0\0", 23));
        sys.SetValue("SYSTEM\\CurrentControlSet\\Services\\VNT", "Start", SYS_REG_DWORD, std::string(4, '\0'));
        sys.CreateKey(std::string("SYSTEM\\CurrentControlSet\\Services\\") + serviceSubKey);
        sys.calls.clear();
    }
    void ExpectSuccess() {
        ASSERT_EQ(1u, view.messages.size()) << MACHINE;
        EXPECT_EQ(kUninstallOk, view.messages[0].text);
        EXPECT_EQ("Warning", view.messages[0].caption);
        EXPECT_EQ((unsigned)SETUP_MB_ICONQUESTION, view.messages[0].icon);
        EXPECT_FALSE(sys.HasKey(kMarker));
        EXPECT_EQ(1u, sys.restartRequests.size());
        EXPECT_EQ(1002, view.endResult);
        EXPECT_TRUE(view.positions.empty()) << "uninstall shows no progress";
    }
};

TEST_F(UninstallTest, Windows98AfterACompleteInstallFromACd) {
    Installed9x();
    RunUninstall(view);
    const char* gone[] = {"c:\\kmdrv\\kmide.dat", "c:\\kmdrv\\Peek_B.exe",
                          "C:\\WINDOWS\\Start Menu\\Programs\\PeekBuff.exe", "C:\\WINDOWS\\SYSTEM\\iosubsys\\v98.vxd",
                          "C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD", "C:\\WINDOWS\\SYSTEM\\SCSIKRN.SYS"};
    for (const char* path : gone) EXPECT_FALSE(sys.FileExists(path)) << path << "\n" << MACHINE;
    EXPECT_FALSE(sys.DirectoryExists("c:\\kmdrv"));
    EXPECT_TRUE(sys.DirectoryExists("C:\\WINDOWS\\SYSTEM\\iosubsys"));
    EXPECT_EQ("", sys.Profile("system.ini", "386Enh", "PagingDrive"));
    EXPECT_TRUE(sys.HasProfileKey("system.ini", "386Enh", "MaxPagingFileSize"));
    EXPECT_FALSE(sys.HasKey("System\\CurrentControlSet\\Services\\VxD\\SKVXD"));
    EXPECT_TRUE(sys.Value("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices", "*StateMgr") != 0);
    EXPECT_FALSE(sys.HasKey("SYSTEM\\Veltrano"));
    ExpectSuccess();
}

TEST_F(UninstallTest, Windows9xStepsRunInOrderWithTheirLiterals) {
    Installed9x();
    RunUninstall(view);
    std::vector<std::string> removals;
    for (const std::string& call : sys.calls)
        if (call.compare(0, 7, "remove ") == 0 || call.compare(0, 6, "_rmdir") == 0 ||
            call.compare(0, 26, "WritePrivateProfileStringA") == 0)
            removals.push_back(call);
    const std::vector<std::string> expected = {
        "WritePrivateProfileStringA [386Enh] PagingDrive=  system.ini",
        "WritePrivateProfileStringA [386Enh] MaxPagingFileSize=  system.ini",
        "remove c:\\kmdrv\\kmide.dat",
        "remove c:\\kmdrv\\kmscsi.dat",
        "remove c:\\kmdrv\\Peek_B.exe",
        "remove C:\\WINDOWS\\Start Menu\\Programs\\PeekBuff.exe",
        "remove C:\\WINDOWS\\SYSTEM\\iosubsys\\v98.vxd",
        "remove C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD",
        "remove C:\\WINDOWS\\SYSTEM\\SCSIKRN.SYS",
        "_rmdir c:\\kmdrv",
    };
    EXPECT_EQ(expected, removals);
}

TEST_F(UninstallTest, NtPlansDeleteTheirOwnServiceSubkey) {
    const struct {
        unsigned code;
        const char* subKey;
        const char* other;
    } cases[] = {{10, "VNT4", "NT5"}, {12, "VNT4", "NT5"}, {22, "NT5", "VNT4"}, {31, "NT5", "VNT4"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        sys = FakeSystem();
        ErrorFlag = 0;
        view = RecordingView();
        sys.CreateKey(std::string("SYSTEM\\CurrentControlSet\\Services\\") + c.other);
        InstalledNt(c.code, c.subKey);
        RunUninstall(view);
        EXPECT_FALSE(sys.FileExists("C:\\WINDOWS\\system32\\drivers\\VNT.sys")) << MACHINE;
        EXPECT_FALSE(sys.FileExists("c:\\kmdrv\\Peek_B.exe"));
        EXPECT_FALSE(sys.FileExists("C:\\WINDOWS\\Start Menu\\Programs\\PeekBuff.exe"));
        EXPECT_FALSE(sys.FileExists("D:\\pagefile.sys"));
        EXPECT_FALSE(sys.DirectoryExists("c:\\kmdrv"));
        EXPECT_EQ('C', sys.Value(kMemory, "PagingFiles")->data[0]);
        EXPECT_TRUE(sys.HasKey("SYSTEM\\CurrentControlSet\\Services\\VNT"));
        EXPECT_TRUE(sys.Value("SYSTEM\\CurrentControlSet\\Services\\VNT", "Start") == 0);
        EXPECT_FALSE(sys.HasKey(std::string("SYSTEM\\CurrentControlSet\\Services\\") + c.subKey));
        EXPECT_TRUE(sys.HasKey(std::string("SYSTEM\\CurrentControlSet\\Services\\") + c.other));
        EXPECT_EQ(1u, sys.CallsOf("SetFileAttributesA D:\\pagefile.sys 128").size());
        EXPECT_EQ("remove d:\\pagefile.sys", sys.CallsOf("remove").at(3));
        ExpectSuccess();
    }
}

TEST_F(UninstallTest, WithEverythingAlreadyGoneItStillEndsAsACompleteOne) {
    WindowsKind = 7;
    sys.CreateKey(kMarker);
    RunUninstall(view);
    ExpectSuccess();
}

TEST_F(UninstallTest, AForeignFileKeepsTheDataDirectorySilently) {
    Installed9x();
    sys.WriteFile("c:\\kmdrv\\notes.txt", "the technician's");
    RunUninstall(view);
    EXPECT_TRUE(sys.FileExists("c:\\kmdrv\\notes.txt"));
    ExpectSuccess();
}

TEST_F(UninstallTest, RefusalsKeepTheMarkerAndRemoveOnlyAnEmptyDataDirectory) {
    const struct {
        unsigned code;
        const char* message;
    } cases[] = {{0, "Unknow Windows Version"},
                 {14, "The Version not support Windows NT Server"},
                 {24, "The Version not support Windows 2000 Server"},
                 {33, "The Version not support Windows XP Server"},
                 {5, "Unknow Windows Version"},
                 {27, "Unknow Windows Version"},
                 {40, "Unknow Windows Version"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        fresh.CreateKey(kMarker);
        fresh.MakeDirectory("c:\\kmdrv");
        fresh.WriteFile("C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD", "q");
        RecordingView v;
        ErrorFlag = 0;
        WindowsKind = c.code;
        for (int press = 0; press < 2; ++press) RunUninstall(v);
        ASSERT_EQ(2u, v.messages.size()) << "each press repeats the refusal";
        EXPECT_EQ(c.message, v.messages[1].text);
        EXPECT_EQ("Error", v.messages[1].caption);
        EXPECT_EQ((unsigned)SETUP_MB_ICONHAND, v.messages[1].icon);
        EXPECT_TRUE(fresh.HasKey(kMarker));
        EXPECT_FALSE(fresh.DirectoryExists("c:\\kmdrv"));
        EXPECT_TRUE(fresh.FileExists("C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD"));
        EXPECT_TRUE(fresh.restartRequests.empty());
        EXPECT_EQ(-1, v.endResult);
        EXPECT_EQ(2u, fresh.CallsOf("_rmdir").size());
    }
    UseSystemServices(&sys);
}

// With the system directory unknown, a removal composed on it would name a
// file at the root of the current drive, which install never puts there
// (it refuses that copy): such files are someone else's and stay, attributes
// and all.
TEST_F(UninstallTest, AnUnknownSystemDirectoryRemovesNothingAtTheRootOfTheCurrentDrive) {
    const struct {
        const char* what;
        unsigned code;
    } cases[] = {{"9x", 7}, {"XP", 32}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        if (c.code >= 10) fresh.UseNtFamily();
        fresh.CreateKey(kMarker);
        const char* foreign[] = {"E:\\SCSIKRN.VXD", "E:\\SCSIKRN.SYS", "E:\\iosubsys\\v98.vxd",
                                 "E:\\drivers\\VNT.sys"};
        for (const char* path : foreign) fresh.WriteFile(path, "not ours", 0x21);
        fresh.FailOperation("GetSystemDirectoryA");
        RecordingView v;
        ErrorFlag = 0;
        WindowsKind = c.code;
        RunUninstall(v);
        for (const char* path : foreign)
            EXPECT_EQ(0x21u, fresh.FileAttributes(path)) << path << " was touched\n" << fresh.Dump();
        EXPECT_FALSE(fresh.HasKey(kMarker)) << "the uninstall still completes";
    }
    UseSystemServices(&sys);
}

TEST_F(UninstallTest, TheMarkerIsGoneWhileTheMessageShowsAndTheRestartComesAfter) {
    Installed9x();
    bool markerWhileShown = true;
    size_t restartsWhileShown = 99;
    view.onMessage = [&](const RecordingView::Message&) {
        markerWhileShown = sys.HasKey(kMarker);
        restartsWhileShown = sys.restartRequests.size();
    };
    RunUninstall(view);
    EXPECT_FALSE(markerWhileShown) << "the marker was still there while the success message was shown";
    EXPECT_EQ(0u, restartsWhileShown) << "the restart was requested before the message was dismissed";
    EXPECT_EQ(1u, sys.restartRequests.size());
}

TEST_F(UninstallTest, TheDialogEndsAfterTheMessageAndTheRestart) {
    Installed9x();
    RunUninstall(view);
    const std::vector<std::string> tail = {"message Warning " + std::string(kUninstallOk), "end 1002"};
    EXPECT_EQ(tail, view.log);
    EXPECT_EQ("ExitWindowsEx 2 0", sys.calls.back());
}

}  // namespace
