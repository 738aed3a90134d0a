// Windows only. SystemServices over the Windows API (ANSI functions), each
// operation a direct call of the function it is named after; the runtime's
// file functions (fopen, fclose, remove, _mkdir, _rmdir) over the Windows
// functions they stand for, since the program links no C runtime.
#ifndef PLATFORM_WIN32SYSTEMSERVICES_H
#define PLATFORM_WIN32SYSTEMSERVICES_H

#include "platform/SystemServices.h"

class Win32SystemServices : public SystemServices {
public:
    int GetVersionExA(OsVersionInfoEx* info);
    long RegOpenKeyA(RegKey key, const char* subKey, RegKey* result);
    long RegOpenKeyExA(RegKey key, const char* subKey, uint32_t options, uint32_t access, RegKey* result);
    long RegCreateKeyA(RegKey key, const char* subKey, RegKey* result);
    long RegQueryValueExA(RegKey key, const char* valueName, uint32_t* type, unsigned char* data,
                          uint32_t* dataSize);
    long RegSetValueExA(RegKey key, const char* valueName, uint32_t type, const unsigned char* data,
                        uint32_t dataSize);
    long RegDeleteValueA(RegKey key, const char* valueName);
    long RegDeleteKeyA(RegKey key, const char* subKey);
    long RegCloseKey(RegKey key);
    int lstrcmpiA(const char* a, const char* b);
    uint32_t GetSystemDirectoryA(char* buffer, uint32_t size);
    long SHGetMalloc(ShellAllocator* allocator);
    long SHGetSpecialFolderLocation(void* owner, int folder, ItemIdList* list);
    int SHGetPathFromIDListA(ItemIdList list, char* path);
    void ShellFree(ShellAllocator allocator, ItemIdList list);
    void ShellRelease(ShellAllocator allocator);
    FileStream fopen(const char* path, const char* mode);
    int fclose(FileStream stream);
    int CopyFileA(const char* existing, const char* newFile, int failIfExists);
    int remove(const char* path);
    int _mkdir(const char* path);
    int _rmdir(const char* path);
    int SetFileAttributesA(const char* path, uint32_t attributes);
    uint32_t GetFileAttributesA(const char* path);
    void* LocalAlloc(uint32_t flags, uint32_t bytes);
    void* LocalFree(void* memory);
    uint32_t GetLogicalDriveStringsA(uint32_t size, char* buffer);
    uint32_t GetDriveTypeA(const char* root);
    int GetDiskFreeSpaceA(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                          uint32_t* freeClusters, uint32_t* totalClusters);
    int WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* file);
    SysHandle GetCurrentProcess();
    int OpenProcessToken(SysHandle process, uint32_t access, SysHandle* token);
    int LookupPrivilegeValueA(const char* systemName, const char* name, SysLuid* luid);
    int AdjustTokenPrivileges(SysHandle token, int disableAll, const SysTokenPrivileges* newState,
                              uint32_t bufferLength, SysTokenPrivileges* previousState, uint32_t* returnLength);
    int ExitWindowsEx(uint32_t flags, uint32_t reserved);
};

#endif
