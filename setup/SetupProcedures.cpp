#include "setup/SetupProcedures.h"

#include <string.h>

#include "setup/ControlIds.h"
#include "setup/FileDeployment.h"
#include "setup/SetupState.h"
#include "setup/SetupView.h"
#include "setup/SystemChanges.h"
#include "setup/WindowsVersion.h"

namespace {

enum Family { kRefused, kFamily9x, kFamilyNt4, kFamilyNt5 };

struct Plan {
    Family family;
    const char* refusal;
};

const char kUnknownWindows[] = "Unknow Windows Version";

// Codes without a plan (the meaningless ones, and NT versions the program
// does not support) are refused like an unrecognised Windows.
Plan ChoosePlan(unsigned code) {
    switch (code) {
    case 1: case 2: case 3: case 6: case 7: return Plan{kFamily9x, 0};
    case 10: case 11: case 12: return Plan{kFamilyNt4, 0};
    case 20: case 21: case 22: case 30: case 31: case 32: return Plan{kFamilyNt5, 0};
    case 13: case 14: case 15: return Plan{kRefused, "The Version not support Windows NT Server"};
    case 23: case 24: case 25: return Plan{kRefused, "The Version not support Windows 2000 Server"};
    case 33: case 34: case 35: return Plan{kRefused, "The Version not support Windows XP Server"};
    default: return Plan{kRefused, kUnknownWindows};
    }
}

void Fail(SetupView& view, const char* message) {
    view.ShowMessage(message, "Error", SETUP_MB_ICONHAND);
    ErrorFlag = -1;
}

enum Lookup : unsigned char { kNoLookup, kLookupSystemDirectory, kLookupProgramsFolder };
enum Destination : unsigned char { kFullPath, kInSystemDirectory, kInProgramsFolder };

// The three small fields come first, so that a step takes 16 bytes, not 24.
struct CopyStep {
    Lookup lookup;
    Destination where;
    unsigned char position;   // 0: the step sets none
    const char* source;
    const char* destination;  // a full path, or a suffix of the folder
    const char* failure;
};

// Shows "Cannot write " and what was not written: a path, or a registry key
// named "HKLM\..."; either has at most 255 characters.
void FailToWrite(SetupView& view, const char* path) {
    char message[16 + kFolderPathSize];
    strcpy(message, "Cannot write ");
    strcat(message, path);
    Fail(view, message);
}

// A copy step succeeds when its source exists and a file is then in place at
// its destination, copied now or left by an earlier install.
bool RunCopyStep(SetupView& view, const CopyStep& step) {
    if (step.lookup == kLookupSystemDirectory) LoadSystemDirectory();
    if (step.lookup == kLookupProgramsFolder) LoadProgramsFolder();
    strcpy(FolderPaths.source, step.source);
    char* folder = step.where == kInSystemDirectory ? FolderPaths.systemDirectory : FolderPaths.programsFolder;
    if (step.where != kFullPath && !folder[0]) {
        // The folder is unknown: the file must not land elsewhere, such as at
        // the root of the current drive.
        FailToWrite(view, step.destination);
        return false;
    }
    const int found = step.where == kFullPath ? CopyToPath(step.destination) : CopyIntoFolder(folder, step.destination);
    if (!found) {
        Fail(view, step.failure);
        return false;
    }
    if (!DestinationFileExists()) {
        FailToWrite(view, FolderPaths.destination);
        return false;
    }
    if (step.position) view.SetProgressPos(step.position);
    return true;
}

bool RunCopySteps(SetupView& view, const CopyStep* steps, int count) {
    for (int i = 0; i < count; ++i)
        if (!RunCopyStep(view, steps[i])) return false;
    return true;
}

const CopyStep k9xSteps[] = {
    {kNoLookup, kFullPath, 4, "\\Peek_B.exe", "c:\\kmdrv\\Peek_B.exe", "Soure File One not found"},
    {kLookupProgramsFolder, kInProgramsFolder, 5, "\\Peek_B.exe", "\\PeekBuff.exe", "Soure File Tow not found"},
    {kLookupSystemDirectory, kInSystemDirectory, 6, "\\QSPK2.DAT", "\\SCSIKRN.VXD", "Soure File Tow-1 not found"},
    {kLookupSystemDirectory, kInSystemDirectory, 7, "\\98\\v98.vxd", "\\iosubsys\\v98.vxd", "Soure File Tree not found"},
    {kLookupSystemDirectory, kInSystemDirectory, 8, "\\98\\v98.vxd", "\\SCSIKRN.SYS", "Soure File Tree-1 not found"},
};
const CopyStep k9xIdeData = {kNoLookup, kFullPath, 0, "\\98\\v98.vxd", "c:\\kmdrv\\kmide.dat", "Soure File four not found"};
const CopyStep k9xScsiData = {kNoLookup, kFullPath, 0, "\\98\\v98.vxd", "c:\\kmdrv\\kmscsi.dat", "Soure File four not found"};

void Install9x(SetupView& view) {
    if (!RunCopySteps(view, k9xSteps, sizeof k9xSteps / sizeof k9xSteps[0])) return;
    if (HddInterface == 1 && !RunCopyStep(view, k9xIdeData)) return;
    if (HddInterface == 2 && !RunCopyStep(view, k9xScsiData)) return;
    SuspendStateManagerEntry();
    RelocatePaging9x();
    if (!RegisterStaticVxd()) {
        FailToWrite(view, kVxdEntry);
        return;
    }
    view.SetProgressPos(10);
}

// The NT plans: the system-directory lookup and position 3 come before the
// first copy, which composes on that lookup.
void InstallNt(SetupView& view, const CopyStep (&steps)[3]) {
    LoadSystemDirectory();
    view.SetProgressPos(3);
    if (!RunCopySteps(view, steps, 3)) return;
    if (!RegisterNtDriverService()) {
        FailToWrite(view, kNtServiceEntry);
        return;
    }
    RelocatePagingNt();
    view.SetProgressPos(10);
}

const CopyStep kNt4Steps[3] = {
    {kNoLookup, kInSystemDirectory, 5, "\\nt\\vnt4.sys", "\\drivers\\VNT.sys", "Soure File one not found"},
    {kNoLookup, kFullPath, 7, "\\Peek_B.exe", "c:\\kmdrv\\Peek_B.exe", "Soure File Two not found"},
    {kLookupProgramsFolder, kInProgramsFolder, 8, "\\Peek_B.exe", "\\PeekBuff.exe", "Soure File Tree not found"},
};
const CopyStep kNt5Steps[3] = {
    {kNoLookup, kInSystemDirectory, 5, "\\NT\\VNT.sys", "\\drivers\\VNT.sys", "Soure File One not found"},
    {kNoLookup, kFullPath, 7, "\\Peek_B.exe", "c:\\kmdrv\\Peek_B.exe", "Soure File Two not found"},
    {kLookupProgramsFolder, kInProgramsFolder, 9, "\\Peek_B.exe", "\\PeekBuff.exe", "Soure File Tree not found"},
};

void RemoveFromSystemDirectory(const char* suffix) {
    LoadSystemDirectory();
    RemoveFromFolder(FolderPaths.systemDirectory, suffix);
}

void RemoveFromProgramsFolder(const char* suffix) {
    LoadProgramsFolder();
    RemoveFromFolder(FolderPaths.programsFolder, suffix);
}

// The uninstall plans return the key of the driver's registration when it
// could not be removed, 0 when it is gone.
const char* Uninstall9x() {
    ResetPaging9x();
    RemoveInstalledFile("c:\\kmdrv\\kmide.dat");
    RemoveInstalledFile("c:\\kmdrv\\kmscsi.dat");
    RemoveInstalledFile("c:\\kmdrv\\Peek_B.exe");
    RemoveFromProgramsFolder("\\PeekBuff.exe");
    RemoveFromSystemDirectory("\\iosubsys\\v98.vxd");
    RemoveFromSystemDirectory("\\SCSIKRN.VXD");
    RemoveFromSystemDirectory("\\SCSIKRN.SYS");
    const bool gone = UnregisterStaticVxd();
    RestoreStateManagerEntry();
    return gone ? 0 : kVxdEntry;
}

const char* UninstallNt(const char* serviceSubKey) {
    SystemServices& sys = Services();
    RemoveFromSystemDirectory("\\drivers\\VNT.sys");
    sys.SetFileAttributesA("D:\\pagefile.sys", SYS_FILE_ATTRIBUTE_NORMAL);
    RemoveFromProgramsFolder("\\PeekBuff.exe");
    const bool gone = UnregisterNtDriverService(serviceSubKey);
    RemoveInstalledFile("c:\\kmdrv\\peek_b.exe");
    sys.remove("d:\\pagefile.sys");
    RestorePagingNt();
    return gone ? 0 : kNtServiceEntry;
}

}  // namespace

