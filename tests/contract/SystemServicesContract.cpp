// The behaviour of SystemServices that the setup logic relies on, pinned as
// the Windows API shows it. The same tests run against the fake on Linux and
// against the Win32 implementation under Wine.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "tests/contract/ContractEnvironment.h"

namespace {

const RegKey HKLM = SYS_HKEY_LOCAL_MACHINE;

class ContractTest : public ::testing::Test {
protected:
    ContractTest() : sys(Environment().System()), env(Environment()) {}

    RegKey Open(const std::string& path, uint32_t access) {
        RegKey key = 0;
        EXPECT_EQ(0, sys.RegOpenKeyExA(HKLM, path.c_str(), 0, access, &key)) << path;
        return key;
    }
    long SetBytes(RegKey key, const char* name, uint32_t type, const std::string& bytes) {
        return sys.RegSetValueExA(key, name, type, (const unsigned char*)bytes.data(), (uint32_t)bytes.size());
    }

    SystemServices& sys;
    ContractEnvironment& env;
};

TEST_F(ContractTest, OpeningAMissingKeyFailsAndCreatesNothing) {
    const std::string base = env.ScratchKey();
    RegKey key = (RegKey)(uintptr_t)0xdeadbeef;
    EXPECT_EQ(SYS_ERROR_FILE_NOT_FOUND, sys.RegOpenKeyA(HKLM, (base + "\\absent").c_str(), &key));
    EXPECT_EQ(SYS_ERROR_FILE_NOT_FOUND,
              sys.RegOpenKeyExA(HKLM, (base + "\\absent").c_str(), 0, SYS_KEY_QUERY_VALUE, &key));
    EXPECT_EQ(SYS_ERROR_FILE_NOT_FOUND, sys.RegOpenKeyA(HKLM, (base + "\\absent").c_str(), &key));
}

TEST_F(ContractTest, CreateMakesTheWholePathAndNamesIgnoreCase) {
    const std::string base = env.ScratchKey();
    RegKey key = 0;
    ASSERT_EQ(0, sys.RegCreateKeyA(HKLM, (base + "\\One\\Two").c_str(), &key));
    ASSERT_EQ(0, SetBytes(key, "Value", SYS_REG_SZ, std::string("abc", 4)));
    sys.RegCloseKey(key);
    ASSERT_EQ(0, sys.RegCreateKeyA(HKLM, (base + "\\ONE\\two").c_str(), &key)) << "opens the existing key";
    uint32_t type = 0, size = 0;
    EXPECT_EQ(0, sys.RegQueryValueExA(key, "VALUE", &type, 0, &size));
    EXPECT_EQ((uint32_t)SYS_REG_SZ, type);
    EXPECT_EQ(4u, size);
    sys.RegCloseKey(key);
    std::string lower = base;
    for (char& c : lower) c = (char)tolower((unsigned char)c);
    EXPECT_EQ(0, sys.RegOpenKeyA(HKLM, (lower + "\\one\\TWO").c_str(), &key));
    sys.RegCloseKey(key);
}

struct ValueCase {
    const char* what;
    uint32_t type;
    std::string bytes;
};

TEST_F(ContractTest, ValuesKeepTheirTypeAndByteCount) {
    const ValueCase cases[] = {
        {"one binary byte", SYS_REG_BINARY, std::string(1, '\0')},
        {"text with its zero", SYS_REG_SZ, std::string("Scsikrn.vxd", 12)},
        {"dword", SYS_REG_DWORD, std::string("\x01\x00\x00\x00", 4)},
        {"multi-string", SYS_REG_MULTI_SZ, std::string("C:\\pagefile.sys 27 77\0E:\\p 1 2\0\0", 33)},
        {"zero bytes", SYS_REG_MULTI_SZ, std::string()},
        {"long text", SYS_REG_SZ, std::string(200, 'x') + std::string(1, '\0')},
    };
    const std::string base = env.ScratchKey();
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.what);
        RegKey key = 0;
        ASSERT_EQ(0, sys.RegCreateKeyA(HKLM, base.c_str(), &key));
        EXPECT_EQ(0, SetBytes(key, c.what, c.type, c.bytes));
        sys.RegCloseKey(key);

