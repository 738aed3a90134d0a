#include "tests/fake/FakeSystem.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>

bool CaseLess::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

static const uintptr_t kHklm = (uintptr_t)SYS_HKEY_LOCAL_MACHINE;
static const uintptr_t kProcess = (uintptr_t)-1;
static const uintptr_t kToken = 0x7000;

FakeSystem::FakeSystem()
    : extendedAccepted(true), versionFails(false), ntRegistry(true), currentDrive('E'),
      lowerCaseDriveList(false), systemDirectory("C:\\WINDOWS\\SYSTEM"),
      programsFolder("C:\\WINDOWS\\Start Menu\\Programs"), hasTokens(false), exitWindowsResult(1),
      shellAllocations(0), nextHandle_(0x1000), failAt_(0), nextHold_(0) {
    memset(&version, 0, sizeof version);
    AddDrive('C', SYS_DRIVE_FIXED, 1ull << 31);
    MakeDirectory("C:\\WINDOWS\\SYSTEM\\iosubsys");
    MakeDirectory("C:\\WINDOWS\\Start Menu\\Programs");
    AddDrive('E', SYS_DRIVE_CDROM);
    Use9xFamily();
}

void FakeSystem::SetVersion(uint32_t platform, uint32_t major, uint32_t minor, const char* csd,
                            uint8_t productType, uint16_t suiteMask) {
    memset(&version, 0, sizeof version);
    version.dwPlatformId = platform;
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    strncpy(version.szCSDVersion, csd, sizeof version.szCSDVersion - 1);
    version.wProductType = productType;
    version.wSuiteMask = suiteMask;
}

void FakeSystem::Use9xFamily() {
    SetVersion(SYS_VER_PLATFORM_WIN32_WINDOWS, 4, 10, " A ");
    ntRegistry = false;
    hasTokens = false;
    systemDirectory = "C:\\WINDOWS\\SYSTEM";
    MakeDirectory(systemDirectory + "\\iosubsys");
    CreateKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices");
}

void FakeSystem::UseNtFamily() {
    SetVersion(SYS_VER_PLATFORM_WIN32_NT, 5, 1, "Service Pack 2", SYS_VER_NT_WORKSTATION, 0x100);
    ntRegistry = true;
    hasTokens = true;
    systemDirectory = "C:\\WINDOWS\\system32";
    MakeDirectory(systemDirectory + "\\drivers");
    SetValue("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management", "PagingFiles",
             SYS_REG_MULTI_SZ, std::string("C:\\pagefile.sys 27 77\0\0", 23));
}

// ---- registry helpers ---------------------------------------------------

FakeSystem::RegNode* FakeSystem::FindKey(const std::vector<std::string>& path) {
    RegNode* node = &hklm;
    for (const std::string& part : path) {
        auto it = node->keys.find(part);
        if (it == node->keys.end()) return 0;
        node = &it->second;
    }
    return node;
}

const FakeSystem::RegNode* FakeSystem::FindKey(const std::vector<std::string>& path) const {
    return const_cast<FakeSystem*>(this)->FindKey(path);
}

void FakeSystem::CreateKey(const std::string& keyPath) {
    RegNode* node = &hklm;
    for (const std::string& part : SplitKeyPath(keyPath)) node = &node->keys[part];
}

void FakeSystem::SetValue(const std::string& keyPath, const std::string& name, uint32_t type,
                          const std::string& data) {
    CreateKey(keyPath);
    RegValue value = {type, data};
    FindKey(SplitKeyPath(keyPath))->values[name] = value;
}

void FakeSystem::SetString(const std::string& keyPath, const std::string& name, const std::string& text) {
    SetValue(keyPath, name, SYS_REG_SZ, text + std::string(1, '\0'));
}

bool FakeSystem::HasKey(const std::string& keyPath) const { return FindKey(SplitKeyPath(keyPath)) != 0; }

const FakeSystem::RegValue* FakeSystem::Value(const std::string& keyPath, const std::string& name) const {
    const RegNode* node = FindKey(SplitKeyPath(keyPath));
    if (!node) return 0;
    auto it = node->values.find(name);
    return it == node->values.end() ? 0 : &it->second;
}

