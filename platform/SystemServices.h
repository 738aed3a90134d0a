// SystemServices: the one interface through which the setup logic reaches the
// operating system. Each operation has the name, arguments and results of the
// Windows API function (ANSI variant) or runtime file function it stands for,
// with types of fixed width so the same declarations serve Windows and the
// Linux test build. Win32SystemServices forwards to Windows; the
// tests use an in-memory fake that behaves as Windows does.
#ifndef PLATFORM_SYSTEMSERVICES_H
#define PLATFORM_SYSTEMSERVICES_H

#include <stdint.h>

// Opaque handles. A registry key handle has the value of an HKEY.
typedef struct SysRegKey_* RegKey;
typedef struct SysFile_* FileStream;        // a file open for reading: a file HANDLE
typedef struct SysHandle_* SysHandle;       // a process or token HANDLE
typedef struct SysMalloc_* ShellAllocator;  // an IMalloc*
typedef struct SysIdList_* ItemIdList;      // a PIDLIST_ABSOLUTE

// Sign-extended on 64-bit Windows, as the HKEY constant is.
#define SYS_HKEY_LOCAL_MACHINE ((RegKey)(intptr_t)(int32_t)0x80000002u)

// Results and constants with their Windows values.
enum {
    SYS_ERROR_SUCCESS = 0,
    SYS_ERROR_FILE_NOT_FOUND = 2,
    SYS_ERROR_ACCESS_DENIED = 5,
    SYS_ERROR_INVALID_HANDLE = 6,
    SYS_ERROR_MORE_DATA = 234,

    SYS_KEY_QUERY_VALUE = 0x0001,
    SYS_KEY_SET_VALUE = 0x0002,

    SYS_REG_SZ = 1,
    SYS_REG_BINARY = 3,
    SYS_REG_DWORD = 4,
    SYS_REG_MULTI_SZ = 7,

    SYS_FILE_ATTRIBUTE_READONLY = 0x01,
    SYS_FILE_ATTRIBUTE_HIDDEN = 0x02,
    SYS_FILE_ATTRIBUTE_SYSTEM = 0x04,
    SYS_FILE_ATTRIBUTE_NORMAL = 0x80,

    SYS_DRIVE_UNKNOWN = 0,
    SYS_DRIVE_NO_ROOT_DIR = 1,
    SYS_DRIVE_REMOVABLE = 2,
    SYS_DRIVE_FIXED = 3,
    SYS_DRIVE_REMOTE = 4,
    SYS_DRIVE_CDROM = 5,
    SYS_DRIVE_RAMDISK = 6,

    SYS_CSIDL_PROGRAMS = 2,

    SYS_LMEM_FIXED = 0x0000,

    SYS_TOKEN_ADJUST_PRIVILEGES = 0x0020,
    SYS_TOKEN_QUERY = 0x0008,
    SYS_SE_PRIVILEGE_ENABLED = 0x00000002,

    SYS_EWX_REBOOT = 0x00000002,

    SYS_VER_PLATFORM_WIN32s = 0,
    SYS_VER_PLATFORM_WIN32_WINDOWS = 1,
    SYS_VER_PLATFORM_WIN32_NT = 2,
    SYS_VER_NT_WORKSTATION = 1,
    SYS_VER_NT_DOMAIN_CONTROLLER = 2,
    SYS_VER_NT_SERVER = 3,
    SYS_VER_SUITE_ENTERPRISE = 0x0002,
    SYS_VER_SUITE_DATACENTER = 0x0080,
    SYS_VER_SUITE_PERSONAL = 0x0200
};

// The layout of OSVERSIONINFOEXA (156 bytes); its first 148 bytes are
// OSVERSIONINFOA.
struct OsVersionInfoEx {
    uint32_t dwOSVersionInfoSize;
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    uint32_t dwBuildNumber;
    uint32_t dwPlatformId;
    char szCSDVersion[128];
    uint16_t wServicePackMajor;
    uint16_t wServicePackMinor;
    uint16_t wSuiteMask;
    uint8_t wProductType;
    uint8_t wReserved;
};

// LUID, LUID_AND_ATTRIBUTES and a TOKEN_PRIVILEGES with room for one
// privilege (16 bytes).
struct SysLuid {
    uint32_t LowPart;
    int32_t HighPart;
};
struct SysTokenPrivileges {
    uint32_t PrivilegeCount;
    SysLuid Luid;
    uint32_t Attributes;
};