        key = Open(base, SYS_KEY_QUERY_VALUE);
        uint32_t type = 0xdeadbeef, size = 0xdeadbeef;
        EXPECT_EQ(0, sys.RegQueryValueExA(key, c.what, &type, 0, &size));
        EXPECT_EQ(c.type, type);
        ASSERT_EQ(c.bytes.size(), size);
        unsigned char buffer[256];
        memset(buffer, 0xEE, sizeof buffer);
        uint32_t got = size;
        EXPECT_EQ(0, sys.RegQueryValueExA(key, c.what, 0, buffer, &got));
        EXPECT_EQ(size, got);
        EXPECT_EQ(c.bytes, std::string((const char*)buffer, got));
        EXPECT_EQ(0xEE, buffer[got]) << "a byte past the value was written";
        sys.RegCloseKey(key);
    }
}

TEST_F(ContractTest, TooSmallBufferGivesMoreDataAndWritesNothingPastIt) {
    const std::string base = env.ScratchKey();
    RegKey key = 0;
    ASSERT_EQ(0, sys.RegCreateKeyA(HKLM, base.c_str(), &key));
    SetBytes(key, "Long", SYS_REG_BINARY, std::string(100, 'L'));
    unsigned char buffer[120];
    memset(buffer, 0xEE, sizeof buffer);
    uint32_t size = 80;
    EXPECT_EQ(SYS_ERROR_MORE_DATA, sys.RegQueryValueExA(key, "Long", 0, buffer, &size));
    EXPECT_EQ(100u, size) << "reports the size needed";
    for (int i = 80; i < 120; ++i) ASSERT_EQ(0xEE, buffer[i]) << "byte " << i;
    sys.RegCloseKey(key);
}

TEST_F(ContractTest, MissingValuesAndWrongAccess) {
    const std::string base = env.ScratchKey();
    RegKey key = Open(base, SYS_KEY_QUERY_VALUE);
    uint32_t type = 0, size = 0;
    EXPECT_EQ(SYS_ERROR_FILE_NOT_FOUND, sys.RegQueryValueExA(key, "absent", &type, 0, &size));
    EXPECT_EQ(SYS_ERROR_ACCESS_DENIED, SetBytes(key, "v", SYS_REG_SZ, std::string("x", 2)))
        << "a key opened for querying cannot be written";
    sys.RegCloseKey(key);

    key = Open(base, SYS_KEY_SET_VALUE);
    EXPECT_EQ(0, SetBytes(key, "v", SYS_REG_SZ, std::string("x", 2)));
    sys.RegCloseKey(key);

    ASSERT_EQ(0, sys.RegOpenKeyA(HKLM, base.c_str(), &key));
    EXPECT_EQ(0, sys.RegDeleteValueA(key, "V"));
    EXPECT_EQ(SYS_ERROR_FILE_NOT_FOUND, sys.RegDeleteValueA(key, "v"));
    sys.RegCloseKey(key);
}

TEST_F(ContractTest, DeletingKeys) {
    const std::string base = env.ScratchKey();
    RegKey key = 0;
    ASSERT_EQ(0, sys.RegCreateKeyA(HKLM, (base + "\\Parent\\Child").c_str(), &key));
    sys.RegCloseKey(key);
    ASSERT_EQ(0, sys.RegOpenKeyA(HKLM, base.c_str(), &key));
    EXPECT_NE(0, sys.RegDeleteKeyA(key, "Parent")) << "a key with subkeys is not deleted";
    EXPECT_EQ(SYS_ERROR_FILE_NOT_FOUND, sys.RegDeleteKeyA(key, "Absent"));
    EXPECT_EQ(0, sys.RegDeleteKeyA(key, "parent\\child")) << "a path names the key to delete";
    EXPECT_EQ(0, sys.RegDeleteKeyA(key, "Parent"));
    sys.RegCloseKey(key);
    EXPECT_EQ(SYS_ERROR_FILE_NOT_FOUND, sys.RegOpenKeyA(HKLM, (base + "\\Parent").c_str(), &key));
    // A key deleted from HKLM by its full path, as the installed marker is.
    ASSERT_EQ(0, sys.RegCreateKeyA(HKLM, (base + "\\Marker Key").c_str(), &key));
    sys.RegCloseKey(key);
    EXPECT_EQ(0, sys.RegDeleteKeyA(HKLM, (base + "\\marker key").c_str()));
    EXPECT_EQ(SYS_ERROR_FILE_NOT_FOUND, sys.RegOpenKeyA(HKLM, (base + "\\Marker Key").c_str(), &key));
}