bool FakeSystem::ResolveKey(RegKey key, const char* subKey, std::vector<std::string>* path) const {
    const uintptr_t handle = (uintptr_t)key;
    if (handle == kHklm) {
        path->clear();
    } else {
        auto it = openKeys_.find(handle);
        if (it == openKeys_.end()) return false;
        *path = it->second.path;
    }
    if (subKey)
        for (const std::string& part : SplitKeyPath(subKey)) path->push_back(part);
    return true;
}

RegKey FakeSystem::NewHandle(const std::vector<std::string>& path, uint32_t access) {
    const uintptr_t handle = nextHandle_;
    nextHandle_ += 4;
    OpenKey open = {path, access};
    openKeys_[handle] = open;
    return (RegKey)handle;
}

// ---- file helpers -------------------------------------------------------

bool FakeSystem::SplitPath(const std::string& path, char* drive, std::vector<std::string>* parts) const {
    std::string rest = path;
    if (rest.size() >= 2 && rest[1] == ':') {
        *drive = (char)toupper((unsigned char)rest[0]);
        rest = rest.substr(2);
    } else {
        *drive = currentDrive;
    }
    parts->clear();
    std::string part;
    for (char c : rest) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts->push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts->push_back(part);
    return drives.count(*drive) != 0;
}

FakeSystem::FileNode* FakeSystem::FindNode(const std::string& path) {
    char drive;
    std::vector<std::string> parts;
    if (!SplitPath(path, &drive, &parts)) return 0;
    FileNode* node = &drives[drive].root;
    for (const std::string& part : parts) {
        if (!node->directory) return 0;
        auto it = node->children.find(part);
        if (it == node->children.end()) return 0;
        node = &it->second;
    }
    return node;
}

const FakeSystem::FileNode* FakeSystem::FindNode(const std::string& path) const {
    return const_cast<FakeSystem*>(this)->FindNode(path);
}

FakeSystem::FileNode* FakeSystem::FindParent(const std::string& path, std::string* leaf) {
    char drive;
    std::vector<std::string> parts;
    if (!SplitPath(path, &drive, &parts) || parts.empty()) return 0;
    *leaf = parts.back();
    FileNode* node = &drives[drive].root;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        auto it = node->children.find(parts[i]);
        if (it == node->children.end() || !it->second.directory) return 0;
        node = &it->second;
    }
    return node->directory ? node : 0;
}

std::string FakeSystem::CanonicalPath(const std::string& path) const {
    char drive;
    std::vector<std::string> parts;
    SplitPath(path, &drive, &parts);
    std::string canonical(1, drive);
    canonical += ':';
    for (const std::string& part : parts) {
        canonical += '\\';
        for (char c : part) canonical += (char)toupper((unsigned char)c);
    }
    return canonical;
}

// True when another program holds the file: for reading, one that does not
// share reading; for anything else (deleting, writing), any.
bool FakeSystem::IsHeld(const std::string& path, bool forReading) const {
    const std::string canonical = CanonicalPath(path);
    for (const auto& hold : holds_)
        if (hold.second.path == canonical && !(forReading && hold.second.shareRead)) return true;
    return false;
}

int FakeSystem::HoldForWriting(const std::string& path, bool shareRead) {
    const FileNode* node = FindNode(path);
    if (!node || node->directory || (node->attributes & SYS_FILE_ATTRIBUTE_READONLY) || IsHeld(path, false))
        return -1;
    Hold hold = {CanonicalPath(path), shareRead};
    holds_[nextHold_] = hold;
    return nextHold_++;
}

void FakeSystem::ReleaseFile(int hold) { holds_.erase(hold); }

