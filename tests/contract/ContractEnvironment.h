// What the contract tests of SystemServices need besides the interface
// itself: a scratch folder on drive C: (the current drive), a way to create
// and read files and to hold one open as another program would, a registry
// key of their own under HKEY_LOCAL_MACHINE, and a way to read a profile
// back. One implementation over the fake, one over Windows.
#ifndef TESTS_CONTRACT_CONTRACTENVIRONMENT_H
#define TESTS_CONTRACT_CONTRACTENVIRONMENT_H

#include <string>

#include "platform/SystemServices.h"

class ContractEnvironment {
public:
    virtual SystemServices& System() = 0;
    // A fresh, empty folder such as "C:\contract-123"; C: is the current drive.
    virtual std::string ScratchFolder() = 0;
    virtual void MakeFile(const std::string& path, const std::string& contents) = 0;
    // The contents, or "(missing)".
    virtual std::string FileContents(const std::string& path) = 0;
    // A profile key in the Windows directory; "(missing)" when absent.
    virtual std::string ProfileString(const char* file, const char* section, const char* key) = 0;
    // Makes a fresh, empty key for one test; its path under HKLM.
    virtual std::string ScratchKey() = 0;
    // Opens an existing file for writing, as another program that is writing
    // it would, letting others read it meanwhile (shareRead) or sharing
    // nothing. The file stays open until ReleaseFile with the number returned;
    // -1 when it cannot be opened so.
    virtual int HoldForWriting(const std::string& path, bool shareRead) = 0;
    virtual void ReleaseFile(int hold) = 0;

protected:
    ~ContractEnvironment() {}
};

ContractEnvironment& Environment();

#endif
