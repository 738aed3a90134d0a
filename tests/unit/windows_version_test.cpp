#include <string>

#include "setup/SetupState.h"
#include "setup/WindowsVersion.h"
#include "tests/unit/SetupFixture.h"

namespace {

const char* g_productType = 0;  // what the registry reader hands the rule
int g_productTypeReads = 0;

bool FakeProductType(char* buffer, unsigned size) {
    ++g_productTypeReads;
    if (!g_productType) return false;
    strncpy(buffer, g_productType, size - 1);
    return true;
}

struct ClassifyCase {
    const char* what;
    uint32_t platform, major, minor;
    const char* csd;
    bool extended;
    uint8_t productType;
    uint16_t suite;
    const char* registryProductType;
    unsigned code;
};

const ClassifyCase kClassifyCases[] = {
    {"Win32s", 0, 3, 10, "", false, 0, 0, 0, 0},
    {"platform above 2", 3, 4, 0, "", true, 1, 0, 0, 0},
    {"95", 1, 4, 0, "", false, 0, 0, 0, 1},
    {"95 A at index 1", 1, 4, 0, " A ", false, 0, 0, 0, 1},
    {"95 lower-case b", 1, 4, 0, " b", false, 0, 0, 0, 1},
    {"95 one character", 1, 4, 0, "B", false, 0, 0, 0, 1},
    {"95 OSR2 B", 1, 4, 0, " B ", false, 0, 0, 0, 6},
    {"95 OSR2 C", 1, 4, 0, " C", false, 0, 0, 0, 6},
    {"98", 1, 4, 10, "", false, 0, 0, 0, 2},
    {"98 SE", 1, 4, 10, " A ", true, 0, 0, 0, 7},
    {"98 lower-case a", 1, 4, 10, " a ", false, 0, 0, 0, 2},
    {"ME", 1, 4, 90, " A ", false, 0, 0, 0, 3},
    {"9x 4.3", 1, 4, 3, "", false, 0, 0, 0, 0},
    {"9x 5.0", 1, 5, 0, "", false, 0, 0, 0, 0},
    {"NT 3.51 WinNT", 2, 3, 51, "", false, 0, 0, "WinNT", 12},
    {"NT 4 WinNT", 2, 4, 0, "Service Pack 3", false, 0, 0, "WinNT", 12},
    {"NT 4 LanmanNT", 2, 4, 0, "", false, 0, 0, "LanmanNT", 13},
    {"NT 4 ServerNT", 2, 4, 0, "", false, 0, 0, "SERVERNT", 14},
    {"NT 4 other text", 2, 4, 0, "", false, 0, 0, "Terminal", 10},
    {"NT 4 no text", 2, 4, 0, "", false, 0, 0, 0, 10},
    {"NT 4 SP6 workstation", 2, 4, 0, "Service Pack 6", true, 1, 0, 0, 12},
    {"NT 4 extended ignores registry", 2, 4, 0, "", true, 1, 0, "ServerNT", 12},
    {"2000 professional", 2, 5, 0, "", true, 1, 0, 0, 22},
    {"2000 personal bit", 2, 5, 0, "", true, 1, 0x200, 0, 21},
    {"2000 server", 2, 5, 0, "", true, 3, 0, 0, 23},
    {"2000 advanced server", 2, 5, 0, "", true, 3, 0x2, 0, 24},
    {"2000 datacenter wins", 2, 5, 0, "", true, 3, 0x82, 0, 25},
    {"2000 domain controller", 2, 5, 0, "", true, 2, 0, 0, 20},
    {"2000 plain record LanmanNT", 2, 5, 0, "", false, 0, 0, "lanmannt", 23},
    {"XP home", 2, 5, 1, "", true, 1, 0x300, 0, 31},
    {"XP professional", 2, 5, 1, "", true, 1, 0x100, 0, 32},
    {"XP domain controller", 2, 5, 1, "", true, 2, 0, 0, 30},
    {"XP datacenter", 2, 5, 1, "", true, 3, 0x80, 0, 35},
    {"Server 2003", 2, 5, 2, "", true, 3, 0, 0, kWindowsNtUnsupported},
    {"Windows 7 workstation", 2, 6, 1, "", true, 1, 0x100, 0, kWindowsNtUnsupported},
    {"NT 6.0 plain record", 2, 6, 0, "", false, 0, 0, "WinNT", kWindowsNtUnsupported},
};

class ClassifyTest : public SetupTest {};

TEST_F(ClassifyTest, RuleGivesTheCodeOfEveryRecord) {
    for (const ClassifyCase& c : kClassifyCases) {
        SCOPED_TRACE(c.what);
        VersionRecord record;
        memset(&record, 0, sizeof record);
        record.obtained = true;
        record.extended = c.extended;
        record.platformId = c.platform;
        record.majorVersion = c.major;
        record.minorVersion = c.minor;
        strcpy(record.csdVersion, c.csd);
        record.productType = c.productType;
        record.suiteMask = c.suite;
        g_productType = c.registryProductType;
        g_productTypeReads = 0;
        EXPECT_EQ(c.code, ClassifyVersionRecord(record, FakeProductType));
        if (c.extended || c.platform != 2) EXPECT_EQ(0, g_productTypeReads) << "registry read without need";
    }
}

struct NameCase {
    unsigned code;
    const char* name;
};

const NameCase kNames[] = {
    {0, "Microsoft  Windows  32s"},       {1, "Microsoft  Windows  95"},
    {3, "Windows Millennium Edition"},    {6, "Microsoft  Windows  95 OSR2"},
    {7, "Microsoft  Windows  98 SE"},     {10, "Windows  NT  "},
    {11, "Windows  NT  Personal"},        {12, "Windows  NT  Workstation"},
    {13, "Windows  NT  Server"},          {14, "Windows  NT  Advance Server"},
    {15, "Windows  NT  Datacenter Server"}, {20, "Windows  2000  "},
    {21, "Windows  2000  Personal"},      {22, "Windows  2000  Professional"},
    {23, "Windows  2000  Server"},        {24, "Windows  2000  Advance Server"},
    {25, "Windows  2000  Datacenter Server"}, {30, "Windows  XP  "},
    {31, "Windows  XP  Personal"},        {32, "Windows  XP  Professional"},
    {33, "Windows  XP  Server"},          {34, "Windows  XP  Advance Server"},
    {35, "Windows  XP  Datacenter Server"}, {4, ""},
    {9, ""},                              {17, ""},
    {28, ""},                             {36, ""},
    {kWindowsNtUnsupported, "Windows  NT  (unsupported version)"},
};

bool NoVersionText(char*, unsigned) {
    ADD_FAILURE() << "version text read for a code other than 2";
    return false;
}

TEST_F(ClassifyTest, DisplayNamesAreExact) {
    for (const NameCase& c : kNames) {
        SCOPED_TRACE(c.code);
        unsigned code = c.code;
        char name[40];
        memset(name, 'x', sizeof name);
        NameWindowsKind(&code, NoVersionText, name);
        EXPECT_EQ(std::string(c.name), name);
        EXPECT_EQ(c.code, code);
    }
}

struct Windows98Case {
    const char* stored;  // 0: no value
    const char* shown;
    unsigned code;
};

const Windows98Case k98Cases[] = {
    {"Windows 98", "Windows 98", 2},
    {"Windows Millennium Edition", "Windows Millennium Edition", 3},
    {"WINDOWS MILLENNIUM EDITION", "Windows Millennium Edition", 3},
    {"windows millennium edition", "Windows Millennium Edition", 3},
    {"Windows Millennium Edition ", "Windows Millennium Edition ", 2},
    {"", "", 2},
    {0, "", 2},
    {"123456789012345678901234567890123456789", "123456789012345678901234567890123456789", 2},  // 39 fit
    {"1234567890123456789012345678901234567890", "", 2},  // 40 do not
};

TEST_F(ClassifyTest, Windows98ShowsItsRegistryTextAndMayBecomeMillennium) {
    for (const Windows98Case& c : k98Cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(no value)");
        FakeSystem fresh;
        UseSystemServices(&fresh);
        fresh.CreateKey("Software\\Microsoft\\Windows\\CurrentVersion");
        if (c.stored) fresh.SetString("Software\\Microsoft\\Windows\\CurrentVersion", "Version", c.stored);
        WindowsKind = 2;
        EXPECT_EQ(std::string(c.shown), WindowsDisplayName());
        EXPECT_EQ(c.code, WindowsKind);
        EXPECT_EQ(0u, fresh.OpenKeyCount());
    }
    UseSystemServices(&sys);
}

TEST_F(ClassifyTest, VersionValueWithoutZeroThatFillsTheBufferIsNotRead) {
    sys.SetValue("Software\\Microsoft\\Windows\\CurrentVersion", "Version", SYS_REG_SZ,
                 std::string(40, 'W'));
    WindowsKind = 2;
    EXPECT_EQ(std::string(), WindowsDisplayName());
}

TEST_F(ClassifyTest, GatheringTriesTheExtendedRecordThenThePlainOne) {
    sys.SetVersion(SYS_VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 5");
    sys.extendedAccepted = false;
    sys.SetString("SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType", "LanmanNT");
    WindowsKind = 99;
    EXPECT_EQ(1, ClassifyWindows());
    EXPECT_EQ(13u, WindowsKind) << MACHINE;
    std::vector<std::string> expected = {"GetVersionExA 156", "GetVersionExA 148"};
    EXPECT_EQ(expected, sys.CallsOf("GetVersionExA"));
    EXPECT_EQ(0u, sys.OpenKeyCount());
}

TEST_F(ClassifyTest, ProductTypeTooLongForItsBufferCountsAsNotRead) {
    sys.SetVersion(SYS_VER_PLATFORM_WIN32_NT, 4, 0, "");
    sys.extendedAccepted = false;
    sys.SetValue("SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType", SYS_REG_SZ,
                 std::string("WinNT") + std::string(80, '\0'));
    EXPECT_EQ(1, ClassifyWindows());
    EXPECT_EQ(10u, WindowsKind);
}

// "ProductType" is read into 80 bytes: a value of 80 bytes is read when its
// zero is among them; without one, or with 81 bytes, it does not fit and is
// not read, so nothing is compared and the edition stays unknown.
TEST_F(ClassifyTest, ProductTypeAtTheEdgeOfItsBuffer) {
    const struct {
        const char* what;
        std::string bytes;
        unsigned code;
    } cases[] = {
        {"80 bytes with the zero inside", std::string("WinNT") + std::string(75, '\0'), 12},
        {"80 bytes without a zero", std::string("WinNT") + std::string(75, ' '), 10},
        {"81 bytes", std::string("WinNT") + std::string(76, '\0'), 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem fresh;
        UseSystemServices(&fresh);
        fresh.SetVersion(SYS_VER_PLATFORM_WIN32_NT, 4, 0, "");
        fresh.extendedAccepted = false;
        fresh.SetValue("SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType", SYS_REG_SZ, c.bytes);
        ClassifyWindows();
        EXPECT_EQ(c.code, WindowsKind) << fresh.Dump();
        EXPECT_EQ(c.code == 12, !fresh.CallsOf("lstrcmpiA").empty()) << "compared only when read";
    }
    UseSystemServices(&sys);
}

// A "Version" stored without its terminating zero still fits the 40-byte
// buffer when it is shorter: it is shown as stored.
TEST_F(ClassifyTest, VersionWithoutItsZeroIsShownAsStored) {
    const std::string texts[] = {"Windows 98", std::string(39, 'W')};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.size());
        FakeSystem fresh;
        UseSystemServices(&fresh);
        fresh.SetValue("Software\\Microsoft\\Windows\\CurrentVersion", "Version", SYS_REG_SZ, text);
        WindowsKind = 2;
        EXPECT_EQ(text, WindowsDisplayName()) << fresh.Dump();
    }
    UseSystemServices(&sys);
}

TEST_F(ClassifyTest, BothVersionQueriesFailing) {
    sys.versionFails = true;
    WindowsKind = 0;
    EXPECT_EQ(0, ClassifyWindows());
    EXPECT_EQ(0u, WindowsKind);
    EXPECT_EQ(std::string("Microsoft  Windows  32s"), WindowsDisplayName());
}

TEST_F(ClassifyTest, ExtendedRecordIsZeroFilledBeforeTheCall) {
    // The plain record does not fill the two extended fields: they must read 0.
    sys.SetVersion(SYS_VER_PLATFORM_WIN32_NT, 5, 0, "", SYS_VER_NT_SERVER, 0x80);
    sys.extendedAccepted = false;
    ClassifyWindows();
    EXPECT_EQ(20u, WindowsKind);
}

TEST_F(ClassifyTest, MarkerProbe) {
    EXPECT_EQ(0, IsProductInstalled());
    sys.CreateKey("SYSTEM\\Veltrano Card");
    EXPECT_EQ(1, IsProductInstalled());
    sys.SetString("SYSTEM\\Veltrano Card", "Some", "value");
    EXPECT_EQ(1, IsProductInstalled());
    EXPECT_EQ(0u, sys.OpenKeyCount());
    sys.FailOperation("RegOpenKeyA");
    EXPECT_EQ(0, IsProductInstalled());
}

}  // namespace