void FakeSystem::AddDrive(char letter, uint32_t type, uint64_t freeBytes) {
    Drive& drive = drives[(char)toupper((unsigned char)letter)];
    drive.type = type;
    drive.sectorsPerCluster = 8;
    drive.bytesPerSector = 512;
    drive.freeClusters = (uint32_t)(freeBytes / 4096);
    drive.totalClusters = drive.freeClusters * 2 + 1000;
    drive.freeSpaceFails = false;
    drive.root.directory = true;
    drive.root.attributes = 0x10;
}

void FakeSystem::SetFreeSpace(char letter, uint32_t sectorsPerCluster, uint32_t bytesPerSector,
                              uint32_t freeClusters) {
    Drive& drive = drives[(char)toupper((unsigned char)letter)];
    drive.sectorsPerCluster = sectorsPerCluster;
    drive.bytesPerSector = bytesPerSector;
    drive.freeClusters = freeClusters;
}

void FakeSystem::MakeDirectory(const std::string& path) {
    char drive;
    std::vector<std::string> parts;
    SplitPath(path, &drive, &parts);
    if (!drives.count(drive)) AddDrive(drive, SYS_DRIVE_FIXED);
    FileNode* node = &drives[drive].root;
    for (const std::string& part : parts) {
        FileNode& child = node->children[part];
        child.directory = true;
        child.attributes = 0x10;
        node = &child;
    }
}

void FakeSystem::WriteFile(const std::string& path, const std::string& data, uint32_t attributes) {
    const size_t slash = path.find_last_of('\\');
    if (slash != std::string::npos && slash > 0 && path[slash - 1] != ':') MakeDirectory(path.substr(0, slash));
    std::string leaf;
    FileNode* parent = FindParent(path, &leaf);
    FileNode& file = parent->children[leaf];
    file.directory = false;
    file.data = data;
    file.attributes = attributes;
    file.children.clear();
}

bool FakeSystem::FileExists(const std::string& path) const {
    const FileNode* node = FindNode(path);
    return node && !node->directory;
}

bool FakeSystem::DirectoryExists(const std::string& path) const {
    const FileNode* node = FindNode(path);
    return node && node->directory;
}

std::string FakeSystem::FileData(const std::string& path) const {
    const FileNode* node = FindNode(path);
    return node && !node->directory ? node->data : std::string();
}

uint32_t FakeSystem::FileAttributes(const std::string& path) const {
    const FileNode* node = FindNode(path);
    return node ? node->attributes : SYS_INVALID_FILE_ATTRIBUTES;
}

static void ListFiles(const FakeSystem::FileNode& node, const std::string& path, std::vector<std::string>* out) {
    for (const auto& child : node.children) {
        const std::string name = path + "\\" + child.first;
        out->push_back(child.second.directory ? name + "\\" : name);
        if (child.second.directory) ListFiles(child.second, name, out);
    }
}

std::vector<std::string> FakeSystem::FilesOn(char drive) const {
    std::vector<std::string> files;
    auto it = drives.find((char)toupper((unsigned char)drive));
    if (it != drives.end()) ListFiles(it->second.root, std::string(1, it->first) + ":", &files);
    return files;
}

std::string FakeSystem::Profile(const std::string& file, const std::string& section, const std::string& key) const {
    auto f = profiles.find(file);
    if (f == profiles.end()) return std::string();
    auto s = f->second.find(section);
    if (s == f->second.end()) return std::string();
    auto k = s->second.find(key);
    return k == s->second.end() ? std::string() : k->second;
}

bool FakeSystem::HasProfileKey(const std::string& file, const std::string& section, const std::string& key) const {
    auto f = profiles.find(file);
    if (f == profiles.end()) return false;
    auto s = f->second.find(section);
    return s != f->second.end() && s->second.count(key) != 0;
}

// ---- the record of calls ------------------------------------------------

bool FakeSystem::Log(const std::string& line) {
    calls.push_back(line);
    const std::string operation = line.substr(0, line.find(' '));
    if (failing_.count(operation)) return true;
    auto nth = failNth_.find(operation);
    if (nth != failNth_.end() && --nth->second == 0) {
        failNth_.erase(nth);
        return true;
    }
    return failAt_ != 0 && calls.size() == failAt_;
}

