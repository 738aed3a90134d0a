#include <string>

#include "setup/FileDeployment.h"
#include "tests/unit/SetupFixture.h"

namespace {

class FileDeploymentTest : public SetupTest {
protected:
    int CopyFromMedium(const char* source, const char* path) {
        strcpy(FolderPaths.source, source);
        return CopyToPath(path);
    }
};

TEST_F(FileDeploymentTest, CopyResultSaysOnlyWhetherTheSourceExists) {
    PutMedium();
    sys.MakeDirectory("c:\\kmdrv");
    sys.WriteFile("c:\\kmdrv\\old.dat", "earlier install");
    const struct {
        const char* what;
        const char* source;
        const char* destination;
        int result;
        const char* after;  // destination contents afterwards, 0: no file
    } cases[] = {
        {"fresh copy", "\\Peek_B.exe", "c:\\kmdrv\\Peek_B.exe", 1, "medium Peek_B.exe"},
        {"destination kept", "\\QSPK2.DAT", "c:\\kmdrv\\old.dat", 1, "earlier install"},
        {"folder missing", "\\QSPK2.DAT", "c:\\nowhere\\x.dat", 1, 0},
        {"source missing", "\\absent.exe", "c:\\kmdrv\\absent.exe", 0, 0},
        {"source names ignore case", "\\nt\\VNT4.SYS", "c:\\kmdrv\\vnt4.sys", 1, "medium vnt4.sys"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t copies = sys.CallsOf("CopyFileA").size();
        EXPECT_EQ(c.result, CopyFromMedium(c.source, c.destination));
        EXPECT_EQ(copies + c.result, sys.CallsOf("CopyFileA").size()) << "CopyFileA only after the source opened";
        if (c.after)
            EXPECT_EQ(c.after, sys.FileData(c.destination)) << MACHINE;
        else
            EXPECT_FALSE(sys.FileExists(c.destination));
    }
    EXPECT_EQ(0u, sys.OpenStreamCount());
}

TEST_F(FileDeploymentTest, CompositionAppendsInPlaceAndChainsWithoutALookup) {
    PutMedium();
    strcpy(FolderPaths.source, "\\QSPK2.DAT");
    LoadSystemDirectory();
    EXPECT_EQ(1, CopyIntoFolder(FolderPaths.systemDirectory, "\\SCSIKRN.VXD"));
    EXPECT_STREQ("C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD", FolderPaths.systemDirectory);
    EXPECT_STREQ("C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD", FolderPaths.destination);
    CopyIntoFolder(FolderPaths.systemDirectory, "\\again");
    EXPECT_STREQ("C:\\WINDOWS\\SYSTEM\\SCSIKRN.VXD\\again", FolderPaths.systemDirectory);
    LoadSystemDirectory();
    EXPECT_STREQ("C:\\WINDOWS\\SYSTEM", FolderPaths.systemDirectory);
    const std::vector<std::string> asked = {"GetSystemDirectoryA 255", "GetSystemDirectoryA 255"};
    EXPECT_EQ(asked, sys.CallsOf("GetSystemDirectoryA"));
}

TEST_F(FileDeploymentTest, PathsThatDoNotFitAreNeverBuilt) {
    PutMedium();
    strcpy(FolderPaths.source, "\\98\\v98.vxd");
    const struct {
        size_t folderLength;
        int result;
    } cases[] = {{238, 1}, {239, 0}, {254, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folderLength);
        sys.systemDirectory = "C:\\" + std::string(c.folderLength - 3, 'S');
        sys.MakeDirectory(sys.systemDirectory + "\\iosubsys");
        LoadSystemDirectory();
        EXPECT_EQ(c.result, CopyIntoFolder(FolderPaths.systemDirectory, "\\iosubsys\\v98.vxd"));
        EXPECT_LE(strlen(FolderPaths.systemDirectory), 255u);
        EXPECT_EQ(c.result ? c.folderLength + 17 : c.folderLength, strlen(FolderPaths.systemDirectory));
        const size_t removes = sys.CallsOf("remove").size();
        LoadSystemDirectory();
        RemoveFromFolder(FolderPaths.systemDirectory, "\\iosubsys\\v98.vxd");
        EXPECT_EQ(removes + c.result, sys.CallsOf("remove").size()) << "a removal that does not fit is skipped";
    }
}

TEST_F(FileDeploymentTest, ProgramsFolderLookup) {
    LoadProgramsFolder();
    EXPECT_STREQ("C:\\WINDOWS\\Start Menu\\Programs", FolderPaths.programsFolder);
    EXPECT_EQ(0, sys.shellAllocations) << "the list is freed and the allocator released";
    const std::vector<std::string> order = {"SHGetMalloc", "SHGetSpecialFolderLocation 2", "SHGetPathFromIDListA",
                                            "ShellFree", "ShellRelease"};
    EXPECT_EQ(order, std::vector<std::string>(sys.calls.end() - 5, sys.calls.end()));
}

// As for the system directory, a failed lookup leaves no earlier composed
// path behind: the buffer is empty, which the procedures take as unknown.
TEST_F(FileDeploymentTest, FailedProgramsLookupEmptiesTheBuffer) {
    const char* steps[] = {"SHGetMalloc", "SHGetSpecialFolderLocation", "SHGetPathFromIDListA"};
    for (const char* step : steps) {
        SCOPED_TRACE(step);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        strcpy(FolderPaths.programsFolder, "C:\\before\\PeekBuff.exe");
        fresh.FailOperation(step);
        LoadProgramsFolder();
        EXPECT_STREQ("", FolderPaths.programsFolder);
        EXPECT_EQ(0, fresh.shellAllocations) << "whatever was acquired is given back";
    }
    UseSystemServices(&sys);
}

TEST_F(FileDeploymentTest, ProgramsFolderLongerThanTheBufferCountsAsFailed) {
    const struct {
        size_t length;
        const char* expected;
    } cases[] = {{255, 0}, {256, ""}, {259, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        strcpy(FolderPaths.programsFolder, "C:\\kept");
        sys.programsFolder = "C:\\" + std::string(c.length - 3, 'P');
        LoadProgramsFolder();
        EXPECT_EQ(c.expected ? std::string(c.expected) : sys.programsFolder, FolderPaths.programsFolder);
    }
}

// The primitive composes on whatever the buffer holds; the procedures never
// compose on an empty folder (install_test, uninstall_test).
TEST_F(FileDeploymentTest, WithoutAnyProgramsLookupTheCopyGoesToTheBareSuffix) {
    PutMedium();
    sys.FailOperation("SHGetSpecialFolderLocation");
    LoadProgramsFolder();
    strcpy(FolderPaths.source, "\\Peek_B.exe");
    EXPECT_EQ(1, CopyIntoFolder(FolderPaths.programsFolder, "\\PeekBuff.exe"));
    EXPECT_STREQ("\\PeekBuff.exe", FolderPaths.destination);
    EXPECT_TRUE(sys.FileExists("E:\\PeekBuff.exe"));
}

TEST_F(FileDeploymentTest, RemovalFromAnEmptyFolderTouchesNothing) {
    sys.WriteFile("E:\\PeekBuff.exe", "not ours", 0x21);
    RemoveFromFolder(FolderPaths.programsFolder, "\\PeekBuff.exe");
    EXPECT_EQ(0x21u, sys.FileAttributes("E:\\PeekBuff.exe")) << MACHINE;
    EXPECT_TRUE(sys.CallsOf("SetFileAttributesA").empty());
    EXPECT_TRUE(sys.CallsOf("remove").empty());
}

TEST_F(FileDeploymentTest, RemovalClearsTheReadOnlyAttributeFirst) {
    sys.WriteFile("c:\\kmdrv\\Peek_B.exe", "from a CD", 0x21);
    sys.WriteFile("c:\\kmdrv\\keep.txt", "not ours");
    RemoveInstalledFile("c:\\kmdrv\\Peek_B.exe");
    EXPECT_FALSE(sys.FileExists("c:\\kmdrv\\Peek_B.exe")) << MACHINE;
    RemoveInstalledFile("c:\\kmdrv\\absent.exe");  // nothing there: nothing happens
    EXPECT_EQ(-1, sys._rmdir(kDataDirectory));
    EXPECT_TRUE(sys.DirectoryExists("c:\\kmdrv")) << "a directory with a file in it stays";
}

TEST_F(FileDeploymentTest, DestinationCheckWantsAFile) {
    sys.MakeDirectory("c:\\kmdrv\\folder");
    sys.WriteFile("c:\\kmdrv\\file", "x");
    const struct {
        const char* path;
        bool exists;
    } cases[] = {{"c:\\kmdrv\\file", true}, {"C:\\KMDRV\\FILE", true}, {"c:\\kmdrv\\folder", false},
                 {"c:\\kmdrv\\absent", false}};
    for (const auto& c : cases) {
        strcpy(FolderPaths.destination, c.path);
        EXPECT_EQ(c.exists, DestinationFileExists()) << c.path;
    }
}

}  // namespace
