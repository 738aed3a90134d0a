// Every platform call of every operation is made to fail in turn; what must
// hold whatever fails: no crash and nothing written past a buffer (the tests
// run under the sanitizers), no key or stream left open, no state-manager
// entry lost, no paging value corrupted, no write of data that was not read,
// and never "Install OK" without the driver (and on Windows 9x the data file
// of the chosen interface), its registration and the marker in place, nor
// "Uninstall OK" with the registration or the marker left; a procedure always
// ends with one message, and the marker is there exactly when install said
// OK, or uninstall did not. The Windows 9x install runs for IDE and for SCSI;
// the uninstalls run on an installed machine.
#include <functional>
#include <string>

#include "setup/SetupProcedures.h"
#include "setup/SystemChanges.h"
#include "setup/WindowsVersion.h"
#include "setup/FileDeployment.h"
#include "tests/unit/SetupFixture.h"

namespace {

const char kRunServices[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices";
const char kHeld[] = "SYSTEM\\Veltrano";
const char kMemory[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
const std::string kPaging("C:\\pagefile.sys 27 77\0E:\\pagefile.sys 5 9\0\0", 42);
const std::string kStateMgr("C:\\WINDOWS\\SYSTEM\\STATEMGR.EXE", 31);
const char kMarker[] = "SYSTEM\\Veltrano Card";
const char kVnt[] = "SYSTEM\\CurrentControlSet\\Services\\VNT";
const char kSkvxd[] = "System\\CurrentControlSet\\Services\\VxD\\SKVXD";
const std::string kDword1("\1\0\0\0", 4), kDword0(4, '\0');

// The driver's registration as install writes it, all of it.
bool Registered(const FakeSystem& sys, bool nt) {
    if (nt) {
        const FakeSystem::RegValue* values[] = {sys.Value(kVnt, "ErrorControl"), sys.Value(kVnt, "Type"),
                                                sys.Value(kVnt, "Start")};
        const std::string data[] = {kDword1, kDword1, kDword0};
        for (int i = 0; i < 3; ++i)
            if (!values[i] || values[i]->type != SYS_REG_DWORD || values[i]->data != data[i]) return false;
        return true;
    }
    const FakeSystem::RegValue* start = sys.Value(kSkvxd, "Start");
    const FakeSystem::RegValue* file = sys.Value(kSkvxd, "StaticVxD");
    return start && start->type == SYS_REG_BINARY && start->data == std::string(1, '\0') && file &&
           file->type == SYS_REG_SZ && file->data == std::string("Scsikrn.vxd", 12);
}

// Nothing of the registration left: none of VNT's three values (the key
// stays by design), no SKVXD key.
bool RegistrationGone(const FakeSystem& sys, bool nt) {
    if (nt) return !sys.Value(kVnt, "ErrorControl") && !sys.Value(kVnt, "Type") && !sys.Value(kVnt, "Start");
    return !sys.HasKey(kSkvxd);
}

void Prepare(FakeSystem& sys, bool nt, bool installed) {
    if (nt) sys.UseNtFamily();
    sys.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 31);
    sys.SetValue(kMemory, "PagingFiles", SYS_REG_MULTI_SZ, kPaging);
    sys.SetValue(kRunServices, "*StateMgr", SYS_REG_SZ, kStateMgr);
    sys.WriteFile("E:\\Peek_B.exe", "p", 0x21);
    sys.WriteFile("E:\\QSPK2.DAT", "q", 0x21);
    sys.WriteFile("E:\\98\\v98.vxd", "v", 0x21);
    sys.WriteFile("E:\\NT\\vnt4.sys", "4", 0x21);
    sys.WriteFile("E:\\NT\\VNT.sys", "5", 0x21);
    if (installed) {
        sys.CreateKey(kMarker);
        if (nt) {
            sys.SetValue(kVnt, "ErrorControl", SYS_REG_DWORD, kDword1);
            sys.SetValue(kVnt, "Type", SYS_REG_DWORD, kDword1);
            sys.SetValue(kVnt, "Start", SYS_REG_DWORD, kDword0);
        } else {
            sys.SetValue(kSkvxd, "Start", SYS_REG_BINARY, std::string(1, '\0'));
            sys.SetString(kSkvxd, "StaticVxD", "Scsikrn.vxd");
        }
    }
    sys.calls.clear();
}

struct Operation {
    const char* name;
    bool nt;
    unsigned kind;
    std::function<void(RecordingView&)> run;
    const char* driver;    // for the procedures: the file that must be in place after "Install OK"
    int hdd = 1;           // the interface chosen
    const char* dataFile = 0;  // Windows 9x: the data file that must be in place after "Install OK"
};

const Operation kOperations[] = {
    {"RegisterNtDriverService", true, 12, [](RecordingView&) { RegisterNtDriverService(); }, 0},
    {"UnregisterNtDriverService", true, 12, [](RecordingView&) { UnregisterNtDriverService("NT5"); }, 0},
    {"RegisterStaticVxd", false, 7, [](RecordingView&) { RegisterStaticVxd(); }, 0},
    {"UnregisterStaticVxd", false, 7, [](RecordingView&) { UnregisterStaticVxd(); }, 0},
    {"RelocatePaging9x", false, 7, [](RecordingView&) { RelocatePaging9x(); }, 0},
    {"RelocatePagingNt", true, 32, [](RecordingView&) { RelocatePagingNt(); }, 0},
    {"RestorePagingNt", true, 32, [](RecordingView&) { RestorePagingNt(); }, 0},
    {"SuspendStateManagerEntry", false, 7, [](RecordingView&) { SuspendStateManagerEntry(); }, 0},
    {"Suspend then restore", false, 7,
     [](RecordingView&) {
         SuspendStateManagerEntry();
         RestoreStateManagerEntry();
     },
     0},
    {"RestartSystem", true, 32, [](RecordingView&) { RestartSystem(); }, 0},
    {"LoadProgramsFolder", false, 7, [](RecordingView&) { LoadProgramsFolder(); }, 0},
    {"first screen probes", false, 7,
     [](RecordingView&) {
         IsProductInstalled();
         ClassifyWindows();
         WindowsDisplayName();
     },
     0},
    {"RunInstall 9x IDE", false, 7, [](RecordingView& v) { RunInstall(v); }, "C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD", 1,
     "c:\\kmdrv\\kmide.dat"},
    {"RunInstall 9x SCSI", false, 7, [](RecordingView& v) { RunInstall(v); }, "C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD", 2,
     "c:\\kmdrv\\kmscsi.dat"},
    {"RunInstall NT 4", true, 12, [](RecordingView& v) { RunInstall(v); }, "C:\\WINDOWS\\system32\\drivers\\VNT.sys"},
    {"RunInstall XP", true, 32, [](RecordingView& v) { RunInstall(v); }, "C:\\WINDOWS\\system32\\drivers\\VNT.sys"},
    {"RunUninstall 9x", false, 7, [](RecordingView& v) { RunUninstall(v); }, 0},
    {"RunUninstall NT 4", true, 12, [](RecordingView& v) { RunUninstall(v); }, 0},
    {"RunUninstall XP", true, 32, [](RecordingView& v) { RunUninstall(v); }, 0},
};

class FaultInjectionTest : public SetupTest {};

TEST_F(FaultInjectionTest, EveryCallFailingInTurn) {
    for (const Operation& op : kOperations) {
        const bool uninstall = std::string(op.name).compare(0, 12, "RunUninstall") == 0;
        // Runs the operation on a prepared machine whose call number k fails
        // (0: none fails).
        auto runWith = [&op, uninstall](FakeSystem& machine, RecordingView& v, size_t k) {
            Prepare(machine, op.nt, uninstall);
            UseSystemServices(&machine);
            ErrorFlag = 0;
            HddInterface = op.hdd;
            WindowsKind = op.kind;
            memset(&FolderPaths, 0, sizeof FolderPaths);
            if (k) machine.FailCallNumber(k);
            op.run(v);
        };
        size_t total;
        {
            FakeSystem clean;
            RecordingView v;
            runWith(clean, v, 0);
            total = clean.CallCount();
        }
        ASSERT_GT(total, 0u) << op.name;
        for (size_t k = 1; k <= total; ++k) {
            FakeSystem faulty;
            RecordingView v;
            runWith(faulty, v, k);
            ASSERT_LE(k, faulty.calls.size()) << op.name;
            const std::string failed = faulty.calls[k - 1];
            SCOPED_TRACE(std::string(op.name) + ": call " + std::to_string(k) + " failed: " + failed);

            EXPECT_EQ(0u, faulty.OpenKeyCount()) << faulty.Dump();
            EXPECT_EQ(0u, faulty.OpenStreamCount());
            EXPECT_EQ(0, faulty.shellAllocations);

            const FakeSystem::RegValue* active = faulty.Value(kRunServices, "*StateMgr");
            const FakeSystem::RegValue* held = faulty.Value(kHeld, "*StateMgr");
            EXPECT_TRUE((active && active->data == kStateMgr) || (held && held->data == kStateMgr))
                << "the state-manager entry was lost\n" << faulty.Dump();

            const FakeSystem::RegValue* paging = faulty.Value(kMemory, "PagingFiles");
            ASSERT_TRUE(paging != 0);
            EXPECT_EQ(kPaging.size(), paging->data.size());
            EXPECT_EQ(kPaging.substr(1), paging->data.substr(1)) << "only the drive letter may change";

            const bool failedRead = failed.compare(0, 16, "RegQueryValueExA") == 0;
            if (failedRead && std::string(op.name).compare(0, 3, "Run") != 0) {
                for (size_t i = k; i < faulty.calls.size(); ++i)
                    EXPECT_NE(0, faulty.calls[i].compare(0, 14, "RegSetValueExA")) << "a write after a failed read";
            }

            bool reportedOk = false;
            for (const auto& m : v.messages) reportedOk = reportedOk || m.caption == "Warning";
            if (op.driver) {
                if (reportedOk) {
                    EXPECT_TRUE(faulty.FileExists(op.driver)) << "Install OK without the driver\n" << faulty.Dump();
                    EXPECT_TRUE(faulty.FileExists("c:\\kmdrv\\Peek_B.exe"));
                    if (op.dataFile) {
                        EXPECT_TRUE(faulty.FileExists(op.dataFile)) << "Install OK without the data file";
                    }
                    EXPECT_TRUE(Registered(faulty, op.nt)) << "Install OK without the registration\n" << faulty.Dump();
                }
                EXPECT_EQ(reportedOk, faulty.HasKey(kMarker)) << "the marker is there exactly after Install OK\n"
                                                              << faulty.Dump();
            }
            if (uninstall) {
                if (reportedOk)
                    EXPECT_TRUE(RegistrationGone(faulty, op.nt)) << "Uninstall OK with the registration left\n"
                                                                 << faulty.Dump();
                EXPECT_EQ(!reportedOk, faulty.HasKey(kMarker)) << "the marker is gone exactly after Uninstall OK\n"
                                                               << faulty.Dump();
            }
            if (op.driver || uninstall) {
                EXPECT_EQ(1u, v.messages.size()) << "a procedure ends with one message, OK or what failed\n"
                                                 << faulty.Dump();
            }
        }
    }
    UseSystemServices(&sys);
}

}  // namespace
