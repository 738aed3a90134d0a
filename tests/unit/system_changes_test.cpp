#include <string>

#include "setup/SystemChanges.h"
#include "tests/unit/SetupFixture.h"

namespace {

const char kVnt[] = "SYSTEM\\CurrentControlSet\\Services\\VNT";
const char kSkvxd[] = "System\\CurrentControlSet\\Services\\VxD\\SKVXD";
const char kMemory[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
const char kRunServices[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices";
const char kHeld[] = "SYSTEM\\Veltrano";

std::string Dword(uint32_t v) { return std::string((const char*)&v, 4); }

class SystemChangesTest : public SetupTest {
protected:
    void ExpectValue(const char* key, const char* name, uint32_t type, const std::string& data) {
        const FakeSystem::RegValue* value = sys.Value(key, name);
        ASSERT_TRUE(value != 0) << key << " " << name << "\n" << MACHINE;
        EXPECT_EQ(type, value->type) << name;
        EXPECT_EQ(data, value->data) << name;
    }
};

// ---- driver registration ----

TEST_F(SystemChangesTest, NtServiceHasExactlyThreeDwords) {
    sys.SetString(kVnt, "Other", "kept");
    RegisterNtDriverService();
    ExpectValue(kVnt, "ErrorControl", SYS_REG_DWORD, Dword(1));
    ExpectValue(kVnt, "Type", SYS_REG_DWORD, Dword(1));
    ExpectValue(kVnt, "Start", SYS_REG_DWORD, Dword(0));
    ExpectValue(kVnt, "Other", SYS_REG_SZ, std::string("kept", 5));
    const std::vector<std::string> writes = {"RegSetValueExA ErrorControl 4 4", "RegSetValueExA Type 4 4",
                                             "RegSetValueExA Start 4 4"};
    EXPECT_EQ(writes, sys.CallsOf("RegSetValueExA"));
    EXPECT_EQ(0u, sys.OpenKeyCount());
}

TEST_F(SystemChangesTest, NtUnregisterKeepsTheServiceKeyAndDeletesTheNamedSubkey) {
    const char* names[] = {"NT5", "VNT4"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        RegisterNtDriverService();
        sys.SetString(kVnt, "Other", "kept");
        sys.CreateKey(kVnt + std::string("\\Enum"));
        sys.CreateKey(std::string("SYSTEM\\CurrentControlSet\\Services\\") + name);
        UnregisterNtDriverService(name);
        EXPECT_TRUE(sys.HasKey(kVnt));
        EXPECT_TRUE(sys.HasKey(kVnt + std::string("\\Enum")));
        EXPECT_TRUE(sys.Value(kVnt, "Other") != 0);
        EXPECT_TRUE(sys.Value(kVnt, "ErrorControl") == 0 && sys.Value(kVnt, "Type") == 0 &&
                    sys.Value(kVnt, "Start") == 0) << MACHINE;
        EXPECT_FALSE(sys.HasKey(std::string("SYSTEM\\CurrentControlSet\\Services\\") + name));
        EXPECT_EQ(0u, sys.OpenKeyCount());
    }
}

TEST_F(SystemChangesTest, NtUnregisterWithoutTheServiceStillDeletesTheSubkey) {
    sys.CreateKey("SYSTEM\\CurrentControlSet\\Services\\NT5");
    UnregisterNtDriverService("NT5");
    EXPECT_FALSE(sys.HasKey("SYSTEM\\CurrentControlSet\\Services\\NT5"));
    EXPECT_TRUE(sys.CallsOf("RegDeleteValueA").empty());
}

TEST_F(SystemChangesTest, VxdEntryStartIsOneByteAndTheFileNameTwelve) {
    RegisterStaticVxd();
    ExpectValue(kSkvxd, "Start", SYS_REG_BINARY, std::string(1, '\0'));
    ExpectValue(kSkvxd, "StaticVxD", SYS_REG_SZ, std::string("Scsikrn.vxd", 12));
    RegisterStaticVxd();  // again: the same values
    ExpectValue(kSkvxd, "StaticVxD", SYS_REG_SZ, std::string("Scsikrn.vxd", 12));
    UnregisterStaticVxd();
    EXPECT_FALSE(sys.HasKey(kSkvxd)) << MACHINE;
    EXPECT_TRUE(sys.HasKey("System\\CurrentControlSet\\Services\\VxD"));
    EXPECT_EQ(0u, sys.OpenKeyCount());
}

// What the registration operations report: written means the key and every
// value; gone means no value of the registration left (VNT, whose key stays)
// or no key (SKVXD), and what was never there is gone. Each failing call of
// each operation is tried in turn.
TEST_F(SystemChangesTest, RegistrationResultsSayWhetherTheEntryIsInPlaceOrGone) {
    const struct {
        const char* what;
        bool nt;
        bool (*run)();
        bool removal;
    } operations[] = {
        {"RegisterNtDriverService", true, [] { return RegisterNtDriverService(); }, false},
        {"UnregisterNtDriverService", true, [] { return UnregisterNtDriverService("NT5"); }, true},
        {"RegisterStaticVxd", false, [] { return RegisterStaticVxd(); }, false},
        {"UnregisterStaticVxd", false, [] { return UnregisterStaticVxd(); }, true},
    };
    for (const auto& op : operations) {
        for (size_t k = 0;; ++k) {  // k: the call that fails, 0: none
            SCOPED_TRACE(std::string(op.what) + ", failing call " + std::to_string(k));
            FakeSystem fresh;
            UseSystemServices(&fresh);
            if (op.nt) fresh.UseNtFamily();
            if (op.removal) {
                fresh.SetValue(kVnt, "ErrorControl", SYS_REG_DWORD, Dword(1));
                fresh.SetValue(kVnt, "Type", SYS_REG_DWORD, Dword(1));
                fresh.SetValue(kVnt, "Start", SYS_REG_DWORD, Dword(0));
                fresh.SetValue(kSkvxd, "Start", SYS_REG_BINARY, std::string(1, '\0'));
                fresh.SetString(kSkvxd, "StaticVxD", "Scsikrn.vxd");
            }
            if (k) fresh.FailCallNumber(k);
            const bool result = op.run();
            if (k > fresh.calls.size()) break;
            const bool vntComplete = fresh.Value(kVnt, "ErrorControl") && fresh.Value(kVnt, "Type") &&
                                     fresh.Value(kVnt, "Start");
            const bool vntGone = !fresh.Value(kVnt, "ErrorControl") && !fresh.Value(kVnt, "Type") &&
                                 !fresh.Value(kVnt, "Start");
            const bool vxdComplete = fresh.Value(kSkvxd, "Start") && fresh.Value(kSkvxd, "StaticVxD");
            const bool expected = op.removal ? (op.nt ? vntGone : !fresh.HasKey(kSkvxd))
                                             : (op.nt ? vntComplete : vxdComplete);
            EXPECT_EQ(expected, result) << fresh.Dump();
            if (k == 0) EXPECT_TRUE(result);
        }
    }
    UseSystemServices(&sys);
    // Never there: nothing to remove is no failure.
    EXPECT_TRUE(UnregisterNtDriverService("NT5"));
    EXPECT_TRUE(UnregisterStaticVxd());
    sys.CreateKey(kVnt);
    EXPECT_TRUE(UnregisterNtDriverService("VNT4")) << "the key VNT without the three values";
}

// The removals delete their values before the key that holds them, so the
// values go even when the key cannot be deleted.
TEST_F(SystemChangesTest, ValuesGoEvenWhenTheirKeyCannotBeDeleted) {
    const struct {
        const char* what;
        void (*prepare)(FakeSystem&);
        void (*run)();
        const char* key;
        std::vector<const char*> values;
    } cases[] = {
        {"VxD entry",
         [](FakeSystem& machine) {
             machine.SetValue(kSkvxd, "Start", SYS_REG_BINARY, std::string(1, '\0'));
             machine.SetString(kSkvxd, "StaticVxD", "Scsikrn.vxd");
         },
         [] { UnregisterStaticVxd(); }, kSkvxd, {"StaticVxD", "Start"}},
        {"held state-manager entry", [](FakeSystem& machine) { machine.SetString(kHeld, "*StateMgr", "statemgr"); },
         RestoreStateManagerEntry, kHeld, {"*StateMgr"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        c.prepare(fresh);
        fresh.FailOperation("RegDeleteKeyA");
        c.run();
        ASSERT_TRUE(fresh.HasKey(c.key)) << "the key deletion was to fail";
        for (const char* value : c.values) EXPECT_TRUE(fresh.Value(c.key, value) == 0) << value << "\n" << fresh.Dump();
        EXPECT_EQ(0u, fresh.OpenKeyCount());
    }
    UseSystemServices(&sys);
}

// ---- paging ----

struct DriveCase {
    const char* what;
    bool present;
    uint32_t type;
    uint32_t spc, bps, freeClusters;
    bool freeFails;
    bool pass;
};

const DriveCase kDriveCases[] = {
    {"no drive D:", false, 0, 8, 512, 1000000, false, false},
    {"CD-ROM D:", true, SYS_DRIVE_CDROM, 8, 512, 1000000, false, false},
    {"removable D:", true, SYS_DRIVE_REMOVABLE, 8, 512, 1000000, false, false},
    {"network D:", true, SYS_DRIVE_REMOTE, 8, 512, 1000000, false, false},
    {"RAM disk D:", true, SYS_DRIVE_RAMDISK, 8, 512, 1000000, false, false},
    {"exactly 307200 KB", true, SYS_DRIVE_FIXED, 2, 512, 307200, false, false},
    {"307201 KB", true, SYS_DRIVE_FIXED, 2, 512, 307201, false, true},
    {"8 KB clusters, 2 GB (9x cap)", true, SYS_DRIVE_FIXED, 16, 512, 262144, false, true},
    {"free-space query fails", true, SYS_DRIVE_FIXED, 8, 512, 1000000, true, false},
    {"4 GB free, 32-bit product 0", true, SYS_DRIVE_FIXED, 8, 512, 1048576, false, true},
    {"4 GB + 100 MB free", true, SYS_DRIVE_FIXED, 8, 512, 1048576 + 25600, false, true},
    {"tens of GB free", true, SYS_DRIVE_FIXED, 8, 512, 12000000, false, true},
    {"100 MB", true, SYS_DRIVE_FIXED, 8, 512, 25600, false, false},
};

TEST_F(SystemChangesTest, DriveDTest) {
    for (const DriveCase& c : kDriveCases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        if (c.present) {
            fresh.AddDrive('D', c.type);
            fresh.SetFreeSpace('D', c.spc, c.bps, c.freeClusters);
            fresh.drives['D'].freeSpaceFails = c.freeFails;
        }
        EXPECT_EQ(c.pass, CanPageOnDriveD());
    }
    UseSystemServices(&sys);
}

TEST_F(SystemChangesTest, DriveListCasesAndLimits) {
    sys.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 30);
    sys.lowerCaseDriveList = true;
    EXPECT_TRUE(CanPageOnDriveD()) << "a lower-case d:\\ counts";
    sys.lowerCaseDriveList = false;
    for (char letter = 'F'; letter < 'F' + 16; ++letter) sys.AddDrive(letter, SYS_DRIVE_FIXED);
    ASSERT_EQ(19u, sys.drives.size());
    EXPECT_TRUE(CanPageOnDriveD()) << "19 drives fit the 80-byte list";
    sys.AddDrive('Z', SYS_DRIVE_REMOTE);
    EXPECT_FALSE(CanPageOnDriveD()) << "20 drives do not fit: D: counts as absent";
    EXPECT_EQ("GetLogicalDriveStringsA 80", sys.CallsOf("GetLogicalDriveStringsA").back());
}

// The scan for D: runs over the whole list from its first byte and takes
// either letter case, whatever other drives the machine has.
TEST_F(SystemChangesTest, DriveDIsFoundWhereverItStandsInTheList) {
    const struct {
        const char* what;
        const char* letters;  // the machine's drives, in list order
        bool lowerCase;
        bool found;
    } cases[] = {
        {"D:\\ alone", "D", false, true},
        {"d:\\ alone", "D", true, true},
        {"D:\\ first, then E:\\", "DE", false, true},
        {"d:\\ first, then e:\\", "DE", true, true},
        {"A:\\ D:\\, without C: or E:", "AD", false, true},
        {"c:\\ d:\\, without E:", "CD", true, true},
        {"C:\\ E:\\, no D:", "CE", false, false},
        {"a:\\ c:\\ e:\\ f:\\, no d:", "ACEF", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        fresh.drives.clear();
        for (const char* letter = c.letters; *letter; ++letter)
            fresh.AddDrive(*letter, SYS_DRIVE_FIXED, 1ull << 30);  // D: qualifies whenever it is listed
        fresh.lowerCaseDriveList = c.lowerCase;
        EXPECT_EQ(c.found, CanPageOnDriveD()) << fresh.Dump();
    }
    UseSystemServices(&sys);
}

// The two queries get the root "d:\\", with its backslash, as the Windows API
// reference asks; Windows would answer "d:" too, so only the call shows it.
TEST_F(SystemChangesTest, DriveDIsQueriedByItsRoot) {
    sys.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 30);
    ASSERT_TRUE(CanPageOnDriveD());
    const std::vector<std::string> queries = {"GetDriveTypeA d:\\", "GetDiskFreeSpaceA d:\\"};
    std::vector<std::string> asked = sys.CallsOf("GetDriveTypeA");
    const std::vector<std::string> free = sys.CallsOf("GetDiskFreeSpaceA");
    asked.insert(asked.end(), free.begin(), free.end());
    EXPECT_EQ(queries, asked);
}

TEST_F(SystemChangesTest, DriveListFailingMeansNoDriveD) {
    sys.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 30);
    sys.FailOperation("GetLogicalDriveStringsA");
    EXPECT_FALSE(CanPageOnDriveD());
    EXPECT_TRUE(sys.CallsOf("GetDriveTypeA").empty());
}

TEST_F(SystemChangesTest, Paging9xMovesToDAndResetsToASpace) {
    RelocatePaging9x();
    EXPECT_FALSE(sys.HasProfileKey("system.ini", "386Enh", "PagingDrive")) << "no D: here";
    sys.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 30);
    RelocatePaging9x();
    EXPECT_EQ("d:", sys.Profile("system.ini", "386Enh", "PagingDrive"));
    EXPECT_EQ("307200", sys.Profile("system.ini", "386Enh", "MaxPagingFileSize"));
    ResetPaging9x();
    const std::vector<std::string> writes = {
        "WritePrivateProfileStringA [386Enh] PagingDrive=d: system.ini",
        "WritePrivateProfileStringA [386Enh] MaxPagingFileSize=307200 system.ini",
        "WritePrivateProfileStringA [386Enh] PagingDrive=  system.ini",
        "WritePrivateProfileStringA [386Enh] MaxPagingFileSize=  system.ini"};
    EXPECT_EQ(writes, sys.CallsOf("WritePrivateProfileStringA"));
    EXPECT_TRUE(sys.HasProfileKey("system.ini", "386Enh", "PagingDrive")) << "the keys stay";
}

struct PagingCase {
    const char* what;
    uint32_t type;
    std::string before;
    bool relocate;  // RelocatePagingNt with a qualifying D:, else RestorePagingNt
    std::string after;
};

TEST_F(SystemChangesTest, NtPagingChangesOnlyTheFirstLetter) {
    const std::string twoEntries("C:\\pagefile.sys 27 77\0E:\\pagefile.sys 10 20\0\0", 45);
    std::string moved = twoEntries;
    moved[0] = 'D';
    std::string longValue = "C:\\" + std::string(150, 'p') + " 1 2" + std::string(2, '\0');
    std::string longMoved = longValue;
    longMoved[0] = 'D';
    const PagingCase cases[] = {
        {"two entries moved", SYS_REG_MULTI_SZ, twoEntries, true, moved},
        {"restored", SYS_REG_MULTI_SZ, moved, false, twoEntries},
        {"E: restored to C:", SYS_REG_MULTI_SZ, std::string("E:\\p 1 2\0\0", 10), false,
         std::string("C:\\p 1 2\0\0", 10)},
        {"REG_SZ written back as multi-string", SYS_REG_SZ, std::string("C:\\p 1 2\0", 9), true,
         std::string("D:\\p 1 2\0", 9)},
        {"zero bytes", SYS_REG_MULTI_SZ, std::string(), true, std::string()},
        {"exactly 80 bytes", SYS_REG_MULTI_SZ, "C" + std::string(78, 'x') + std::string(1, '\0'), true,
         "D" + std::string(78, 'x') + std::string(1, '\0')},
        {"longer than 80 bytes, whole", SYS_REG_MULTI_SZ, longValue, true, longMoved},
    };
    sys.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 30);
    for (const PagingCase& c : cases) {
        SCOPED_TRACE(c.what);
        sys.SetValue(kMemory, "PagingFiles", c.type, c.before);
        if (c.relocate)
            RelocatePagingNt();
        else
            RestorePagingNt();
        ExpectValue(kMemory, "PagingFiles", SYS_REG_MULTI_SZ, c.after);
        EXPECT_EQ(0u, sys.OpenKeyCount());
    }
}

TEST_F(SystemChangesTest, NtPagingStaysWithoutAQualifyingDOrWithoutTheValue) {
    const std::string value("C:\\pagefile.sys 27 77\0\0", 23);
    sys.SetValue(kMemory, "PagingFiles", SYS_REG_MULTI_SZ, value);
    RelocatePagingNt();
    ExpectValue(kMemory, "PagingFiles", SYS_REG_MULTI_SZ, value);
    FakeSystem bare;
    UseSystemServices(&bare);
    bare.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 30);
    RelocatePagingNt();
    RestorePagingNt();
    EXPECT_FALSE(bare.HasKey(kMemory));
    EXPECT_TRUE(bare.CallsOf("RegSetValueExA").empty());
    EXPECT_EQ(0u, bare.OpenKeyCount());
    UseSystemServices(&sys);
}