TEST_F(ContractTest, CaseInsensitiveComparison) {
    EXPECT_EQ(0, sys.lstrcmpiA("Windows Millennium Edition", "WINDOWS MILLENNIUM EDITION"));
    EXPECT_EQ(0, sys.lstrcmpiA("WINNT", "WinNT"));
    EXPECT_NE(0, sys.lstrcmpiA("WINNT", "WinNT "));
    EXPECT_NE(0, sys.lstrcmpiA("LANMANNT", ""));
}

// Paths on the current drive, with no drive letter, as the medium's are.
std::string OnCurrentDrive(const std::string& path) { return path.substr(2); }

TEST_F(ContractTest, OpeningFilesForReading) {
    const std::string folder = env.ScratchFolder();
    env.MakeFile(folder + "\\Source.txt", "source");
    FileStream stream = sys.fopen(OnCurrentDrive(folder + "\\SOURCE.TXT").c_str(), "r");
    EXPECT_TRUE(stream != 0) << "a rooted path resolves on the current drive, ignoring case";
    if (stream) {
        EXPECT_EQ(0, sys.fclose(stream));
    }
    EXPECT_TRUE(sys.fopen((folder + "\\absent.txt").c_str(), "r") == 0);
}

// fopen "r" opens for reading and lets other programs read and write the
// file meanwhile; whether a stream comes back is all the setup logic uses.
TEST_F(ContractTest, OpeningForReadingFoldersReadOnlyAndBusyFiles) {
    const std::string folder = env.ScratchFolder();
    env.MakeFile(folder + "\\plain.txt", "plain");
    env.MakeFile(folder + "\\readonly.txt", "from a CD");
    ASSERT_NE(0, sys.SetFileAttributesA((folder + "\\readonly.txt").c_str(), SYS_FILE_ATTRIBUTE_READONLY));
    env.MakeFile(folder + "\\shared.txt", "being written");
    env.MakeFile(folder + "\\locked.txt", "being written");
    ASSERT_EQ(0, sys._mkdir((folder + "\\sub").c_str()));
    const int sharing = env.HoldForWriting(folder + "\\shared.txt", true);
    const int exclusive = env.HoldForWriting(folder + "\\locked.txt", false);
    ASSERT_GE(sharing, 0);
    ASSERT_GE(exclusive, 0);
    const struct {
        const char* what;
        std::string path;
        bool opens;
    } cases[] = {
        {"a plain file", folder + "\\plain.txt", true},
        {"a folder", folder + "\\sub", false},
        {"a read-only file", folder + "\\readonly.txt", true},
        {"a file being written by a program that shares reading", folder + "\\shared.txt", true},
        {"a file being written by a program that shares nothing", folder + "\\locked.txt", false},
        {"a path through a missing folder", folder + "\\absent\\plain.txt", false},
        {"a path through a file", folder + "\\plain.txt\\plain.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FileStream stream = sys.fopen(c.path.c_str(), "r");
        EXPECT_EQ(c.opens, stream != 0) << c.path;
        if (stream) {
            EXPECT_EQ(0, sys.fclose(stream));
        }
    }
    env.ReleaseFile(sharing);
    env.ReleaseFile(exclusive);
    FileStream stream = sys.fopen((folder + "\\locked.txt").c_str(), "r");
    EXPECT_TRUE(stream != 0) << "readable again once the writer has closed it";
    if (stream) sys.fclose(stream);
    sys.SetFileAttributesA((folder + "\\readonly.txt").c_str(), SYS_FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ContractTest, CopyingFiles) {
    const std::string folder = env.ScratchFolder();
    env.MakeFile(folder + "\\a.txt", "new");
    env.MakeFile(folder + "\\b.txt", "old");
    EXPECT_EQ(0, sys.CopyFileA((folder + "\\a.txt").c_str(), (folder + "\\B.TXT").c_str(), 1));
    EXPECT_EQ("old", env.FileContents(folder + "\\b.txt")) << "fail-if-exists keeps the file";
    EXPECT_NE(0, sys.CopyFileA((folder + "\\a.txt").c_str(), (folder + "\\c.txt").c_str(), 1));
    EXPECT_EQ("new", env.FileContents(folder + "\\c.txt"));
    EXPECT_EQ(0, sys.CopyFileA((folder + "\\a.txt").c_str(), (folder + "\\nofolder\\d.txt").c_str(), 1));
    EXPECT_EQ(SYS_INVALID_FILE_ATTRIBUTES, sys.GetFileAttributesA((folder + "\\nofolder\\d.txt").c_str()));
    EXPECT_EQ(0, sys.CopyFileA((folder + "\\absent").c_str(), (folder + "\\e.txt").c_str(), 1));
}

TEST_F(ContractTest, ReadOnlyFilesCopyReadOnlyAndResistRemoval) {
    const std::string folder = env.ScratchFolder();
    const std::string source = folder + "\\cd.txt", copy = folder + "\\copy.txt";
    env.MakeFile(source, "from a CD");
    ASSERT_NE(0, sys.SetFileAttributesA(source.c_str(), SYS_FILE_ATTRIBUTE_READONLY));
    ASSERT_NE(0, sys.CopyFileA(source.c_str(), copy.c_str(), 1));
    const uint32_t attributes = sys.GetFileAttributesA(copy.c_str());
    EXPECT_TRUE(attributes & SYS_FILE_ATTRIBUTE_READONLY) << std::hex << attributes;
    EXPECT_EQ(-1, sys.remove(copy.c_str()));
    EXPECT_EQ("from a CD", env.FileContents(copy));
    EXPECT_NE(0, sys.SetFileAttributesA(copy.c_str(), SYS_FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(0, sys.remove(copy.c_str()));
    EXPECT_EQ("(missing)", env.FileContents(copy));
    EXPECT_EQ(-1, sys.remove(copy.c_str())) << "removing a missing file fails";
    EXPECT_EQ(0, sys.SetFileAttributesA(copy.c_str(), SYS_FILE_ATTRIBUTE_NORMAL));
    sys.SetFileAttributesA(source.c_str(), SYS_FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ContractTest, Directories) {
    const std::string folder = env.ScratchFolder();
    const std::string data = folder + "\\kmdrv";
    EXPECT_EQ(0, sys._mkdir(data.c_str()));
    EXPECT_TRUE(sys.GetFileAttributesA(data.c_str()) & 0x10);
    env.MakeFile(data + "\\left.txt", "x");
    EXPECT_EQ(-1, sys._rmdir(data.c_str())) << "not empty";
    EXPECT_EQ(0, sys.remove((data + "\\left.txt").c_str()));
    EXPECT_EQ(0, sys._rmdir(data.c_str()));
    EXPECT_EQ(SYS_INVALID_FILE_ATTRIBUTES, sys.GetFileAttributesA(data.c_str()));
}

// remove, _mkdir and _rmdir answer exactly 0 or -1; these are the failures.
TEST_F(ContractTest, FileAndDirectoryFunctionsThatFail) {
    const std::string folder = env.ScratchFolder();
    env.MakeFile(folder + "\\readonly.txt", "from a CD");
    ASSERT_NE(0, sys.SetFileAttributesA((folder + "\\readonly.txt").c_str(), SYS_FILE_ATTRIBUTE_READONLY));
    env.MakeFile(folder + "\\file.txt", "x");
    ASSERT_EQ(0, sys._mkdir((folder + "\\full").c_str()));
    env.MakeFile(folder + "\\full\\left.txt", "x");
    ASSERT_EQ(0, sys._mkdir((folder + "\\empty").c_str()));
    const struct {
        const char* what;
        int (SystemServices::*call)(const char*);
        std::string path;
    } cases[] = {
        {"remove of a missing file", &SystemServices::remove, folder + "\\absent.txt"},
        {"remove of a read-only file", &SystemServices::remove, folder + "\\readonly.txt"},
        {"remove of a directory", &SystemServices::remove, folder + "\\empty"},
        {"remove through a missing folder", &SystemServices::remove, folder + "\\absent\\file.txt"},
        {"_mkdir of an existing directory", &SystemServices::_mkdir, folder + "\\empty"},
        {"_mkdir of an existing file's name", &SystemServices::_mkdir, folder + "\\file.txt"},
        {"_mkdir under a missing parent", &SystemServices::_mkdir, folder + "\\absent\\kmdrv"},
        {"_rmdir of a directory with a file", &SystemServices::_rmdir, folder + "\\full"},
        {"_rmdir of a missing directory", &SystemServices::_rmdir, folder + "\\absent"},
        {"_rmdir of a file", &SystemServices::_rmdir, folder + "\\file.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(-1, (sys.*c.call)(c.path.c_str())) << c.path;
    }
    EXPECT_EQ("from a CD", env.FileContents(folder + "\\readonly.txt"));
    EXPECT_EQ("x", env.FileContents(folder + "\\file.txt"));
    EXPECT_EQ("x", env.FileContents(folder + "\\full\\left.txt"));
    EXPECT_EQ(0x10u, sys.GetFileAttributesA((folder + "\\empty").c_str()) & 0x10) << "remove left the directory";
    EXPECT_EQ(SYS_INVALID_FILE_ATTRIBUTES, sys.GetFileAttributesA((folder + "\\absent").c_str()));
    sys.SetFileAttributesA((folder + "\\readonly.txt").c_str(), SYS_FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ContractTest, FileAndDirectoryFunctionsThatSucceed) {
    const std::string folder = env.ScratchFolder();
    env.MakeFile(folder + "\\file.txt", "x");
    EXPECT_EQ(0, sys.remove((folder + "\\FILE.TXT").c_str()));
    EXPECT_EQ("(missing)", env.FileContents(folder + "\\file.txt"));
    EXPECT_EQ(0, sys._mkdir((folder + "\\kmdrv").c_str()));
    EXPECT_EQ(0, sys._rmdir((folder + "\\KMDRV").c_str()));
    EXPECT_EQ(SYS_INVALID_FILE_ATTRIBUTES, sys.GetFileAttributesA((folder + "\\kmdrv").c_str()));
}

// A file that another program holds open: what the copy and the removal of
// the setup logic meet when the medium or an installed file is in use.
TEST_F(ContractTest, FilesHeldOpenByAWriter) {
    const std::string folder = env.ScratchFolder();
    env.MakeFile(folder + "\\shared.txt", "shared");
    env.MakeFile(folder + "\\locked.txt", "locked");
    const int sharing = env.HoldForWriting(folder + "\\shared.txt", true);
    const int exclusive = env.HoldForWriting(folder + "\\locked.txt", false);
    ASSERT_GE(sharing, 0);
    ASSERT_GE(exclusive, 0);
    EXPECT_EQ(-1, env.HoldForWriting(folder + "\\locked.txt", true)) << "a second writer is refused";
    EXPECT_EQ(-1, sys.remove((folder + "\\shared.txt").c_str()));
    EXPECT_EQ(-1, sys.remove((folder + "\\locked.txt").c_str()));
    EXPECT_NE(0, sys.CopyFileA((folder + "\\shared.txt").c_str(), (folder + "\\copy1.txt").c_str(), 1));
    EXPECT_EQ("shared", env.FileContents(folder + "\\copy1.txt"));
    EXPECT_EQ(0, sys.CopyFileA((folder + "\\locked.txt").c_str(), (folder + "\\copy2.txt").c_str(), 1));
    EXPECT_EQ("(missing)", env.FileContents(folder + "\\copy2.txt"));
    env.ReleaseFile(sharing);
    env.ReleaseFile(exclusive);
    EXPECT_EQ(0, sys.remove((folder + "\\locked.txt").c_str())) << "removable once closed";
}

TEST_F(ContractTest, SystemDirectoryAndProgramsFolder) {
    char buffer[300];
    memset(buffer, 0xEE, sizeof buffer);
    const uint32_t length = sys.GetSystemDirectoryA(buffer, 255);
    ASSERT_GT(length, 2u);
    ASSERT_LT(length, 255u);
    EXPECT_EQ(length, strlen(buffer));
    EXPECT_EQ(':', buffer[1]);

    ShellAllocator allocator = 0;
    ASSERT_GE(sys.SHGetMalloc(&allocator), 0);
    ItemIdList list = 0;
    ASSERT_GE(sys.SHGetSpecialFolderLocation(0, SYS_CSIDL_PROGRAMS, &list), 0);
    char path[260];
    memset(path, 0, sizeof path);
    EXPECT_NE(0, sys.SHGetPathFromIDListA(list, path));
    EXPECT_EQ(':', path[1]) << path;
    EXPECT_TRUE(sys.GetFileAttributesA(path) & 0x10) << path;
    sys.ShellFree(allocator, list);
    sys.ShellRelease(allocator);
}

// A buffer too small for the system directory and its zero: the result is
// the size needed, the zero included, and the buffer is left as it was.
TEST_F(ContractTest, SystemDirectoryThatDoesNotFitLeavesTheBuffer) {
    char whole[300];
    const uint32_t length = sys.GetSystemDirectoryA(whole, sizeof whole);
    ASSERT_GT(length, 3u);
    const uint32_t sizes[] = {0, 1, 3, length};
    for (uint32_t size : sizes) {
        SCOPED_TRACE(size);
        char buffer[300];
        memset(buffer, 0xEE, sizeof buffer);
        EXPECT_EQ(length + 1, sys.GetSystemDirectoryA(buffer, size));
        EXPECT_EQ(std::string(sizeof buffer, '\xEE'), std::string(buffer, sizeof buffer)) << "the buffer was written";
    }
    char exact[300];
    memset(exact, 0xEE, sizeof exact);
    EXPECT_EQ(length, sys.GetSystemDirectoryA(exact, length + 1)) << "room for the zero is enough";
    EXPECT_EQ(std::string(whole), std::string(exact));
    EXPECT_EQ('\xEE', exact[length + 1]);
}

// The roots of the drive queries: "c:\" as the Windows API reference asks,
// and "c:" without the backslash, which answers the same.
TEST_F(ContractTest, DriveRootsWithAndWithoutTheBackslash) {
    const char* roots[] = {"c:\\", "c:", "C:\\", "C:"};
    for (const char* root : roots) {
        SCOPED_TRACE(root);
        EXPECT_EQ((uint32_t)SYS_DRIVE_FIXED, sys.GetDriveTypeA(root));
        uint32_t spc = 0, bps = 0, freeClusters = 0, total = 0;
        EXPECT_NE(0, sys.GetDiskFreeSpaceA(root, &spc, &bps, &freeClusters, &total));
        EXPECT_GT(spc * bps, 0u);
        EXPECT_GT(total, 0u);
    }
    const char* noDrive[] = {"q:\\", "q:", "c"};
    for (const char* root : noDrive) {
        SCOPED_TRACE(root);
        EXPECT_EQ((uint32_t)SYS_DRIVE_NO_ROOT_DIR, sys.GetDriveTypeA(root));
        uint32_t spc = 0, bps = 0, freeClusters = 0, total = 0;
        EXPECT_EQ(0, sys.GetDiskFreeSpaceA(root, &spc, &bps, &freeClusters, &total));
    }
}

TEST_F(ContractTest, DriveList) {
    char buffer[120];
    memset(buffer, 0xEE, sizeof buffer);
    const uint32_t needed = sys.GetLogicalDriveStringsA(2, buffer);
    EXPECT_EQ(0xEE, (unsigned char)buffer[0]) << "a list that does not fit is not written";
    ASSERT_GT(needed, 4u);
    EXPECT_EQ(1u, needed % 4) << "4 bytes an entry and the closing zero";
    const uint32_t length = sys.GetLogicalDriveStringsA(sizeof buffer, buffer);
    EXPECT_EQ(needed - 1, length);
    bool sawC = false;
    for (uint32_t i = 0; i < length; i += 4) {
        EXPECT_EQ(':', buffer[i + 1]);
        EXPECT_EQ('\\', buffer[i + 2]);
        EXPECT_EQ(0, buffer[i + 3]);
        sawC = sawC || buffer[i] == 'C' || buffer[i] == 'c';
    }
    EXPECT_EQ(0, buffer[length]);
    EXPECT_TRUE(sawC);

    EXPECT_EQ((uint32_t)SYS_DRIVE_FIXED, sys.GetDriveTypeA("c:\\"));
    EXPECT_EQ((uint32_t)SYS_DRIVE_NO_ROOT_DIR, sys.GetDriveTypeA("q:\\"));
    uint32_t spc = 0, bps = 0, freeClusters = 0, total = 0;
    EXPECT_NE(0, sys.GetDiskFreeSpaceA("c:\\", &spc, &bps, &freeClusters, &total));
    EXPECT_GT(spc * bps, 0u);
    EXPECT_EQ(0, sys.GetDiskFreeSpaceA("q:\\", &spc, &bps, &freeClusters, &total));
}

TEST_F(ContractTest, ProfileStrings) {
    const char* file = "vcontract.ini";
    EXPECT_NE(0, sys.WritePrivateProfileStringA("386Enh", "PagingDrive", "d:", file));
    EXPECT_EQ("d:", env.ProfileString(file, "386Enh", "PagingDrive"));
    EXPECT_NE(0, sys.WritePrivateProfileStringA("386Enh", "PagingDrive", " ", file));
    EXPECT_EQ("", env.ProfileString(file, "386enh", "pagingdrive")) << "a single space is stored as empty";
    EXPECT_EQ("(missing)", env.ProfileString(file, "386Enh", "MaxPagingFileSize"));
}

TEST_F(ContractTest, VersionRecords) {
    OsVersionInfoEx info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = 156;
    EXPECT_NE(0, sys.GetVersionExA(&info));
    EXPECT_GE(info.dwPlatformId, 1u);
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = 148;
    EXPECT_NE(0, sys.GetVersionExA(&info));
    info.dwOSVersionInfoSize = 12;
    EXPECT_EQ(0, sys.GetVersionExA(&info)) << "a record of another size is refused";
}

TEST_F(ContractTest, ShutdownPrivilegeOnTheNtFamily) {
    SysHandle token = 0;
    EXPECT_NE(0, sys.OpenProcessToken(sys.GetCurrentProcess(), SYS_TOKEN_ADJUST_PRIVILEGES | SYS_TOKEN_QUERY, &token));
    SysTokenPrivileges privileges;
    memset(&privileges, 0, sizeof privileges);
    EXPECT_NE(0, sys.LookupPrivilegeValueA("", "SeShutdownPrivilege", &privileges.Luid));
    privileges.PrivilegeCount = 1;
    privileges.Attributes = SYS_SE_PRIVILEGE_ENABLED;
    SysTokenPrivileges previous;
    uint32_t length = 0;
    EXPECT_NE(0, sys.AdjustTokenPrivileges(token, 0, &privileges, sizeof privileges, &previous, &length));
}

}  // namespace
