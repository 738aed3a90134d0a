// Windows only.
#include "platform/Win32SystemServices.h"

#include <direct.h>
#include <stdio.h>
#include <windows.h>
#include <shlobj.h>

// The portable declarations must describe the Windows structures exactly.
static_assert(sizeof(OsVersionInfoEx) == sizeof(OSVERSIONINFOEXA), "OSVERSIONINFOEXA layout");
static_assert(sizeof(SysTokenPrivileges) == sizeof(TOKEN_PRIVILEGES), "TOKEN_PRIVILEGES layout");
static_assert(sizeof(SysLuid) == sizeof(LUID), "LUID layout");

static HKEY Key(RegKey key) { return reinterpret_cast<HKEY>(key); }
static HKEY* KeyOut(RegKey* key) { return reinterpret_cast<HKEY*>(key); }

int Win32SystemServices::GetVersionExA(OsVersionInfoEx* info) {
    return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info));
}

long Win32SystemServices::RegOpenKeyA(RegKey key, const char* subKey, RegKey* result) {
    return ::RegOpenKeyA(Key(key), subKey, KeyOut(result));
}

long Win32SystemServices::RegOpenKeyExA(RegKey key, const char* subKey, uint32_t options, uint32_t access,
                                        RegKey* result) {
    return ::RegOpenKeyExA(Key(key), subKey, options, access, KeyOut(result));
}

long Win32SystemServices::RegCreateKeyA(RegKey key, const char* subKey, RegKey* result) {
    return ::RegCreateKeyA(Key(key), subKey, KeyOut(result));
}

long Win32SystemServices::RegQueryValueExA(RegKey key, const char* valueName, uint32_t* type,
                                           unsigned char* data, uint32_t* dataSize) {
    DWORD typeValue = 0, size = dataSize ? *dataSize : 0;
    const LONG result = ::RegQueryValueExA(Key(key), valueName, 0, type ? &typeValue : 0, data,
                                           dataSize ? &size : 0);
    if (type) *type = typeValue;
    if (dataSize) *dataSize = size;
    return result;
}

long Win32SystemServices::RegSetValueExA(RegKey key, const char* valueName, uint32_t type,
                                         const unsigned char* data, uint32_t dataSize) {
    return ::RegSetValueExA(Key(key), valueName, 0, type, data, dataSize);
}

long Win32SystemServices::RegDeleteValueA(RegKey key, const char* valueName) {
    return ::RegDeleteValueA(Key(key), valueName);
}

long Win32SystemServices::RegDeleteKeyA(RegKey key, const char* subKey) { return ::RegDeleteKeyA(Key(key), subKey); }

long Win32SystemServices::RegCloseKey(RegKey key) { return ::RegCloseKey(Key(key)); }

int Win32SystemServices::lstrcmpiA(const char* a, const char* b) { return ::lstrcmpiA(a, b); }

uint32_t Win32SystemServices::GetSystemDirectoryA(char* buffer, uint32_t size) {
    return ::GetSystemDirectoryA(buffer, size);
}

long Win32SystemServices::SHGetMalloc(ShellAllocator* allocator) {
    return ::SHGetMalloc(reinterpret_cast<IMalloc**>(allocator));
}

long Win32SystemServices::SHGetSpecialFolderLocation(void* owner, int folder, ItemIdList* list) {
    return ::SHGetSpecialFolderLocation(static_cast<HWND>(owner), folder, reinterpret_cast<LPITEMIDLIST*>(list));
}

int Win32SystemServices::SHGetPathFromIDListA(ItemIdList list, char* path) {
    return ::SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(list), path);
}

void Win32SystemServices::ShellFree(ShellAllocator allocator, ItemIdList list) {
    reinterpret_cast<IMalloc*>(allocator)->Free(list);
}

void Win32SystemServices::ShellRelease(ShellAllocator allocator) { reinterpret_cast<IMalloc*>(allocator)->Release(); }

FileStream Win32SystemServices::fopen(const char* path, const char* mode) {
    return reinterpret_cast<FileStream>(::fopen(path, mode));
}

int Win32SystemServices::fclose(FileStream stream) { return ::fclose(reinterpret_cast<FILE*>(stream)); }

int Win32SystemServices::CopyFileA(const char* existing, const char* newFile, int failIfExists) {
    return ::CopyFileA(existing, newFile, failIfExists);
}

int Win32SystemServices::remove(const char* path) { return ::remove(path); }

int Win32SystemServices::_mkdir(const char* path) { return ::_mkdir(path); }

int Win32SystemServices::_rmdir(const char* path) { return ::_rmdir(path); }

int Win32SystemServices::SetFileAttributesA(const char* path, uint32_t attributes) {
    return ::SetFileAttributesA(path, attributes);
}

uint32_t Win32SystemServices::GetFileAttributesA(const char* path) { return ::GetFileAttributesA(path); }

void* Win32SystemServices::LocalAlloc(uint32_t flags, uint32_t bytes) { return ::LocalAlloc(flags, bytes); }

void* Win32SystemServices::LocalFree(void* memory) { return ::LocalFree(memory); }

uint32_t Win32SystemServices::GetLogicalDriveStringsA(uint32_t size, char* buffer) {
    return ::GetLogicalDriveStringsA(size, buffer);
}

uint32_t Win32SystemServices::GetDriveTypeA(const char* root) { return ::GetDriveTypeA(root); }

int Win32SystemServices::GetDiskFreeSpaceA(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                                           uint32_t* freeClusters, uint32_t* totalClusters) {
    DWORD spc = 0, bps = 0, free = 0, total = 0;
    const BOOL result = ::GetDiskFreeSpaceA(root, &spc, &bps, &free, &total);
    *sectorsPerCluster = spc;
    *bytesPerSector = bps;
    *freeClusters = free;
    *totalClusters = total;
    return result;
}

int Win32SystemServices::WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                                    const char* file) {
    return ::WritePrivateProfileStringA(section, key, value, file);
}

SysHandle Win32SystemServices::GetCurrentProcess() { return reinterpret_cast<SysHandle>(::GetCurrentProcess()); }

int Win32SystemServices::OpenProcessToken(SysHandle process, uint32_t access, SysHandle* token) {
    return ::OpenProcessToken(reinterpret_cast<HANDLE>(process), access, reinterpret_cast<HANDLE*>(token));
}

int Win32SystemServices::LookupPrivilegeValueA(const char* systemName, const char* name, SysLuid* luid) {
    return ::LookupPrivilegeValueA(systemName, name, reinterpret_cast<LUID*>(luid));
}

int Win32SystemServices::AdjustTokenPrivileges(SysHandle token, int disableAll, const SysTokenPrivileges* newState,
                                               uint32_t bufferLength, SysTokenPrivileges* previousState,
                                               uint32_t* returnLength) {
    DWORD length = returnLength ? *returnLength : 0;
    const BOOL result = ::AdjustTokenPrivileges(
        reinterpret_cast<HANDLE>(token), disableAll,
        const_cast<TOKEN_PRIVILEGES*>(reinterpret_cast<const TOKEN_PRIVILEGES*>(newState)), bufferLength,
        reinterpret_cast<TOKEN_PRIVILEGES*>(previousState), returnLength ? &length : 0);
    if (returnLength) *returnLength = length;
    return result;
}

int Win32SystemServices::ExitWindowsEx(uint32_t flags, uint32_t reserved) { return ::ExitWindowsEx(flags, reserved); }