std::vector<std::string> FakeSystem::CallsOf(const std::string& operation) const {
    std::vector<std::string> found;
    for (const std::string& call : calls)
        if (call.compare(0, operation.size() + 1, operation + " ") == 0 || call == operation) found.push_back(call);
    return found;
}

static std::string Printable(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        if (c >= 32 && c < 127) {
            text += (char)c;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", c);
            text += hex;
        }
    }
    return text;
}

static void DumpKey(std::ostringstream& out, const FakeSystem::RegNode& node, const std::string& path) {
    out << "  [" << path << "]\n";
    for (const auto& value : node.values)
        out << "    \"" << value.first << "\" type " << value.second.type << " " << value.second.data.size()
            << " bytes \"" << Printable(value.second.data) << "\"\n";
    for (const auto& key : node.keys) DumpKey(out, key.second, path + "\\" + key.first);
}

static void DumpFiles(std::ostringstream& out, const FakeSystem::FileNode& node, const std::string& path) {
    for (const auto& child : node.children) {
        const std::string name = path + "\\" + child.first;
        if (child.second.directory) {
            out << "  " << name << "\\\n";
            DumpFiles(out, child.second, name);
        } else {
            char attributes[16];
            snprintf(attributes, sizeof attributes, "%#x", child.second.attributes);
            out << "  " << name << " (" << attributes << ") \"" << Printable(child.second.data) << "\"\n";
        }
    }
}

std::string FakeSystem::Dump() const {
    std::ostringstream out;
    out << "--- emulated machine ---\nregistry:\n";
    DumpKey(out, hklm, "HKLM");
    out << "files:\n";
    for (const auto& drive : drives) DumpFiles(out, drive.second.root, std::string(1, drive.first) + ":");
    out << "profiles:\n";
    for (const auto& file : profiles)
        for (const auto& section : file.second)
            for (const auto& key : section.second)
                out << "  " << file.first << " [" << section.first << "] " << key.first << "=\"" << key.second
                    << "\"\n";
    if (!holds_.empty()) out << "held for writing by other programs:\n";
    for (const auto& hold : holds_)
        out << "  " << hold.second.path
            << (hold.second.shareRead ? " (reading shared)" : " (nothing shared)") << "\n";
    out << "restart requests: " << restartRequests.size() << "\ncalls:\n";
    for (const std::string& call : calls) out << "  " << call << "\n";
    return out.str();
}

// ---- SystemServices -----------------------------------------------------

int FakeSystem::GetVersionExA(OsVersionInfoEx* info) {
    if (Log("GetVersionExA " + std::to_string(info->dwOSVersionInfoSize)) || versionFails) return 0;
    const uint32_t size = info->dwOSVersionInfoSize;
    if (size == 156 && !extendedAccepted) return 0;
    if (size != 156 && size != 148) return 0;
    OsVersionInfoEx filled = version;
    filled.dwOSVersionInfoSize = size;
    memcpy(info, &filled, size);
    return 1;
}

static std::string KeyName(RegKey key, const char* subKey) {
    char handle[32];
    snprintf(handle, sizeof handle, "%#lx", (unsigned long)(uintptr_t)key);
    return std::string((uintptr_t)key == kHklm ? "HKLM" : handle) + "\\" + (subKey ? subKey : "");
}

long FakeSystem::RegOpenKeyA(RegKey key, const char* subKey, RegKey* result) {
    *result = 0;
    if (Log("RegOpenKeyA " + KeyName(key, subKey))) return SYS_ERROR_ACCESS_DENIED;
    std::vector<std::string> path;
    if (!ResolveKey(key, subKey, &path)) return SYS_ERROR_INVALID_HANDLE;
    if (!FindKey(path)) return SYS_ERROR_FILE_NOT_FOUND;
    *result = NewHandle(path, 0xF003F);
    return SYS_ERROR_SUCCESS;
}