// ---- state manager ----

TEST_F(SystemChangesTest, StateManagerEntryIsHeldAsideAndPutBack) {
    const std::string bytes("C:\\WINDOWS\\SYSTEM\\STATEMGR.EXE", 31);
    sys.SetValue(kRunServices, "*StateMgr", SYS_REG_SZ, bytes);
    SuspendStateManagerEntry();
    EXPECT_TRUE(sys.Value(kRunServices, "*StateMgr") == 0);
    ExpectValue(kHeld, "*StateMgr", SYS_REG_SZ, bytes);
    SuspendStateManagerEntry();  // a second one finds nothing and keeps the held copy
    ExpectValue(kHeld, "*StateMgr", SYS_REG_SZ, bytes);
    RestoreStateManagerEntry();
    ExpectValue(kRunServices, "*StateMgr", SYS_REG_SZ, bytes);
    EXPECT_FALSE(sys.HasKey(kHeld)) << MACHINE;
    EXPECT_EQ(0u, sys.OpenKeyCount());
}

TEST_F(SystemChangesTest, StateManagerValuesMoveWholeAsText) {
    const struct {
        const char* what;
        uint32_t type;
        std::string bytes;
    } cases[] = {
        {"binary", SYS_REG_BINARY, std::string("\x01\x02\x00\x03", 4)},
        {"exactly 80 bytes", SYS_REG_SZ, std::string(79, 's') + std::string(1, '\0')},
        {"300 bytes", 2 /* REG_EXPAND_SZ */, std::string(299, 'l') + std::string(1, '\0')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sys.SetValue(kRunServices, "*StateMgr", c.type, c.bytes);
        SuspendStateManagerEntry();
        ExpectValue(kHeld, "*StateMgr", SYS_REG_SZ, c.bytes);
        RestoreStateManagerEntry();
        ExpectValue(kRunServices, "*StateMgr", SYS_REG_SZ, c.bytes);
    }
}

TEST_F(SystemChangesTest, StateManagerWithoutTheValueChangesNothing) {
    SuspendStateManagerEntry();
    EXPECT_FALSE(sys.HasKey(kHeld));
    sys.CreateKey(kHeld);
    RestoreStateManagerEntry();
    EXPECT_TRUE(sys.HasKey(kHeld)) << "a holding key without the value stays";
    EXPECT_TRUE(sys.CallsOf("RegSetValueExA").empty());
}

TEST_F(SystemChangesTest, RestoreOverwritesAReappearedEntry) {
    sys.SetString(kHeld, "*StateMgr", "held");
    sys.SetString(kRunServices, "*StateMgr", "new");
    RestoreStateManagerEntry();
    ExpectValue(kRunServices, "*StateMgr", SYS_REG_SZ, std::string("held", 5));
    EXPECT_FALSE(sys.HasKey(kHeld));
}

TEST_F(SystemChangesTest, AnEntryIsNeverLostWhenItsCopyCannotBeWritten) {
    const char* failing[] = {"RegCreateKeyA", "RegSetValueExA"};
    for (const char* operation : failing) {
        SCOPED_TRACE(operation);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        fresh.SetString(kRunServices, "*StateMgr", "statemgr");
        fresh.FailOperation(operation);
        SuspendStateManagerEntry();
        EXPECT_TRUE(fresh.Value(kRunServices, "*StateMgr") != 0) << fresh.Dump();
    }
    const char* failingOnRestore[] = {"RegOpenKeyExA", "RegSetValueExA"};
    for (const char* operation : failingOnRestore) {
        SCOPED_TRACE(operation);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        fresh.SetString(kHeld, "*StateMgr", "statemgr");
        fresh.FailCallNumber(operation == std::string("RegOpenKeyExA") ? 5 : 6);  // the calls after the read
        RestoreStateManagerEntry();
        EXPECT_TRUE(fresh.Value(kHeld, "*StateMgr") != 0) << fresh.Dump();
    }
    UseSystemServices(&sys);
}

// Values longer than 80 bytes are read into a heap block of their own.
// When it cannot be had, the value is not read and nothing is written back;
// otherwise the block is given back. No key stays open either way.
TEST_F(SystemChangesTest, LongValuesAndTheirHeapBlocks) {
    const std::string paging = "C:\\" + std::string(150, 'p') + " 1 2" + std::string(2, '\0');
    const std::string entry = std::string(299, 's') + std::string(1, '\0');
    const struct {
        const char* what;
        const char* key;
        const char* value;
        const std::string& bytes;
        void (*run)();
        const char* movedTo;  // where the value is afterwards; 0: it stays, first letter changed
    } cases[] = {
        {"RelocatePagingNt", kMemory, "PagingFiles", paging, RelocatePagingNt, 0},
        {"RestorePagingNt", kMemory, "PagingFiles", paging, RestorePagingNt, 0},
        {"SuspendStateManagerEntry", kRunServices, "*StateMgr", entry, SuspendStateManagerEntry, kHeld},
        {"RestoreStateManagerEntry", kHeld, "*StateMgr", entry, RestoreStateManagerEntry, kRunServices},
    };
    for (const auto& c : cases) {
        for (bool allocationFails : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (allocationFails ? ", no heap block" : ", with a heap block"));
            FakeSystem fresh;
            UseSystemServices(&fresh);
            fresh.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 30);
            fresh.SetValue(c.key, c.value, SYS_REG_MULTI_SZ, c.bytes);
            fresh.CreateKey(kRunServices);
            if (allocationFails) fresh.FailOperation("LocalAlloc");
            c.run();
            ASSERT_EQ(1u, fresh.CallsOf("LocalAlloc").size()) << fresh.Dump();
            EXPECT_EQ(0u, fresh.OpenKeyCount()) << fresh.Dump();
            EXPECT_EQ(0u, fresh.HeapBlockCount());
            if (allocationFails) {
                EXPECT_TRUE(fresh.CallsOf("RegSetValueExA").empty()) << fresh.Dump();
                const FakeSystem::RegValue* kept = fresh.Value(c.key, c.value);
                EXPECT_TRUE(kept && kept->data == c.bytes) << fresh.Dump();
            } else {
                const FakeSystem::RegValue* after = fresh.Value(c.movedTo ? c.movedTo : c.key, c.value);
                ASSERT_TRUE(after != 0) << fresh.Dump();
                EXPECT_EQ(c.bytes.substr(1), after->data.substr(1)) << "the value is read and written whole";
            }
        }
    }
    UseSystemServices(&sys);
}

