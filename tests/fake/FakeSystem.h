// An in-memory Windows for the tests: a registry tree, drives with files and
// folders, private profiles, the version record, tokens and the restart, all
// with the behaviour of the Windows API where the setup logic depends on it
// (case-insensitive names, ERROR_MORE_DATA without writing, fail-if-exists,
// read-only files that cannot be removed, files held open by other programs,
// keys with subkeys that cannot be deleted on the NT family, output buffers
// left as they were when a call fails). Every call is logged; any call can be
// made to fail. Dump() prints the whole machine for failure messages.
#ifndef TESTS_FAKE_FAKESYSTEM_H
#define TESTS_FAKE_FAKESYSTEM_H

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/SystemServices.h"

struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

class FakeSystem : public SystemServices {
public:
    FakeSystem();
    virtual ~FakeSystem();

    // ---- the emulated machine ------------------------------------------
    struct RegValue {
        uint32_t type;
        std::string data;  // raw bytes
    };
    struct RegNode {
        std::map<std::string, RegNode, CaseLess> keys;
        std::map<std::string, RegValue, CaseLess> values;
    };
    struct FileNode {
        bool directory;
        std::string data;
        uint32_t attributes;
        std::map<std::string, FileNode, CaseLess> children;
    };
    struct Drive {
        uint32_t type;
        uint32_t sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
        bool freeSpaceFails;
        FileNode root;
    };

    // Version information: what GetVersionExA fills in. extendedAccepted
    // false makes the 156-byte request fail, as on systems before NT 4.0 SP6.
    OsVersionInfoEx version;
    bool extendedAccepted;
    bool versionFails;
    void SetVersion(uint32_t platform, uint32_t major, uint32_t minor, const char* csd = "",
                    uint8_t productType = 0, uint16_t suiteMask = 0);
    // Presets: a Windows 9x machine (no tokens, recursive key deletion) or
    // an NT machine.
    void Use9xFamily();
    void UseNtFamily();

    RegNode hklm;
    bool ntRegistry;  // RegDeleteKeyA refuses keys with subkeys
    void SetValue(const std::string& keyPath, const std::string& name, uint32_t type, const std::string& data);
    void SetString(const std::string& keyPath, const std::string& name, const std::string& text);  // with its zero
    void CreateKey(const std::string& keyPath);
    bool HasKey(const std::string& keyPath) const;
    const RegValue* Value(const std::string& keyPath, const std::string& name) const;
    size_t OpenKeyCount() const { return openKeys_.size(); }

    std::map<char, Drive> drives;  // upper-case letters
    char currentDrive;
    bool lowerCaseDriveList;
    void AddDrive(char letter, uint32_t type, uint64_t freeBytes = 0);
    void SetFreeSpace(char letter, uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters);
    void WriteFile(const std::string& path, const std::string& data, uint32_t attributes = 0x20);
    void MakeDirectory(const std::string& path);  // with its parents
    bool FileExists(const std::string& path) const;
    bool DirectoryExists(const std::string& path) const;
    std::string FileData(const std::string& path) const;
    uint32_t FileAttributes(const std::string& path) const;
    // Every file and folder on a drive, as full paths (folders end in a
    // backslash), in the order of a directory listing.
    std::vector<std::string> FilesOn(char drive) const;
    // Another program opens an existing file for writing, sharing reading
    // with others (shareRead) or nothing; as on Windows a second writer, a
    // read-only file or a folder is refused (-1). While it is held, fopen
    // and CopyFileA cannot read it unless reading is shared, and remove
    // cannot delete it. Returns the number to pass to ReleaseFile.
    int HoldForWriting(const std::string& path, bool shareRead);
    void ReleaseFile(int hold);

    std::string systemDirectory;  // what GetSystemDirectoryA reports
    std::string programsFolder;   // what the CSIDL_PROGRAMS lookup reports

    // Private profiles in the Windows directory: file -> section -> key -> value.
    typedef std::map<std::string, std::string, CaseLess> ProfileSection;
    std::map<std::string, std::map<std::string, ProfileSection, CaseLess>, CaseLess> profiles;
    std::string Profile(const std::string& file, const std::string& section, const std::string& key) const;
    bool HasProfileKey(const std::string& file, const std::string& section, const std::string& key) const;

    bool hasTokens;              // the NT family has process tokens
    int exitWindowsResult;       // what ExitWindowsEx answers
    std::vector<uint32_t> restartRequests;  // flags of every ExitWindowsEx
    std::vector<SysTokenPrivileges> adjustedPrivileges;

    // ---- the record of calls and fault injection -----------------------
    // One line a call: the operation's name, a blank and its main arguments.
    std::vector<std::string> calls;
    std::vector<std::string> CallsOf(const std::string& operation) const;
    size_t CallCount() const { return calls.size(); }
    // Makes every call of that operation fail.
    void FailOperation(const std::string& operation) { failing_.insert(operation); }
    // Makes the call with that number (1 = the first from now on) fail.
    void FailCallNumber(size_t number) { failAt_ = calls.size() + number; }
    // Makes the nth call of that operation from now on (1 = the next) fail,
    // and only that one.
    void FailNthCallOf(const std::string& operation, size_t nth) { failNth_[operation] = nth; }

    std::string Dump() const;

    // ---- SystemServices ------------------------------------------------
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

    // Open resources, for leak checks.
    size_t OpenStreamCount() const { return openStreams_.size(); }
    int shellAllocations;  // allocators and lists handed out and not yet released
    size_t HeapBlockCount() const { return heapBlocks_.size(); }  // LocalAlloc blocks not yet freed

private:
    struct OpenKey {
        std::vector<std::string> path;
        uint32_t access;
    };
    bool Log(const std::string& line);  // true when this call must fail
    RegNode* FindKey(const std::vector<std::string>& path);
    const RegNode* FindKey(const std::vector<std::string>& path) const;
    bool ResolveKey(RegKey key, const char* subKey, std::vector<std::string>* path) const;
    RegKey NewHandle(const std::vector<std::string>& path, uint32_t access);
    FileNode* FindNode(const std::string& path);
    const FileNode* FindNode(const std::string& path) const;
    FileNode* FindParent(const std::string& path, std::string* leaf);
    bool SplitPath(const std::string& path, char* drive, std::vector<std::string>* parts) const;
    std::string CanonicalPath(const std::string& path) const;  // upper case, with its drive
    bool IsHeld(const std::string& path, bool forReading) const;

    std::map<uintptr_t, OpenKey> openKeys_;
    std::set<uintptr_t> openStreams_;
    std::set<void*> heapBlocks_;
    uintptr_t nextHandle_;
    std::set<std::string> failing_;
    std::map<std::string, size_t> failNth_;
    size_t failAt_;
    struct Hold {
        std::string path;  // canonical
        bool shareRead;
    };
    std::map<int, Hold> holds_;
    int nextHold_;
};

std::vector<std::string> SplitKeyPath(const std::string& path);

#endif