class SystemServices {
public:
    // Version information. Returns non-zero when the record was filled.
    virtual int GetVersionExA(OsVersionInfoEx* info) = 0;

    // Registry. Results are Windows error codes (0 is success).
    virtual long RegOpenKeyA(RegKey key, const char* subKey, RegKey* result) = 0;
    virtual long RegOpenKeyExA(RegKey key, const char* subKey, uint32_t options, uint32_t access,
                               RegKey* result) = 0;
    virtual long RegCreateKeyA(RegKey key, const char* subKey, RegKey* result) = 0;
    virtual long RegQueryValueExA(RegKey key, const char* valueName, uint32_t* type,
                                  unsigned char* data, uint32_t* dataSize) = 0;
    virtual long RegSetValueExA(RegKey key, const char* valueName, uint32_t type,
                                const unsigned char* data, uint32_t dataSize) = 0;
    virtual long RegDeleteValueA(RegKey key, const char* valueName) = 0;
    virtual long RegDeleteKeyA(RegKey key, const char* subKey) = 0;
    virtual long RegCloseKey(RegKey key) = 0;

    // Case-insensitive comparison; 0 means equal.
    virtual int lstrcmpiA(const char* a, const char* b) = 0;

    // Folders. GetSystemDirectoryA returns the length written, or the size
    // needed when the buffer is too small, or 0 on failure.
    virtual uint32_t GetSystemDirectoryA(char* buffer, uint32_t size) = 0;
    virtual long SHGetMalloc(ShellAllocator* allocator) = 0;
    virtual long SHGetSpecialFolderLocation(void* owner, int folder, ItemIdList* list) = 0;
    // Writes at most MAX_PATH (260) bytes, the terminating zero included.
    virtual int SHGetPathFromIDListA(ItemIdList list, char* path) = 0;
    virtual void ShellFree(ShellAllocator allocator, ItemIdList list) = 0;   // IMalloc::Free
    virtual void ShellRelease(ShellAllocator allocator) = 0;                 // IMalloc::Release

    // Files: the runtime's functions and the Windows API's.
    virtual FileStream fopen(const char* path, const char* mode) = 0;
    virtual int fclose(FileStream stream) = 0;
    virtual int CopyFileA(const char* existing, const char* newFile, int failIfExists) = 0;
    virtual int remove(const char* path) = 0;
    virtual int _mkdir(const char* path) = 0;
    virtual int _rmdir(const char* path) = 0;
    virtual int SetFileAttributesA(const char* path, uint32_t attributes) = 0;
    // Returns INVALID_FILE_ATTRIBUTES (0xFFFFFFFF) when the path names nothing.
    virtual uint32_t GetFileAttributesA(const char* path) = 0;

    // Memory from the process heap. LocalAlloc returns null when none is
    // left; LocalFree returns null when the block was freed.
    virtual void* LocalAlloc(uint32_t flags, uint32_t bytes) = 0;
    virtual void* LocalFree(void* memory) = 0;

    // Drives.
    virtual uint32_t GetLogicalDriveStringsA(uint32_t size, char* buffer) = 0;
    virtual uint32_t GetDriveTypeA(const char* root) = 0;
    virtual int GetDiskFreeSpaceA(const char* root, uint32_t* sectorsPerCluster,
                                  uint32_t* bytesPerSector, uint32_t* freeClusters,
                                  uint32_t* totalClusters) = 0;

    // "system.ini" and other profiles in the Windows directory.
    virtual int WritePrivateProfileStringA(const char* section, const char* key,
                                           const char* value, const char* file) = 0;

    // Privileges and the restart.
    virtual SysHandle GetCurrentProcess() = 0;
    virtual int OpenProcessToken(SysHandle process, uint32_t access, SysHandle* token) = 0;
    virtual int LookupPrivilegeValueA(const char* systemName, const char* name, SysLuid* luid) = 0;
    virtual int AdjustTokenPrivileges(SysHandle token, int disableAll,
                                      const SysTokenPrivileges* newState, uint32_t bufferLength,
                                      SysTokenPrivileges* previousState,
                                      uint32_t* returnLength) = 0;
    virtual int ExitWindowsEx(uint32_t flags, uint32_t reserved) = 0;

protected:
    // Not virtual: see SetupView.
    ~SystemServices() = default;
};

#define SYS_INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#endif