void RunInstall(SetupView& view) {
    view.ShowControl(IDC_IDE, false);
    view.ShowControl(IDC_SCSI, false);
    view.ShowControl(IDC_PROGRESS, true);
    view.SetProgressPos(1);
    SystemServices& sys = Services();
    sys._mkdir(kDataDirectory);
    view.SetProgressPos(2);

    const Plan plan = ChoosePlan(WindowsKind);
    switch (plan.family) {
    case kFamily9x: Install9x(view); break;
    case kFamilyNt4: InstallNt(view, kNt4Steps); break;
    case kFamilyNt5: InstallNt(view, kNt5Steps); break;
    case kRefused: Fail(view, plan.refusal); break;
    }

    if (ErrorFlag != 0) return;
    RegKey marker = 0;
    if (sys.RegCreateKeyA(SYS_HKEY_LOCAL_MACHINE, kInstallMarkerKey, &marker) != 0) {
        FailToWrite(view, kInstallMarkerEntry);
        return;
    }
    sys.RegCloseKey(marker);
    view.ShowMessage("Install OK !! System will be restart .......", "Warning", SETUP_MB_ICONQUESTION);
    RestartSystem();
}

void RunUninstall(SetupView& view) {
    const Plan plan = ChoosePlan(WindowsKind);
    const char* left = 0;  // what could not be removed
    switch (plan.family) {
    case kFamily9x: left = Uninstall9x(); break;
    case kFamilyNt4: left = UninstallNt("VNT4"); break;
    case kFamilyNt5: left = UninstallNt("NT5"); break;
    case kRefused: Fail(view, plan.refusal); break;
    }

    SystemServices& sys = Services();
    sys._rmdir(kDataDirectory);
    if (ErrorFlag != 0) return;
    // While the driver's registration stays, so does the marker: the next
    // start offers Uninstall again.
    if (!left) {
        RegKey hklm = SYS_HKEY_LOCAL_MACHINE;
        const long deleted = sys.RegDeleteKeyA(hklm, kInstallMarkerKey);
        if (deleted != SYS_ERROR_SUCCESS && deleted != SYS_ERROR_FILE_NOT_FOUND) left = kInstallMarkerEntry;
    }
    if (left) {
        FailToWrite(view, left);
        return;
    }
    view.ShowMessage("Uninstall OK !! System will be restart .......", "Warning", SETUP_MB_ICONQUESTION);
    RestartSystem();
    view.EndDialog(1002);
}
