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
        const char* vnt = "SYSTEM\\CurrentControlSet\\Services\\VNT";
        sys.SetValue(vnt, "ErrorControl", SYS_REG_DWORD, std::string("\1\0\0\0", 4));
        sys.SetValue(vnt, "Type", SYS_REG_DWORD, std::string("\1\0\0\0", 4));
        sys.SetValue(vnt, "Start", SYS_REG_DWORD, std::string(4, '\0'));
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
        for (const char* value : {"ErrorControl", "Type", "Start"})
            EXPECT_TRUE(sys.Value("SYSTEM\\CurrentControlSet\\Services\\VNT", value) == 0) << value;
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

// With the Programs folder unknown (a lookup call fails, or its path does not
// fit the buffer), the PeekBuff.exe removal is skipped, as the driver
// removals are when the system directory is unknown: a PeekBuff.exe at the
// root of the drive Setup runs from is someone else's and stays, attributes
// and all. The rest of the uninstall runs and completes.
TEST_F(UninstallTest, AnUnknownProgramsFolderRemovesNothingAtTheRootOfTheCurrentDrive) {
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
    const unsigned codes[] = {7, 12, 32};
    const char drives[] = {'E', 'C'};
    for (const auto& u : unknowns)
        for (unsigned code : codes)
            for (char drive : drives) {
                SCOPED_TRACE(std::string(u.what) + ", code " + std::to_string(code) + ", started from " + drive);
                FakeSystem fresh;
                UseSystemServices(&fresh);
                if (code >= 10) fresh.UseNtFamily();
                fresh.currentDrive = drive;
                fresh.CreateKey(kMarker);
                const std::string foreign = std::string(1, drive) + ":\\PeekBuff.exe";
                fresh.WriteFile(foreign, "not ours", 0x21);
                if (u.failing) fresh.FailOperation(u.failing);
                if (u.folderLength) {
                    fresh.programsFolder = "C:\\" + std::string(u.folderLength - 3, 'P');
                    fresh.WriteFile(fresh.programsFolder + "\\PeekBuff.exe", "p", 0x21);
                }
                RecordingView v;
                ErrorFlag = 0;
                WindowsKind = code;
                RunUninstall(v);
                EXPECT_EQ(0x21u, fresh.FileAttributes(foreign)) << foreign << " was touched\n" << fresh.Dump();
                EXPECT_EQ("not ours", fresh.FileData(foreign));
                for (const std::string& call : fresh.calls)
                    EXPECT_EQ(std::string::npos, call.find("PeekBuff")) << "a removal named " << call;
                ASSERT_EQ(1u, v.messages.size()) << fresh.Dump();
                EXPECT_EQ(kUninstallOk, v.messages[0].text);
                EXPECT_FALSE(fresh.HasKey(kMarker));
            }
    UseSystemServices(&sys);
}

// "Uninstall OK" only when the driver's registration is gone and the marker
// deleted. Every step still runs, in its order; the check comes at the end.
// What stays is named, and the marker stays with a registration, so that the
// next start offers Uninstall again.
TEST_F(UninstallTest, ARegistrationOrMarkerLeftBehindIsNamedAndKeepsTheMarker) {
    const std::string vnt = "Cannot write HKLM\\SYSTEM\\CurrentControlSet\\Services\\VNT";
    const std::string vxd = "Cannot write HKLM\\System\\CurrentControlSet\\Services\\VxD\\SKVXD";
    const std::string marker = "Cannot write HKLM\\system\\Veltrano Card";
    const struct {
        const char* what;
        bool nt;
        const char* operation;
        size_t nth;  // the call of that operation that fails
        const std::string& message;
    } cases[] = {
        {"XP, opening VNT", true, "RegOpenKeyA", 1, vnt},
        {"XP, ErrorControl", true, "RegDeleteValueA", 1, vnt},
        {"XP, Type", true, "RegDeleteValueA", 2, vnt},
        {"XP, Start", true, "RegDeleteValueA", 3, vnt},
        {"XP, the marker", true, "RegDeleteKeyA", 2, marker},
        {"9x, opening VxD", false, "RegOpenKeyA", 2, vxd},
        {"9x, deleting SKVXD", false, "RegDeleteKeyA", 1, vxd},
        {"9x, the marker", false, "RegDeleteKeyA", 3, marker},  // after SKVXD and SYSTEM\Veltrano
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sys = FakeSystem();
        ErrorFlag = 0;
        view = RecordingView();
        if (c.nt)
            InstalledNt(32, "NT5");
        else
            Installed9x();
        sys.FailNthCallOf(c.operation, c.nth);
        RunUninstall(view);
        ASSERT_EQ(1u, view.messages.size()) << MACHINE;
        EXPECT_EQ(c.message, view.messages[0].text);
        EXPECT_EQ("Error", view.messages[0].caption);
        EXPECT_EQ((unsigned)SETUP_MB_ICONHAND, view.messages[0].icon);
        const char* vntKey = "SYSTEM\\CurrentControlSet\\Services\\VNT";
        if (&c.message == &vnt)
            EXPECT_TRUE(sys.Value(vntKey, "ErrorControl") || sys.Value(vntKey, "Type") || sys.Value(vntKey, "Start"))
                << "the failing call was to leave a value\n" << MACHINE;
        if (&c.message == &vxd)
            EXPECT_TRUE(sys.HasKey("System\\CurrentControlSet\\Services\\VxD\\SKVXD")) << "the key was to stay";
        EXPECT_TRUE(sys.HasKey(kMarker)) << MACHINE;
        EXPECT_TRUE(sys.restartRequests.empty());
        EXPECT_EQ(-1, view.endResult) << "the dialog stays open";
        EXPECT_EQ(-1, ErrorFlag);
        // The steps after the registration's removal ran all the same.
        EXPECT_FALSE(sys.DirectoryExists("c:\\kmdrv")) << MACHINE;
        if (c.nt) {
            EXPECT_FALSE(sys.FileExists("D:\\pagefile.sys"));
            EXPECT_EQ('C', sys.Value(kMemory, "PagingFiles")->data[0]);
        } else {
            EXPECT_TRUE(sys.Value("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices", "*StateMgr") != 0);
        }
    }
}

// A registration that is gone counts however it went: on Windows 9x the
// SKVXD key takes its values with it, and a registration that was never
// there (an install that stopped early) is no failure.
TEST_F(UninstallTest, ARegistrationGoneOrNeverThereIsNoFailure) {
    const struct {
        const char* what;
        bool nt;
        const char* failing;  // installed 9x: its first call that fails; 0: nothing installed but the marker
        bool vntKey;          // nothing installed: the key VNT there, without the three values
    } cases[] = {
        {"9x, SKVXD values not deleted but the key", false, "RegDeleteValueA", false},
        {"9x, SKVXD not opened but deleted", false, "RegOpenKeyA", false},
        {"9x, never registered", false, 0, false},
        {"XP, never registered", true, 0, false},
        {"XP, VNT without the three values", true, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sys = FakeSystem();
        ErrorFlag = 0;
        view = RecordingView();
        if (c.failing) {
            Installed9x();
            sys.FailNthCallOf(c.failing, 1);
        } else {
            if (c.nt) sys.UseNtFamily();
            WindowsKind = c.nt ? 32 : 7;
            sys.CreateKey(kMarker);
            if (c.vntKey) sys.SetString("SYSTEM\\CurrentControlSet\\Services\\VNT", "Group", "other");
        }
        RunUninstall(view);
        EXPECT_FALSE(sys.HasKey("System\\CurrentControlSet\\Services\\VxD\\SKVXD"));
        ExpectSuccess();
    }
}

}  // namespace
