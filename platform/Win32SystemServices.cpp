// Windows only.
#include "platform/Win32SystemServices.h"

#include <windows.h>
#include <shlobj.h>

// The portable declarations must describe the Windows structures exactly.
static_assert(sizeof(OsVersionInfoEx) == sizeof(OSVERSIONINFOEXA), "OSVERSIONINFOEXA layout");
static_assert(sizeof(SysTokenPrivileges) == sizeof(TOKEN_PRIVILEGES), "TOKEN_PRIVILEGES layout");
static_assert(sizeof(SysLuid) == sizeof(LUID), "LUID layout");
static_assert(sizeof(DWORD) == sizeof(uint32_t), "DWORD width");

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

// DWORD and uint32_t are both 32 bits wide, on 32-bit and 64-bit Windows.
static DWORD* Dword(uint32_t* value) { return reinterpret_cast<DWORD*>(value); }

long Win32SystemServices::RegQueryValueExA(RegKey key, const char* valueName, uint32_t* type,
                                           unsigned char* data, uint32_t* dataSize) {
    return ::RegQueryValueExA(Key(key), valueName, 0, Dword(type), data, Dword(dataSize));
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

// The runtime's file functions over the Windows API, for a program that
// links no C runtime. fopen(path, "r") stands for opening an existing file
// for reading without locking other readers and writers out; the stream is
// the file's handle. Only mode "r" is used.
FileStream Win32SystemServices::fopen(const char* path, const char* mode) {
    if (!mode || mode[0] != 'r' || mode[1] != 0) return 0;
    const HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, 0);
    return file == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<FileStream>(file);
}

int Win32SystemServices::fclose(FileStream stream) {
    return ::CloseHandle(reinterpret_cast<HANDLE>(stream)) ? 0 : -1;  // -1 is the runtime's EOF
}

int Win32SystemServices::CopyFileA(const char* existing, const char* newFile, int failIfExists) {
    return ::CopyFileA(existing, newFile, failIfExists);
}

int Win32SystemServices::remove(const char* path) { return ::DeleteFileA(path) ? 0 : -1; }

int Win32SystemServices::_mkdir(const char* path) { return ::CreateDirectoryA(path, 0) ? 0 : -1; }

int Win32SystemServices::_rmdir(const char* path) { return ::RemoveDirectoryA(path) ? 0 : -1; }

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
    return ::GetDiskFreeSpaceA(root, Dword(sectorsPerCluster), Dword(bytesPerSector), Dword(freeClusters),
                               Dword(totalClusters));
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
    return ::AdjustTokenPrivileges(reinterpret_cast<HANDLE>(token), disableAll,
                                   const_cast<TOKEN_PRIVILEGES*>(reinterpret_cast<const TOKEN_PRIVILEGES*>(newState)),
                                   bufferLength, reinterpret_cast<TOKEN_PRIVILEGES*>(previousState),
                                   Dword(returnLength));
}

int Win32SystemServices::ExitWindowsEx(uint32_t flags, uint32_t reserved) { return ::ExitWindowsEx(flags, reserved); }
