// The contract tests over the in-memory Windows.
#include "tests/contract/ContractEnvironment.h"
#include "tests/fake/FakeSystem.h"

namespace {

class FakeEnvironment : public ContractEnvironment {
public:
    FakeEnvironment() : serial_(0) {
        fake_.UseNtFamily();
        fake_.currentDrive = 'C';
    }
    SystemServices& System() { return fake_; }
    std::string ScratchFolder() {
        const std::string folder = "C:\\contract-" + std::to_string(++serial_);
        fake_.MakeDirectory(folder);
        return folder;
    }
    void MakeFile(const std::string& path, const std::string& contents) { fake_.WriteFile(path, contents); }
    std::string FileContents(const std::string& path) {
        return fake_.FileExists(path) ? fake_.FileData(path) : "(missing)";
    }
    std::string ProfileString(const char* file, const char* section, const char* key) {
        return fake_.HasProfileKey(file, section, key) ? fake_.Profile(file, section, key) : "(missing)";
    }
    std::string ScratchKey() {
        const std::string key = "Software\\VeltranoContract\\t" + std::to_string(++serial_);
        fake_.CreateKey(key);
        return key;
    }
    int HoldForWriting(const std::string& path, bool shareRead) { return fake_.HoldForWriting(path, shareRead); }
    void ReleaseFile(int hold) { fake_.ReleaseFile(hold); }

private:
    FakeSystem fake_;
    int serial_;
};

}  // namespace

ContractEnvironment& Environment() {
    static FakeEnvironment environment;
    return environment;
}