long FakeSystem::RegOpenKeyExA(RegKey key, const char* subKey, uint32_t options, uint32_t access, RegKey* result) {
    *result = 0;
    if (Log("RegOpenKeyExA " + KeyName(key, subKey) + " " + std::to_string(access))) return SYS_ERROR_ACCESS_DENIED;
    (void)options;
    std::vector<std::string> path;
    if (!ResolveKey(key, subKey, &path)) return SYS_ERROR_INVALID_HANDLE;
    if (!FindKey(path)) return SYS_ERROR_FILE_NOT_FOUND;
    *result = NewHandle(path, access);
    return SYS_ERROR_SUCCESS;
}

long FakeSystem::RegCreateKeyA(RegKey key, const char* subKey, RegKey* result) {
    *result = 0;
    if (Log("RegCreateKeyA " + KeyName(key, subKey))) return SYS_ERROR_ACCESS_DENIED;
    std::vector<std::string> path;
    if (!ResolveKey(key, subKey, &path)) return SYS_ERROR_INVALID_HANDLE;
    RegNode* node = &hklm;
    for (const std::string& part : path) node = &node->keys[part];
    *result = NewHandle(path, 0xF003F);
    return SYS_ERROR_SUCCESS;
}

long FakeSystem::RegQueryValueExA(RegKey key, const char* valueName, uint32_t* type, unsigned char* data,
                                  uint32_t* dataSize) {
    const std::string name = valueName ? valueName : "";
    if (Log("RegQueryValueExA " + name + (data ? " data" : " size"))) return SYS_ERROR_ACCESS_DENIED;
    auto open = openKeys_.find((uintptr_t)key);
    if (open == openKeys_.end()) return SYS_ERROR_INVALID_HANDLE;
    if (!(open->second.access & SYS_KEY_QUERY_VALUE)) return SYS_ERROR_ACCESS_DENIED;
    RegNode* node = FindKey(open->second.path);
    if (!node) return 1018;  // ERROR_KEY_DELETED
    auto it = node->values.find(name);
    if (it == node->values.end()) return SYS_ERROR_FILE_NOT_FOUND;
    const RegValue& value = it->second;
    if (data && !dataSize) return 87;  // ERROR_INVALID_PARAMETER
    if (type) *type = value.type;
    if (!dataSize) return SYS_ERROR_SUCCESS;
    const uint32_t needed = (uint32_t)value.data.size();
    if (data && *dataSize < needed) {
        *dataSize = needed;
        return SYS_ERROR_MORE_DATA;
    }
    if (data) memcpy(data, value.data.data(), needed);
    *dataSize = needed;
    return SYS_ERROR_SUCCESS;
}

long FakeSystem::RegSetValueExA(RegKey key, const char* valueName, uint32_t type, const unsigned char* data,
                                uint32_t dataSize) {
    const std::string name = valueName ? valueName : "";
    if (Log("RegSetValueExA " + name + " " + std::to_string(type) + " " + std::to_string(dataSize)))
        return SYS_ERROR_ACCESS_DENIED;
    auto open = openKeys_.find((uintptr_t)key);
    if (open == openKeys_.end()) return SYS_ERROR_INVALID_HANDLE;
    if (!(open->second.access & SYS_KEY_SET_VALUE)) return SYS_ERROR_ACCESS_DENIED;
    RegNode* node = FindKey(open->second.path);
    if (!node) return 1018;
    RegValue value = {type, std::string((const char*)data, dataSize)};
    node->values[name] = value;
    return SYS_ERROR_SUCCESS;
}

long FakeSystem::RegDeleteValueA(RegKey key, const char* valueName) {
    const std::string name = valueName ? valueName : "";
    if (Log("RegDeleteValueA " + name)) return SYS_ERROR_ACCESS_DENIED;
    auto open = openKeys_.find((uintptr_t)key);
    if (open == openKeys_.end()) return SYS_ERROR_INVALID_HANDLE;
    if (!(open->second.access & SYS_KEY_SET_VALUE)) return SYS_ERROR_ACCESS_DENIED;
    RegNode* node = FindKey(open->second.path);
    if (!node) return 1018;
    return node->values.erase(name) ? SYS_ERROR_SUCCESS : SYS_ERROR_FILE_NOT_FOUND;
}