// ---- restart ----

TEST_F(SystemChangesTest, RestartEnablesTheShutdownPrivilegeAndRequestsAReboot) {
    sys.hasTokens = true;
    EXPECT_EQ(1, RestartSystem());
    const std::vector<std::string> order = {
        "GetCurrentProcess", "OpenProcessToken 40", "LookupPrivilegeValueA  SeShutdownPrivilege",
        "AdjustTokenPrivileges 0 16", "ExitWindowsEx 2 0"};
    EXPECT_EQ(order, sys.calls);
    ASSERT_EQ(1u, sys.adjustedPrivileges.size());
    EXPECT_EQ(1u, sys.adjustedPrivileges[0].PrivilegeCount);
    EXPECT_EQ(19u, sys.adjustedPrivileges[0].Luid.LowPart);
    EXPECT_EQ((uint32_t)SYS_SE_PRIVILEGE_ENABLED, sys.adjustedPrivileges[0].Attributes);
}

TEST_F(SystemChangesTest, RestartIsRequestedOnceEvenWithoutTokensAndMayBeRefused) {
    sys.hasTokens = false;
    sys.exitWindowsResult = 0;
    EXPECT_EQ(0, RestartSystem());
    const std::vector<uint32_t> requests = {SYS_EWX_REBOOT};
    EXPECT_EQ(requests, sys.restartRequests);
}

}  // namespace
