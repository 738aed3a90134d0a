#include "setup/FileDeployment.h"

#include <string.h>

#include "setup/SetupState.h"

const char* const kDataDirectory = "c:\\kmdrv";

enum { kMaxPathChars = kFolderPathSize - 1, kShellPathSize = 260, kFileAttributeDirectory = 0x10 };

// Copies text into a FolderPaths buffer; false (and nothing written) when it
// does not fit.
static bool PutPath(char* buffer, const char* text) {
    const size_t length = strlen(text);
    if (length > kMaxPathChars) return false;
    memcpy(buffer, text, length + 1);
    return true;
}

static bool AppendPath(char* folder, const char* suffix) {
    const size_t length = strlen(folder), extra = strlen(suffix);
    if (length + extra > kMaxPathChars) return false;
    memcpy(folder + length, suffix, extra + 1);
    return true;
}

int CopySourceFile() {
    SystemServices& sys = Services();
    FileStream stream = sys.fopen(FolderPaths.source, "r");
    if (!stream) return 0;
    sys.CopyFileA(FolderPaths.source, FolderPaths.destination, 1);
    sys.fclose(stream);
    return 1;
}

int CopyIntoFolder(char* folder, const char* suffix) {
    if (!AppendPath(folder, suffix)) return 0;
    PutPath(FolderPaths.destination, folder);
    return CopySourceFile();
}

int CopyToPath(const char* path) {
    if (!PutPath(FolderPaths.destination, path)) return 0;
    return CopySourceFile();
}

void RemoveInstalledFile(const char* path) {
    SystemServices& sys = Services();
    sys.SetFileAttributesA(path, SYS_FILE_ATTRIBUTE_NORMAL);
    sys.remove(path);
}

// An unknown (empty) folder would name a file at the root of the current
// drive, where install never puts one.
void RemoveFromFolder(char* folder, const char* suffix) {
    if (folder[0] && AppendPath(folder, suffix)) RemoveInstalledFile(folder);
}

void LoadSystemDirectory() {
    const uint32_t length = Services().GetSystemDirectoryA(FolderPaths.systemDirectory, 255);
    // A failed lookup must not leave an earlier composed path behind.
    if (length == 0 || length >= 255) FolderPaths.systemDirectory[0] = 0;
}

void LoadProgramsFolder() {
    SystemServices& sys = Services();
    // A failed lookup must not leave an earlier composed path behind.
    FolderPaths.programsFolder[0] = 0;
    ShellAllocator allocator = 0;
    if (sys.SHGetMalloc(&allocator) < 0) return;
    ItemIdList list = 0;
    if (sys.SHGetSpecialFolderLocation(0, SYS_CSIDL_PROGRAMS, &list) < 0) {
        sys.ShellRelease(allocator);
        return;
    }
    char scratch[kShellPathSize];
    memset(scratch, 0, sizeof scratch);
    if (sys.SHGetPathFromIDListA(list, scratch) && memchr(scratch, 0, sizeof scratch))
        PutPath(FolderPaths.programsFolder, scratch);
    sys.ShellFree(allocator, list);
    sys.ShellRelease(allocator);
}

bool DestinationFileExists() {
    const uint32_t attributes = Services().GetFileAttributesA(FolderPaths.destination);
    return attributes != SYS_INVALID_FILE_ATTRIBUTES && !(attributes & kFileAttributeDirectory);
}
