// Windows only: the contract tests over the Windows API (run under Wine on a
// throwaway prefix).
#include <windows.h>

#include <vector>

#include "platform/Win32SystemServices.h"
#include "tests/contract/ContractEnvironment.h"

namespace {

class Win32Environment : public ContractEnvironment {
public:
    Win32Environment() : serial_(0) { SetCurrentDirectoryA("C:\\"); }
    SystemServices& System() { return system_; }
    std::string ScratchFolder() {
        const std::string folder =
            "C:\\contract-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial_);
        CreateDirectoryA(folder.c_str(), 0);
        return folder;
    }
    void MakeFile(const std::string& path, const std::string& contents) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
        DWORD written = 0;
        WriteFile(file, contents.data(), (DWORD)contents.size(), &written, 0);
        CloseHandle(file);
    }
    std::string FileContents(const std::string& path) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
        if (file == INVALID_HANDLE_VALUE) return "(missing)";
        char buffer[4096];
        DWORD read = 0;
        ReadFile(file, buffer, sizeof buffer, &read, 0);
        CloseHandle(file);
        return std::string(buffer, read);
    }
    std::string ProfileString(const char* file, const char* section, const char* key) {
        char buffer[256];
        GetPrivateProfileStringA(section, key, "(missing)", buffer, sizeof buffer, file);
        return buffer;
    }
    std::string ScratchKey() {
        const std::string key = "Software\\VeltranoContract\\t" + std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(++serial_);
        HKEY created;
        RegCreateKeyA(HKEY_LOCAL_MACHINE, key.c_str(), &created);
        RegCloseKey(created);
        return key;
    }
    // Sharing is decided per handle, so a handle of this process stands for
    // another program's.
    int HoldForWriting(const std::string& path, bool shareRead) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, shareRead ? FILE_SHARE_READ : 0, 0, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, 0);
        if (file == INVALID_HANDLE_VALUE) return -1;
        holds_.push_back(file);
        return (int)holds_.size() - 1;
    }
    void ReleaseFile(int hold) {
        if (holds_[hold] != INVALID_HANDLE_VALUE) CloseHandle(holds_[hold]);
        holds_[hold] = INVALID_HANDLE_VALUE;
    }

private:
    Win32SystemServices system_;
    int serial_;
    std::vector<HANDLE> holds_;
};

}  // namespace

ContractEnvironment& Environment() {
    static Win32Environment environment;
    return environment;
}
