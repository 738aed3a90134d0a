// The setup logic under libFuzzer. Each input is decoded into a whole machine
// on the in-memory Windows (the version record, registry values of any type
// and length, drives with their type and free space, the medium's files,
// other files and files held by other programs, the folders Windows reports,
// platform calls that fail) and a sequence of clicks. The clicks run through
// the SetupController as the dialog delivers them: only on buttons that are
// on screen, with the program started again after it ended. After every step
// the program's promises are checked; a broken one prints the machine and
// aborts, and the sanitizers catch the rest.
//
// With SETUP_FUZZ_SEEDS=DIR in the environment the target writes the seed
// machines into DIR instead and exits.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fuzzer/FuzzedDataProvider.h>
#include <map>
#include <string>
#include <vector>

#include "setup/ControlIds.h"
#include "setup/FirstScreen.h"
#include "setup/SetupController.h"
#include "setup/SetupState.h"
#include "setup/WindowsVersion.h"
#include "tests/fake/FakeSystem.h"
#include "tests/fake/RecordingView.h"

namespace {

// ---- the machine ----------------------------------------------------------

const char kRunServices[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices";
const char kHeld[] = "SYSTEM\\Veltrano";
const char kMemory[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
const char kVnt[] = "SYSTEM\\CurrentControlSet\\Services\\VNT";
const char kSkvxd[] = "System\\CurrentControlSet\\Services\\VxD\\SKVXD";

// The keys and value names that Setup reads or writes, and a few beside them.
const char* const kKeys[] = {
    kRunServices,
    kHeld,
    kMemory,
    "SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
    "Software\\Microsoft\\Windows\\CurrentVersion",
    kVnt,
    "SYSTEM\\CurrentControlSet\\Services\\NT5",
    "SYSTEM\\CurrentControlSet\\Services\\VNT4",
    kSkvxd,
    "system\\Veltrano Card",
    "SYSTEM\\Veltrano\\Sub",
    "system\\Veltrano Card\\Sub",
    "SYSTEM\\CurrentControlSet\\Services\\NT5\\Enum",
    "SYSTEM\\CurrentControlSet\\Services\\VNT\\Enum",
};
const char* const kValueNames[] = {0,      "*StateMgr", "PagingFiles", "ProductType", "Version",
                                   "Start", "Type",      "ErrorControl", "StaticVxD",  "Other"};
const char* const kSystemFolders[] = {"C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\system32", "C:\\WINNT\\system32",
                                      "D:\\WIN98\\SYSTEM"};
const char* const kProgramsFolders[] = {"C:\\WINDOWS\\Start Menu\\Programs",
                                        "C:\\Documents and Settings\\Owner\\Start Menu\\Programs",
                                        "C:\\WINNT\\Profiles\\Administrator\\Start Menu\\Programs",
                                        "D:\\Start Menu\\Programs"};
const char* const kMediumFiles[] = {"\\Peek_B.exe", "\\QSPK2.DAT", "\\98\\v98.vxd", "\\nt\\vnt4.sys",
                                    "\\NT\\VNT.sys"};
// Every operation of SystemServices, as the fake logs it.
const char* const kOperations[] = {
    "GetVersionExA",     "RegOpenKeyA",          "RegOpenKeyExA",         "RegCreateKeyA",
    "RegQueryValueExA",  "RegSetValueExA",       "RegDeleteValueA",       "RegDeleteKeyA",
    "RegCloseKey",       "lstrcmpiA",            "GetSystemDirectoryA",   "SHGetMalloc",
    "SHGetSpecialFolderLocation", "SHGetPathFromIDListA", "ShellFree",    "ShellRelease",
    "fopen",             "fclose",               "CopyFileA",             "remove",
    "_mkdir",            "_rmdir",               "SetFileAttributesA",    "GetFileAttributesA",
    "LocalAlloc",        "LocalFree",            "GetLogicalDriveStringsA", "GetDriveTypeA",
    "GetDiskFreeSpaceA", "WritePrivateProfileStringA", "GetCurrentProcess", "OpenProcessToken",
    "LookupPrivilegeValueA", "AdjustTokenPrivileges", "ExitWindowsEx",
};
template <class T, size_t n> constexpr size_t Count(T (&)[n]) { return n; }
const size_t kOperationCount = Count(kOperations);

enum Click { kClickInstall, kClickIde, kClickScsi, kClickNext, kClickUninstall, kClickStartAgain };

struct Machine {
    uint32_t platform = SYS_VER_PLATFORM_WIN32_WINDOWS, major = 4, minor = 10;
    std::string csd = " A ";
    uint8_t productType = 0;
    uint16_t suiteMask = 0;
    bool extendedAccepted = true, versionFails = false, ntRegistry = false, hasTokens = false;
    struct Value {
        uint8_t key, name;  // name 0: the key alone
        uint32_t type;
        std::string data;
    };
    std::vector<Value> registry;
    struct Drive {
        uint8_t letter, type;  // letter 0 is A:
        uint32_t sectorsPerCluster, bytesPerSector, freeClusters;
        bool freeSpaceFails;
    };
    std::vector<Drive> drives = {{3, SYS_DRIVE_FIXED, 8, 512, 1u << 19, false}};  // D: 2 GB free
    uint8_t currentDrive = 4;  // E:, the medium
    bool lowerCaseDriveList = false;
    // A folder is the table's entry, then a backslash and pad letters when
    // pad is not 0; made: the folder exists (bit 0), with iosubsys (bit 1)
    // and drivers (bit 2) for the system directory.
    uint8_t systemFolder = 0, systemMade = 7, programsFolder = 0, programsMade = 1;
    uint16_t systemPad = 0, programsPad = 0;
    uint8_t medium = 31;  // bit i: kMediumFiles[i] is on the medium
    bool mediumReadOnly = true;
    struct File {
        uint8_t path;  // index into FilePaths
        bool readOnly, directory;
    };
    std::vector<File> files;
    struct Hold {
        uint8_t path;
        bool shareRead;
    };
    std::vector<Hold> holds;
    bool restartRefused = false;
    struct Fault {
        uint8_t operation;  // its nth call fails
        uint8_t nth;
    };
    std::vector<Fault> faults;
    uint16_t failingCall = 0;   // the call with this number fails (0: none)
    uint8_t failingEvery = kOperationCount;  // every call of this operation fails (none)
    std::vector<uint8_t> clicks = {kClickInstall, kClickIde, kClickNext};
};

std::string Folder(const char* base, uint16_t pad) {
    return pad ? std::string(base) + "\\" + std::string(pad, 'x') : std::string(base);
}

// Files that other programs, or an earlier install, may have left.
std::vector<std::string> FilePaths(const FakeSystem& sys) {
    const std::string root(1, sys.currentDrive);
    return {"c:\\kmdrv\\Peek_B.exe",
            "c:\\kmdrv\\kmide.dat",
            "c:\\kmdrv\\kmscsi.dat",
            "c:\\kmdrv\\readme.txt",
            sys.programsFolder + "\\PeekBuff.exe",
            sys.systemDirectory + "\\SCSIKRN.VXD",
            sys.systemDirectory + "\\iosubsys\\v98.vxd",
            sys.systemDirectory + "\\SCSIKRN.SYS",
            sys.systemDirectory + "\\drivers\\VNT.sys",
            "d:\\pagefile.sys",
            "C:\\pagefile.sys",
            root + ":\\PeekBuff.exe",
            "C:\\PeekBuff.exe",
            root + ":\\SCSIKRN.VXD",
            root + ":\\SCSIKRN.SYS",
            "c:\\kmdrv"};
}
const size_t kFilePathCount = 16;

// ---- reading a machine from bytes, and writing one --------------------------

// Reads the fields of a Machine from the fuzzer's input.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : in_(data, size) {}
    template <class T> void Int(T& v, uint64_t lo, uint64_t hi) { v = (T)in_.ConsumeIntegralInRange<uint64_t>(lo, hi); }
    void Bool(bool& v) { v = in_.ConsumeBool(); }
    void Bytes(std::string& v, size_t max) {
        const size_t n = in_.ConsumeIntegralInRange<size_t>(0, max);
        v = in_.ConsumeBytesAsString(n);
    }
    template <class T> void List(std::vector<T>& v, size_t max) {
        v.resize(in_.ConsumeIntegralInRange<size_t>(0, max));
    }

private:
    FuzzedDataProvider in_;
};

// Writes a Machine as the bytes that Reader reads back: numbers are taken
// from the end of the input, most significant byte first, and byte strings
// from the front.
class Writer {
public:
    template <class T> void Int(T& v, uint64_t lo, uint64_t hi) {
        const uint64_t range = hi - lo, raw = (uint64_t)v - lo;
        int bytes = 0;
        while (bytes < 8 && (range >> (8 * bytes)) > 0) ++bytes;
        for (int i = bytes - 1; i >= 0; --i) back_.push_back((char)(raw >> (8 * i)));
    }
    void Bool(bool& v) { back_.push_back(v ? 1 : 0); }
    void Bytes(std::string& v, size_t max) {
        size_t n = v.size();
        Int(n, 0, max);
        front_ += v;
    }
    template <class T> void List(std::vector<T>& v, size_t max) {
        size_t n = v.size();
        Int(n, 0, max);
    }
    std::string Bytes() const { return front_ + std::string(back_.rbegin(), back_.rend()); }

private:
    std::string front_, back_;
};

// The numbers are read from the end of the input inwards and the byte strings
// from its start: the clicks come first, so that a longer string takes the
// last of the faults rather than a click.
template <class Coder> void Describe(Coder& c, Machine& m) {
    c.List(m.clicks, 10);
    for (uint8_t& click : m.clicks) c.Int(click, 0, kClickStartAgain);
    c.Int(m.platform, 0, 3);
    c.Int(m.major, 0, 7);
    c.Int(m.minor, 0, 255);
    c.Bytes(m.csd, 127);
    c.Int(m.productType, 0, 255);
    c.Int(m.suiteMask, 0, 0xFFFF);
    c.Bool(m.extendedAccepted);
    c.Bool(m.versionFails);
    c.Bool(m.ntRegistry);
    c.Bool(m.hasTokens);
    c.List(m.registry, 12);
    for (Machine::Value& v : m.registry) {
        c.Int(v.key, 0, Count(kKeys) - 1);
        c.Int(v.name, 0, Count(kValueNames) - 1);
        c.Int(v.type, 0, 11);
        c.Bytes(v.data, 300);
    }
    c.List(m.drives, 24);
    for (Machine::Drive& d : m.drives) {
        c.Int(d.letter, 0, 25);
        c.Int(d.type, 0, 6);
        c.Int(d.sectorsPerCluster, 0, 0xFFFFFFFF);
        c.Int(d.bytesPerSector, 0, 0xFFFFFFFF);
        c.Int(d.freeClusters, 0, 0xFFFFFFFF);
        c.Bool(d.freeSpaceFails);
    }
    c.Int(m.currentDrive, 0, 25);
    c.Bool(m.lowerCaseDriveList);
    c.Int(m.systemFolder, 0, Count(kSystemFolders) - 1);
    c.Int(m.systemPad, 0, 300);
    c.Int(m.systemMade, 0, 7);
    c.Int(m.programsFolder, 0, Count(kProgramsFolders) - 1);
    c.Int(m.programsPad, 0, 300);
    c.Int(m.programsMade, 0, 1);
    c.Int(m.medium, 0, 31);
    c.Bool(m.mediumReadOnly);
    c.List(m.files, 8);
    for (Machine::File& f : m.files) {
        c.Int(f.path, 0, kFilePathCount - 1);
        c.Bool(f.readOnly);
        c.Bool(f.directory);
    }
    c.List(m.holds, 3);
    for (Machine::Hold& h : m.holds) {
        c.Int(h.path, 0, kFilePathCount - 1);
        c.Bool(h.shareRead);
    }
    c.Bool(m.restartRefused);
    c.List(m.faults, 4);
    for (Machine::Fault& f : m.faults) {
        c.Int(f.operation, 0, kOperationCount - 1);
        c.Int(f.nth, 1, 64);
    }
    c.Int(m.failingCall, 0, 1023);
    c.Int(m.failingEvery, 0, kOperationCount);
}

// Places a file or folder; nothing when its drive does not exist.
void Place(FakeSystem& sys, const std::string& path, bool directory, uint32_t attributes, const std::string& data) {
    const char drive = path.size() >= 2 && path[1] == ':' ? (char)toupper((unsigned char)path[0]) : sys.currentDrive;
    if (!sys.drives.count(drive)) return;
    if (directory)
        sys.MakeDirectory(path);
    else
        sys.WriteFile(path, data, attributes);
}

void Build(const Machine& m, FakeSystem& sys) {
    sys.SetVersion(m.platform, m.major, m.minor, m.csd.c_str(), m.productType, m.suiteMask);
    sys.extendedAccepted = m.extendedAccepted;
    sys.versionFails = m.versionFails;
    sys.ntRegistry = m.ntRegistry;
    sys.hasTokens = m.hasTokens;
    for (const Machine::Value& v : m.registry) {
        if (v.name)
            sys.SetValue(kKeys[v.key], kValueNames[v.name], v.type, v.data);
        else
            sys.CreateKey(kKeys[v.key]);
    }
    for (const Machine::Drive& d : m.drives) {
        const char letter = (char)('A' + d.letter);
        sys.AddDrive(letter, d.type);
        sys.SetFreeSpace(letter, d.sectorsPerCluster, d.bytesPerSector, d.freeClusters);
        sys.drives[letter].freeSpaceFails = d.freeSpaceFails;
    }
    sys.currentDrive = (char)('A' + m.currentDrive);
    if (!sys.drives.count(sys.currentDrive)) sys.AddDrive(sys.currentDrive, SYS_DRIVE_CDROM);
    sys.lowerCaseDriveList = m.lowerCaseDriveList;

    sys.systemDirectory = Folder(kSystemFolders[m.systemFolder], m.systemPad);
    if (m.systemMade & 1) Place(sys, sys.systemDirectory, true, 0, "");
    if (m.systemMade & 2) Place(sys, sys.systemDirectory + "\\iosubsys", true, 0, "");
    if (m.systemMade & 4) Place(sys, sys.systemDirectory + "\\drivers", true, 0, "");
    sys.programsFolder = Folder(kProgramsFolders[m.programsFolder], m.programsPad);
    if (m.programsMade) Place(sys, sys.programsFolder, true, 0, "");

    const std::string medium(1, sys.currentDrive);
    for (size_t i = 0; i < Count(kMediumFiles); ++i)
        if (m.medium & (1u << i))
            Place(sys, medium + ":" + kMediumFiles[i], false, m.mediumReadOnly ? 0x21 : 0x20,
                  std::string("medium ") + kMediumFiles[i]);
    const std::vector<std::string> paths = FilePaths(sys);
    for (const Machine::File& f : m.files)
        Place(sys, paths[f.path], f.directory, f.readOnly ? 0x21 : 0x20, "left " + paths[f.path]);
    for (const Machine::Hold& h : m.holds) sys.HoldForWriting(paths[h.path], h.shareRead);
    sys.exitWindowsResult = m.restartRefused ? 0 : 1;

    for (const Machine::Fault& f : m.faults) sys.FailNthCallOf(kOperations[f.operation], f.nth);
    if (m.failingCall) sys.FailCallNumber(m.failingCall);
    if (m.failingEvery < kOperationCount) sys.FailOperation(kOperations[m.failingEvery]);
}

// ---- the promises -----------------------------------------------------------

const char kInstallOk[] = "Install OK !! System will be restart .......";

std::string Upper(std::string text) {
    for (char& c : text) c = (char)toupper((unsigned char)c);
    return text;
}

// What a step may change: every file and folder with its contents and
// attributes, every registry key and value, the profiles, the restarts.
// Paths are in upper case; a key ends in a backslash, a value follows its
// key's path after a colon.
struct State {
    std::map<std::string, std::string> files, registry;
    std::string profiles;
    size_t restarts;
};

void AddKeys(const FakeSystem::RegNode& node, const std::string& path, std::map<std::string, std::string>* out) {
    (*out)[path + "\\"] = "";
    for (const auto& value : node.values)
        (*out)[path + ":" + Upper(value.first)] = std::to_string(value.second.type) + " " + value.second.data;
    for (const auto& key : node.keys) AddKeys(key.second, path + "\\" + Upper(key.first), out);
}

State Capture(const FakeSystem& sys) {
    State state;
    for (const auto& drive : sys.drives)
        for (const std::string& path : sys.FilesOn(drive.first))
            state.files[Upper(path)] = std::to_string(sys.FileAttributes(path)) + " " + sys.FileData(path);
    AddKeys(sys.hklm, "HKLM", &state.registry);
    for (const auto& file : sys.profiles)
        for (const auto& section : file.second)
            for (const auto& key : section.second)
                state.profiles += file.first + "[" + section.first + "]" + key.first + "=" + key.second + "\n";
    state.restarts = sys.restartRequests.size();
    return state;
}

bool Refused(unsigned kind) {
    switch (kind) {
    case 1: case 2: case 3: case 6: case 7: case 10: case 11: case 12:
    case 20: case 21: case 22: case 30: case 31: case 32: return false;
    default: return true;
    }
}

class Run {
public:
    explicit Run(FakeSystem& sys) : sys_(sys), controller_(view_) {
        const FakeSystem::RegValue* active = sys.Value(kRunServices, "*StateMgr");
        const FakeSystem::RegValue* held = sys.Value(kHeld, "*StateMgr");
        if (active) stateManager_.push_back(active->data);
        if (held) stateManager_.push_back(held->data);
        const FakeSystem::RegValue* paging = sys.Value(kMemory, "PagingFiles");
        hadPaging_ = paging != 0;
        if (paging) paging_ = paging->data;
    }

    // The program starts: the dialog's first screen.
    void Start() {
        WindowsKind = 0;
        HddInterface = 0;
        ErrorFlag = 0;
        memset(&FolderPaths, 0, sizeof FolderPaths);
        view_ = RecordingView();
        view_.onMessage = [this](const RecordingView::Message& m) { OnMessage(m); };
        steps_ += "start; ";
        const State before = Capture(sys_);
        PrepareFirstScreen(view_);
        Expect(Same(before, Capture(sys_)), "the first screen only reads");
        CheckAlways();
    }

    void Press(uint8_t click) {
        if (click == kClickStartAgain) return Start();
        static const int ids[] = {IDC_INSTALL, IDC_IDE, IDC_SCSI, IDC_NEXT, IDC_UNINSTALL};
        const int id = ids[click];
        if (view_.endResult != -1 || !view_.Visible(id)) return;
        steps_ += std::to_string(id) + "; ";
        const State before = Capture(sys_);
        const size_t messages = view_.messages.size();
        switch (click) {
        case kClickInstall: controller_.OnInstall(); break;
        case kClickIde: controller_.OnIde(); break;
        case kClickScsi: controller_.OnScsi(); break;
        case kClickNext: controller_.OnNext(); break;
        case kClickUninstall: controller_.OnUninstall(); break;
        }
        const State after = Capture(sys_);
        if ((click == kClickNext || click == kClickUninstall) && Refused(WindowsKind)) {
            bool succeeded = view_.endResult != -1;
            for (size_t i = messages; i < view_.messages.size(); ++i)
                succeeded = succeeded || view_.messages[i].caption != "Error";
            // Install makes c:\kmdrv before it chooses a plan, and uninstall
            // removes it when empty whatever the plan.
            State a = before, b = after;
            a.files.erase("C:\\KMDRV\\");
            b.files.erase("C:\\KMDRV\\");
            Expect(!succeeded && Same(a, b), "a refused Windows changes nothing");
        }
        if (click == kClickUninstall) CheckRemovals(before, after);
        CheckAlways();
    }

private:
    static bool Same(const State& a, const State& b) {
        return a.files == b.files && a.registry == b.registry && a.profiles == b.profiles && a.restarts == b.restarts;
    }

    void Expect(bool holds, const char* promise, const std::string& detail = "") {
        if (holds) return;
        fprintf(stderr, "\nbroken: %s %s\nWindowsKind %u, HddInterface %d, clicks: %s\n%s", promise, detail.c_str(),
                WindowsKind, HddInterface, steps_.c_str(), sys_.Dump().c_str());
        abort();
    }

    bool HasFile(const std::string& path) const { return sys_.FileExists(path); }

    // "Install OK" only with the driver registered and its file, and on
    // Windows 9x the chosen interface's data file, in place, and the marker
    // written before the message.
    void OnMessage(const RecordingView::Message& message) {
        if (message.text != kInstallOk) return;
        std::string missing;
        if (!sys_.HasKey(kInstallMarkerKey)) missing += " the marker";
        if (WindowsKind < 10) {
            if (!HasFile(sys_.systemDirectory + "\\SCSIKRN.VXD")) missing += " SCSIKRN.VXD";
            if (!sys_.Value(kSkvxd, "Start") || !sys_.Value(kSkvxd, "StaticVxD")) missing += " the SKVXD entry";
            if (HddInterface == 1 && !HasFile("c:\\kmdrv\\kmide.dat")) missing += " kmide.dat";
            if (HddInterface == 2 && !HasFile("c:\\kmdrv\\kmscsi.dat")) missing += " kmscsi.dat";
        } else {
            if (!HasFile(sys_.systemDirectory + "\\drivers\\VNT.sys")) missing += " VNT.sys";
            if (!sys_.Value(kVnt, "ErrorControl") || !sys_.Value(kVnt, "Type") || !sys_.Value(kVnt, "Start"))
                missing += " the VNT service";
        }
        Expect(missing.empty(), "\"Install OK\" only with the driver in place and the marker written; missing:",
               missing);
    }

    // Uninstall removes only what install puts in place (and the paging file
    // that paging on D: leaves there), and nothing else at the root of a drive.
    void CheckRemovals(const State& before, const State& after) {
        const std::string system = Upper(sys_.systemDirectory), programs = Upper(sys_.programsFolder);
        const std::string placed[] = {
            "C:\\KMDRV\\",         "C:\\KMDRV\\PEEK_B.EXE",         "C:\\KMDRV\\KMIDE.DAT",
            "C:\\KMDRV\\KMSCSI.DAT", programs + "\\PEEKBUFF.EXE",   system + "\\SCSIKRN.VXD",
            system + "\\IOSUBSYS\\V98.VXD", system + "\\SCSIKRN.SYS", system + "\\DRIVERS\\VNT.SYS",
            "D:\\PAGEFILE.SYS"};
        for (const auto& file : before.files) {
            if (after.files.count(file.first)) continue;
            const std::string& path = file.first;
            const bool atRoot = path.find('\\', 3) == std::string::npos;  // a file, not a folder
            Expect(!atRoot || path == "D:\\PAGEFILE.SYS", "uninstall removes nothing at the root of a drive:", path);
            bool known = false;
            for (const std::string& p : placed) known = known || path == p;
            Expect(known, "uninstall removes only files that install puts in place:", path);
        }
        // Keys deleted whole, and the values of the NT service.
        const std::string keys[] = {"HKLM\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\VXD\\SKVXD",
                                    "HKLM\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\NT5",
                                    "HKLM\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\VNT4", "HKLM\\SYSTEM\\VELTRANO",
                                    "HKLM\\SYSTEM\\VELTRANO CARD"};
        const std::string service = "HKLM\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\VNT:";
        for (const auto& entry : before.registry) {
            if (after.registry.count(entry.first)) continue;
            const std::string& name = entry.first;
            bool known = name == service + "ERRORCONTROL" || name == service + "TYPE" || name == service + "START";
            for (const std::string& key : keys)
                known = known || (name.compare(0, key.size(), key) == 0 &&
                                  (name[key.size()] == '\\' || name[key.size()] == ':'));
            Expect(known, "uninstall removes only registry entries that install puts in place:", name);
        }
    }

    void CheckAlways() {
        Expect(sys_.OpenKeyCount() == 0 && sys_.OpenStreamCount() == 0 && sys_.shellAllocations == 0 &&
                   sys_.HeapBlockCount() == 0,
               "no key, file, shell allocation or heap block is left open");

        // The state-manager entry: whatever is there is what was there, and
        // what was there is not lost. Restoring over a value that came back
        // in RunServices replaces it with the held one, by design.
        const FakeSystem::RegValue* active = sys_.Value(kRunServices, "*StateMgr");
        const FakeSystem::RegValue* held = sys_.Value(kHeld, "*StateMgr");
        bool kept = stateManager_.empty();
        for (const std::string& bytes : stateManager_)
            kept = kept || (active && active->data == bytes) || (held && held->data == bytes);
        Expect(kept, "a state-manager entry present before is never lost");
        for (const FakeSystem::RegValue* now : {active, held}) {
            bool known = !now;
            for (const std::string& bytes : stateManager_) known = known || now->data == bytes;
            Expect(known, "a state-manager entry is moved whole");
        }

        // PagingFiles: what was read whole, only its first byte put on C: or
        // D:. The restore writes C: whatever the drive was, by design.
        const FakeSystem::RegValue* paging = sys_.Value(kMemory, "PagingFiles");
        bool intact = !paging && !hadPaging_;
        if (paging && hadPaging_ && paging->data.size() == paging_.size()) {
            const std::string& now = paging->data;
            intact = paging_.empty() || (now.compare(1, std::string::npos, paging_, 1, std::string::npos) == 0 &&
                                         (now[0] == paging_[0] || now[0] == 'C' || now[0] == 'D'));
        }
        Expect(intact, "PagingFiles is never corrupted");
    }

    FakeSystem& sys_;
    RecordingView view_;
    SetupController controller_;
    std::vector<std::string> stateManager_;
    bool hadPaging_;
    std::string paging_;
    std::string steps_;
};

// ---- the seed machines, as the unit tests build them ------------------------

Machine::Value Text(uint8_t key, uint8_t name, const std::string& text) {
    return Machine::Value{key, name, SYS_REG_SZ, text + std::string(1, '\0')};
}

Machine Nt(uint32_t major, uint32_t minor, uint8_t productType) {
    Machine m;
    m.platform = SYS_VER_PLATFORM_WIN32_NT;
    m.major = major;
    m.minor = minor;
    m.csd = "Service Pack 2";
    m.productType = productType;
    m.suiteMask = 0x100;
    m.ntRegistry = m.hasTokens = true;
    m.systemFolder = 1;
    m.programsFolder = 1;
    m.registry.push_back({2, 2, SYS_REG_MULTI_SZ, std::string("C:\\pagefile.sys 27 77\0E:\\pagefile.sys 5 9\0\0", 42)});
    return m;
}

// An installed Windows 98 or XP: the files, the registration, the marker.
Machine Installed(Machine m) {
    const bool nt = m.platform == SYS_VER_PLATFORM_WIN32_NT;
    m.registry.push_back({9, 0, 0, ""});
    if (nt) {
        for (uint8_t name : {5, 6, 7}) m.registry.push_back({5, name, SYS_REG_DWORD, std::string(4, '\0')});
        m.registry.push_back({6, 0, 0, ""});
        m.files = {{0, false, false}, {4, false, false}, {8, false, false}, {9, false, false}};
    } else {
        m.registry.push_back({8, 5, SYS_REG_BINARY, std::string(1, '\0')});
        m.registry.push_back(Text(8, 8, "Scsikrn.vxd"));
        m.registry.push_back(Text(1, 1, "C:\\WINDOWS\\SYSTEM\\STATEMGR.EXE"));
        m.files = {{0, true, false}, {1, true, false}, {4, true, false}, {5, true, false},
                   {6, true, false}, {7, true, false}};
    }
    m.clicks = {kClickUninstall};
    return m;
}

std::vector<Machine> Seeds() {
    std::vector<Machine> seeds;
    Machine win98;
    win98.registry.push_back(Text(0, 1, "C:\\WINDOWS\\SYSTEM\\STATEMGR.EXE"));
    seeds.push_back(win98);
    Machine m = win98;
    m.clicks = {kClickInstall, kClickIde, kClickScsi, kClickNext};
    seeds.push_back(m);
    m = win98;  // the medium without \98\v98.vxd, Next pressed twice
    m.medium = 31 & ~4;
    m.clicks = {kClickInstall, kClickIde, kClickNext, kClickNext};
    seeds.push_back(m);
    m = win98;  // Windows 95 with D: a CD-ROM drive
    m.minor = 0;
    m.csd = "";
    m.drives = {{3, SYS_DRIVE_CDROM, 8, 512, 1u << 19, false}};
    seeds.push_back(m);
    m = win98;  // Windows ME with exactly 307200 KB free on D:
    m.minor = 90;
    m.drives = {{3, SYS_DRIVE_FIXED, 8, 512, 76800, false}};
    seeds.push_back(m);
    m = win98;  // Windows 98 that says it is Millennium, on a list of many drives
    m.csd = "";
    m.registry.push_back(Text(4, 4, "Windows Millennium Edition"));
    for (uint8_t letter = 5; letter < 22; ++letter) m.drives.push_back({letter, SYS_DRIVE_FIXED, 8, 512, 100, false});
    m.lowerCaseDriveList = true;
    seeds.push_back(m);
    m = win98;  // folders at the longest paths that fit, and one character longer
    m.systemPad = 238 - 18;
    m.programsPad = 243 - 31;
    seeds.push_back(m);
    m.systemPad = 239 - 18;
    m.programsPad = 242 - 31;
    seeds.push_back(m);
    m = win98;  // the state-manager entry longer than 80 bytes, held and active
    m.registry = {Text(0, 1, std::string(120, 's')), Text(1, 1, "held")};
    m.faults = {{5, 1}};
    seeds.push_back(m);
    m.faults = {{24, 1}};  // no heap block for it
    seeds.push_back(m);
    m = Installed(win98);  // the system directory unknown, files of others at the medium's root
    m.files.push_back({13, true, false});
    m.files.push_back({14, true, false});
    m.failingEvery = 10;
    seeds.push_back(m);
    m = win98;  // the state-manager entry of exactly 80 bytes
    m.registry = {Text(0, 1, std::string(79, 's'))};
    seeds.push_back(m);
    seeds.push_back(Installed(win98));
    m = Installed(win98);  // leftovers held open by another program, a file of its own in c:\kmdrv
    m.files.push_back({3, false, false});
    m.holds = {{0, true}};
    seeds.push_back(m);

    Machine xp = Nt(5, 1, SYS_VER_NT_WORKSTATION);
    m = xp;  // install, then the program again after the restart, and uninstall
    m.clicks = {kClickInstall, kClickIde, kClickNext, kClickStartAgain, kClickUninstall};
    seeds.push_back(m);
    m = xp;  // PagingFiles of exactly 80 bytes
    m.registry = {{2, 2, SYS_REG_MULTI_SZ, "C" + std::string(78, 'x') + std::string(1, '\0')}};
    seeds.push_back(m);
    m = xp;  // without \Peek_B.exe
    m.medium = 31 & ~1;
    seeds.push_back(m);
    seeds.push_back(Installed(xp));
    m = Nt(4, 0, 0);  // NT 4.0 before SP6: the product type from the registry
    m.extendedAccepted = false;
    m.systemFolder = 2;
    m.programsFolder = 2;
    m.registry.push_back(Text(3, 3, "WinNT"));
    seeds.push_back(m);
    m.registry.back() = Text(3, 3, "LanmanNT");
    seeds.push_back(m);
    m = Nt(5, 0, SYS_VER_NT_SERVER);  // Windows 2000 Server
    m.clicks = {kClickInstall, kClickScsi, kClickNext};
    seeds.push_back(m);
    m = Installed(Nt(5, 1, SYS_VER_NT_SERVER));  // XP server with the marker
    m.clicks = {kClickUninstall, kClickUninstall};
    seeds.push_back(m);
    m = Nt(6, 1, SYS_VER_NT_WORKSTATION);  // a later Windows
    seeds.push_back(m);
    m = xp;  // the marker cannot be written
    m.faults = {{3, 2}};
    seeds.push_back(m);
    // The other rows of the version table, each installed on.
    const struct {
        uint32_t platform, major, minor;
        const char* csd;
        uint8_t productType;
        uint16_t suiteMask;
    } versions[] = {
        {SYS_VER_PLATFORM_WIN32_WINDOWS, 4, 0, " B ", 0, 0},  {SYS_VER_PLATFORM_WIN32_WINDOWS, 4, 0, " C ", 0, 0},
        {SYS_VER_PLATFORM_WIN32_WINDOWS, 4, 10, "", 0, 0},    {SYS_VER_PLATFORM_WIN32_NT, 5, 1, "", 1, 0x200},
        {SYS_VER_PLATFORM_WIN32_NT, 5, 0, "", 1, 0},          {SYS_VER_PLATFORM_WIN32_NT, 4, 0, "", 1, 0x200},
        {SYS_VER_PLATFORM_WIN32_NT, 4, 0, "", 3, 2},          {SYS_VER_PLATFORM_WIN32_NT, 4, 0, "", 3, 0x80},
        {SYS_VER_PLATFORM_WIN32_NT, 5, 0, "", 3, 2},          {SYS_VER_PLATFORM_WIN32_NT, 5, 0, "", 3, 0x80},
        {SYS_VER_PLATFORM_WIN32_NT, 5, 1, "", 3, 2},          {SYS_VER_PLATFORM_WIN32_NT, 5, 1, "", 3, 0x80},
        {SYS_VER_PLATFORM_WIN32_NT, 5, 1, "", 2, 0},
    };
    for (const auto& v : versions) {
        m = v.platform == SYS_VER_PLATFORM_WIN32_NT ? xp : win98;
        m.platform = v.platform, m.major = v.major, m.minor = v.minor, m.csd = v.csd;
        m.productType = v.productType, m.suiteMask = v.suiteMask;
        seeds.push_back(m);
    }
    m = Nt(4, 0, 0);  // NT 4.0 before SP6 on a server that says so in the registry
    m.extendedAccepted = false;
    m.registry.push_back(Text(3, 3, "ServerNT"));
    seeds.push_back(m);
    return seeds;
}

void WriteSeeds(const char* directory) {
    const std::vector<Machine> seeds = Seeds();
    for (size_t i = 0; i < seeds.size(); ++i) {
        Machine m = seeds[i];
        Writer writer;
        Describe(writer, m);
        const std::string bytes = writer.Bytes();
        // The bytes must read back as the same machine.
        Machine back;
        Reader reader((const uint8_t*)bytes.data(), bytes.size());
        Describe(reader, back);
        Writer again;
        Describe(again, back);
        if (again.Bytes() != bytes) {
            fprintf(stderr, "seed %zu does not read back as written\n", i);
            exit(1);
        }
        const std::string path = std::string(directory) + "/seed-" + std::to_string(i);
        FILE* out = fopen(path.c_str(), "wb");
        if (!out || fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || fclose(out) != 0) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            exit(1);
        }
    }
    printf("%zu seed machines written to %s\n", seeds.size(), directory);
    exit(0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* directory = getenv("SETUP_FUZZ_SEEDS")) WriteSeeds(directory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Machine m;
    Reader reader(data, size);
    Describe(reader, m);
    FakeSystem sys;
    Build(m, sys);
    UseSystemServices(&sys);
    {
        Run run(sys);
        run.Start();
        for (uint8_t click : m.clicks) run.Press(click);
    }
    UseSystemServices(0);
    return 0;
}