long FakeSystem::RegDeleteKeyA(RegKey key, const char* subKey) {
    if (Log("RegDeleteKeyA " + KeyName(key, subKey))) return SYS_ERROR_ACCESS_DENIED;
    std::vector<std::string> path;
    if (!ResolveKey(key, subKey, &path)) return SYS_ERROR_INVALID_HANDLE;
    if (path.empty() || !subKey || !*subKey) return SYS_ERROR_ACCESS_DENIED;
    RegNode* node = FindKey(path);
    if (!node) return SYS_ERROR_FILE_NOT_FOUND;
    if (ntRegistry && !node->keys.empty()) return SYS_ERROR_ACCESS_DENIED;
    const std::string leaf = path.back();
    path.pop_back();
    FindKey(path)->keys.erase(leaf);
    return SYS_ERROR_SUCCESS;
}

long FakeSystem::RegCloseKey(RegKey key) {
    Log("RegCloseKey");
    return openKeys_.erase((uintptr_t)key) ? SYS_ERROR_SUCCESS : SYS_ERROR_INVALID_HANDLE;
}

int FakeSystem::lstrcmpiA(const char* a, const char* b) {
    Log(std::string("lstrcmpiA ") + a + " " + b);
    const int result = strcasecmp(a, b);
    return result < 0 ? -1 : result > 0 ? 1 : 0;
}

// A failure, or a buffer too small for the path and its zero, leaves the
// caller's buffer as it was.
uint32_t FakeSystem::GetSystemDirectoryA(char* buffer, uint32_t size) {
    if (Log("GetSystemDirectoryA " + std::to_string(size))) return 0;
    const uint32_t length = (uint32_t)systemDirectory.size();
    if (length + 1 > size) return length + 1;
    memcpy(buffer, systemDirectory.c_str(), length + 1);
    return length;
}

long FakeSystem::SHGetMalloc(ShellAllocator* allocator) {
    if (Log("SHGetMalloc")) return (long)(int32_t)0x80004005;  // E_FAIL
    *allocator = (ShellAllocator)(uintptr_t)0x5000;
    ++shellAllocations;
    return 0;
}

long FakeSystem::SHGetSpecialFolderLocation(void* owner, int folder, ItemIdList* list) {
    if (Log("SHGetSpecialFolderLocation " + std::to_string(folder))) return (long)(int32_t)0x80004005;
    (void)owner;
    if (folder != SYS_CSIDL_PROGRAMS) return (long)(int32_t)0x80070057;  // E_INVALIDARG
    *list = (ItemIdList)(uintptr_t)0x6000;
    ++shellAllocations;
    return 0;
}

int FakeSystem::SHGetPathFromIDListA(ItemIdList list, char* path) {
    if (Log("SHGetPathFromIDListA")) return 0;
    if ((uintptr_t)list != 0x6000 || programsFolder.size() >= 260) return 0;
    memcpy(path, programsFolder.c_str(), programsFolder.size() + 1);
    return 1;
}

void FakeSystem::ShellFree(ShellAllocator allocator, ItemIdList list) {
    Log("ShellFree");
    if ((uintptr_t)allocator == 0x5000 && (uintptr_t)list == 0x6000) --shellAllocations;
}

void FakeSystem::ShellRelease(ShellAllocator allocator) {
    Log("ShellRelease");
    if ((uintptr_t)allocator == 0x5000) --shellAllocations;
}

FileStream FakeSystem::fopen(const char* path, const char* mode) {
    if (Log(std::string("fopen ") + path + " " + mode)) return 0;
    const FileNode* node = FindNode(path);
    if (!node || node->directory || strcmp(mode, "r") != 0 || IsHeld(path, true)) return 0;
    const uintptr_t handle = nextHandle_;
    nextHandle_ += 4;
    openStreams_.insert(handle);
    return (FileStream)handle;
}

int FakeSystem::fclose(FileStream stream) {
    Log("fclose");
    return openStreams_.erase((uintptr_t)stream) ? 0 : -1;
}

