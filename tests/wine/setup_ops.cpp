// Windows only. Runs operations of the setup logic on the real Windows API,
// one for each argument, so that a test can check their effects with tools
// that are not ours (reg query, the prefix's files, system.ini):
//   setup_ops.exe RegisterStaticVxd UnregisterNtDriverService=NT5 ...
// Arguments: any operation of the system changes (with =ARG where it takes
// one), CanPageOnDriveD (prints yes or no), Copy=SOURCE>DESTINATION (prints
// the copy's result), RemoveInstalledFile=PATH, SystemDirectory and
// ProgramsFolder (print the folder).
#include <stdio.h>
#include <string.h>

#include "platform/Win32SystemServices.h"
#include "setup/FileDeployment.h"
#include "setup/SetupState.h"
#include "setup/SystemChanges.h"

static bool Run(const char* argument) {
    char name[256];
    strncpy(name, argument, sizeof name - 1);
    name[sizeof name - 1] = 0;
    char* value = strchr(name, '=');
    if (value) *value++ = 0;
    const char* arg = value ? value : "";
    if (!strcmp(name, "RegisterNtDriverService")) RegisterNtDriverService();
    else if (!strcmp(name, "UnregisterNtDriverService")) UnregisterNtDriverService(arg);
    else if (!strcmp(name, "RegisterStaticVxd")) RegisterStaticVxd();
    else if (!strcmp(name, "UnregisterStaticVxd")) UnregisterStaticVxd();
    else if (!strcmp(name, "RelocatePaging9x")) RelocatePaging9x();
    else if (!strcmp(name, "ResetPaging9x")) ResetPaging9x();
    else if (!strcmp(name, "RelocatePagingNt")) RelocatePagingNt();
    else if (!strcmp(name, "RestorePagingNt")) RestorePagingNt();
    else if (!strcmp(name, "SuspendStateManagerEntry")) SuspendStateManagerEntry();
    else if (!strcmp(name, "RestoreStateManagerEntry")) RestoreStateManagerEntry();
    else if (!strcmp(name, "RestartSystem")) printf("RestartSystem %d\n", RestartSystem());
    else if (!strcmp(name, "CanPageOnDriveD")) printf("CanPageOnDriveD %s\n", CanPageOnDriveD() ? "yes" : "no");
    else if (!strcmp(name, "RemoveInstalledFile")) RemoveInstalledFile(arg);
    else if (!strcmp(name, "SystemDirectory")) {
        LoadSystemDirectory();
        printf("SystemDirectory %s\n", FolderPaths.systemDirectory);
    } else if (!strcmp(name, "ProgramsFolder")) {
        LoadProgramsFolder();
        printf("ProgramsFolder %s\n", FolderPaths.programsFolder);
    } else if (!strcmp(name, "Copy")) {
        const char* arrow = strchr(arg, '>');
        if (!arrow) return false;
        memset(FolderPaths.source, 0, sizeof FolderPaths.source);
        strncpy(FolderPaths.source, arg, arrow - arg);
        printf("Copy %d\n", CopyToPath(arrow + 1));
    } else {
        fprintf(stderr, "setup_ops: unknown operation %s\n", name);
        return false;
    }
    return true;
}

int main(int argc, char** argv) {
    static Win32SystemServices system;
    UseSystemServices(&system);
    for (int i = 1; i < argc; ++i)
        if (!Run(argv[i])) return 2;
    fflush(stdout);
    return 0;
}