int FakeSystem::CopyFileA(const char* existing, const char* newFile, int failIfExists) {
    if (Log(std::string("CopyFileA ") + existing + " -> " + newFile)) return 0;
    const FileNode* source = FindNode(existing);
    if (!source || source->directory || IsHeld(existing, true)) return 0;
    const FileNode copy = *source;
    std::string leaf;
    FileNode* parent = FindParent(newFile, &leaf);
    if (!parent) return 0;
    auto it = parent->children.find(leaf);
    if (it != parent->children.end()) {
        if (failIfExists || it->second.directory || (it->second.attributes & SYS_FILE_ATTRIBUTE_READONLY)) return 0;
        it->second.data = copy.data;
        it->second.attributes = copy.attributes;
        return 1;
    }
    parent->children[leaf] = copy;  // contents and attributes, read-only included
    return 1;
}

int FakeSystem::remove(const char* path) {
    if (Log(std::string("remove ") + path)) return -1;
    std::string leaf;
    FileNode* parent = FindParent(path, &leaf);
    if (!parent) return -1;
    auto it = parent->children.find(leaf);
    if (it == parent->children.end() || it->second.directory ||
        (it->second.attributes & SYS_FILE_ATTRIBUTE_READONLY) || IsHeld(path, false))
        return -1;
    parent->children.erase(it);
    return 0;
}

int FakeSystem::_mkdir(const char* path) {
    if (Log(std::string("_mkdir ") + path)) return -1;
    std::string leaf;
    FileNode* parent = FindParent(path, &leaf);
    if (!parent || parent->children.count(leaf)) return -1;
    FileNode& directory = parent->children[leaf];
    directory.directory = true;
    directory.attributes = 0x10;
    return 0;
}

int FakeSystem::_rmdir(const char* path) {
    if (Log(std::string("_rmdir ") + path)) return -1;
    std::string leaf;
    FileNode* parent = FindParent(path, &leaf);
    if (!parent) return -1;
    auto it = parent->children.find(leaf);
    if (it == parent->children.end() || !it->second.directory || !it->second.children.empty()) return -1;
    parent->children.erase(it);
    return 0;
}

int FakeSystem::SetFileAttributesA(const char* path, uint32_t attributes) {
    if (Log(std::string("SetFileAttributesA ") + path + " " + std::to_string(attributes))) return 0;
    FileNode* node = FindNode(path);
    if (!node) return 0;
    const uint32_t settable = attributes & 0x27;  // read-only, hidden, system, archive
    const uint32_t fileAttributes = settable ? settable : (uint32_t)SYS_FILE_ATTRIBUTE_NORMAL;
    node->attributes = node->directory ? (0x10 | settable) : fileAttributes;
    return 1;
}

uint32_t FakeSystem::GetFileAttributesA(const char* path) {
    if (Log(std::string("GetFileAttributesA ") + path)) return SYS_INVALID_FILE_ATTRIBUTES;
    return FileAttributes(path);
}

// The heap: a block a call, like LocalAlloc with LMEM_FIXED; an injected
// failure answers null, as Windows does when the heap is exhausted.
void* FakeSystem::LocalAlloc(uint32_t flags, uint32_t bytes) {
    if (Log("LocalAlloc " + std::to_string(flags) + " " + std::to_string(bytes))) return 0;
    void* block = malloc(bytes ? bytes : 1);
    if (block) heapBlocks_.insert(block);
    return block;
}

void* FakeSystem::LocalFree(void* memory) {
    Log("LocalFree");
    if (!heapBlocks_.erase(memory)) return memory;  // not a block of ours: Windows fails and returns it
    free(memory);
    return 0;
}

FakeSystem::~FakeSystem() {
    for (void* block : heapBlocks_) free(block);
}

uint32_t FakeSystem::GetLogicalDriveStringsA(uint32_t size, char* buffer) {
    if (Log("GetLogicalDriveStringsA " + std::to_string(size))) return 0;
    const uint32_t needed = (uint32_t)drives.size() * 4;
    if (needed + 1 > size) return needed + 1;
    char* out = buffer;
    for (const auto& drive : drives) {
        *out++ = lowerCaseDriveList ? (char)tolower((unsigned char)drive.first) : drive.first;
        *out++ = ':';
        *out++ = '\\';
        *out++ = 0;
    }
    *out = 0;
    return needed;
}

// The drive queries take a root with its drive letter: "d:\", or "d:"
// without the backslash, which Windows answers the same.
static bool IsDriveRoot(const char* root) { return root && strlen(root) >= 2 && root[1] == ':'; }

uint32_t FakeSystem::GetDriveTypeA(const char* root) {
    if (Log(std::string("GetDriveTypeA ") + root)) return SYS_DRIVE_UNKNOWN;
    if (!IsDriveRoot(root)) return SYS_DRIVE_NO_ROOT_DIR;
    auto it = drives.find((char)toupper((unsigned char)root[0]));
    return it == drives.end() ? (uint32_t)SYS_DRIVE_NO_ROOT_DIR : it->second.type;
}

int FakeSystem::GetDiskFreeSpaceA(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                                  uint32_t* freeClusters, uint32_t* totalClusters) {
    if (Log(std::string("GetDiskFreeSpaceA ") + root)) return 0;
    if (!IsDriveRoot(root)) return 0;
    auto it = drives.find((char)toupper((unsigned char)root[0]));
    if (it == drives.end() || it->second.freeSpaceFails) return 0;
    *sectorsPerCluster = it->second.sectorsPerCluster;
    *bytesPerSector = it->second.bytesPerSector;
    *freeClusters = it->second.freeClusters;
    *totalClusters = it->second.totalClusters;
    return 1;
}

int FakeSystem::WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                           const char* file) {
    if (Log(std::string("WritePrivateProfileStringA [") + (section ? section : "") + "] " + (key ? key : "") + "=" +
            (value ? value : "(null)") + " " + file))
        return 0;
    if (!section) return 0;
    auto& sections = profiles[file];
    if (!key) {
        sections.erase(section);
        return 1;
    }
    if (!value) {
        sections[section].erase(key);
        return 1;
    }
    while (*value == ' ' || *value == '\t') ++value;  // as Windows does, leading blanks are dropped
    sections[section][key] = value;
    return 1;
}

SysHandle FakeSystem::GetCurrentProcess() {
    Log("GetCurrentProcess");
    return (SysHandle)kProcess;
}

int FakeSystem::OpenProcessToken(SysHandle process, uint32_t access, SysHandle* token) {
    if (Log("OpenProcessToken " + std::to_string(access)) || !hasTokens || (uintptr_t)process != kProcess) return 0;
    *token = (SysHandle)kToken;
    return 1;
}

int FakeSystem::LookupPrivilegeValueA(const char* systemName, const char* name, SysLuid* luid) {
    if (Log(std::string("LookupPrivilegeValueA ") + (systemName ? systemName : "(null)") + " " + name) || !hasTokens)
        return 0;
    if (strcasecmp(name, "SeShutdownPrivilege") != 0) return 0;
    luid->LowPart = 19;
    luid->HighPart = 0;
    return 1;
}

int FakeSystem::AdjustTokenPrivileges(SysHandle token, int disableAll, const SysTokenPrivileges* newState,
                                      uint32_t bufferLength, SysTokenPrivileges* previousState,
                                      uint32_t* returnLength) {
    if (Log("AdjustTokenPrivileges " + std::to_string(disableAll) + " " + std::to_string(bufferLength)) ||
        (uintptr_t)token != kToken)
        return 0;
    adjustedPrivileges.push_back(*newState);
    if (previousState && bufferLength >= sizeof *previousState) {
        previousState->PrivilegeCount = 0;
        if (returnLength) *returnLength = 4;
    }
    return 1;
}

int FakeSystem::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
    if (Log("ExitWindowsEx " + std::to_string(flags) + " " + std::to_string(reserved))) return 0;
    restartRequests.push_back(flags);
    return exitWindowsResult;
}
