#include "setup/WindowsVersion.h"

#include <string.h>

#include "setup/SetupState.h"

const char kInstallMarkerEntry[] = "HKLM\\system\\Veltrano Card";
const char* const kInstallMarkerKey = kInstallMarkerEntry + 5;

static const char kProductOptionsKey[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
static const char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
static const char kMillennium[] = "Windows Millennium Edition";

enum { kProductTypeSize = 80, kVersionTextSize = 40, kDisplayNameSize = 40 };

static unsigned NtEditionOffset(const VersionRecord& record, TextReader readProductType) {
    if (record.extended) {
        if (record.productType == SYS_VER_NT_WORKSTATION)
            return (record.suiteMask & SYS_VER_SUITE_PERSONAL) ? 1 : 2;
        if (record.productType == SYS_VER_NT_SERVER) {
            if (record.suiteMask & SYS_VER_SUITE_DATACENTER) return 5;
            if (record.suiteMask & SYS_VER_SUITE_ENTERPRISE) return 4;
            return 3;
        }
        return 0;
    }
    char text[kProductTypeSize] = {0};
    if (!readProductType(text, sizeof text)) return 0;
    SystemServices& sys = Services();
    if (sys.lstrcmpiA("WINNT", text) == 0) return 2;
    if (sys.lstrcmpiA("LANMANNT", text) == 0) return 3;
    if (sys.lstrcmpiA("SERVERNT", text) == 0) return 4;
    return 0;
}

unsigned ClassifyVersionRecord(const VersionRecord& record, TextReader readProductType) {
    const uint32_t major = record.majorVersion, minor = record.minorVersion;
    if (record.platformId == SYS_VER_PLATFORM_WIN32_WINDOWS) {
        const char letter = record.csdVersion[1];
        if (major == 4 && minor == 0) return (letter == 'C' || letter == 'B') ? kWindows95Osr2 : kWindows95;
        if (major == 4 && minor == 10) return letter == 'A' ? kWindows98Se : kWindows98;
        if (major == 4 && minor == 90) return kWindowsMe;
        return kWindowsUnknown;
    }
    if (record.platformId == SYS_VER_PLATFORM_WIN32_NT) {
        unsigned base;
        if (major <= 4) base = kWindowsNt4;
        else if (major == 5 && minor == 0) base = kWindows2000;
        else if (major == 5 && minor == 1) base = kWindowsXp;
        else return kWindowsNtUnsupported;  // never a 9x code, always refused
        return base + NtEditionOffset(record, readProductType);
    }
    return kWindowsUnknown;
}

struct DisplayName {
    unsigned code;
    const char* text;
};

static const DisplayName kDisplayNames[] = {
    {0, "Microsoft  Windows  32s"},
    {1, "Microsoft  Windows  95"},
    {3, "Windows Millennium Edition"},
    {6, "Microsoft  Windows  95 OSR2"},
    {7, "Microsoft  Windows  98 SE"},
    {10, "Windows  NT  "},
    {11, "Windows  NT  Personal"},
    {12, "Windows  NT  Workstation"},
    {13, "Windows  NT  Server"},
    {14, "Windows  NT  Advance Server"},
    {15, "Windows  NT  Datacenter Server"},
    {20, "Windows  2000  "},
    {21, "Windows  2000  Personal"},
    {22, "Windows  2000  Professional"},
    {23, "Windows  2000  Server"},
    {24, "Windows  2000  Advance Server"},
    {25, "Windows  2000  Datacenter Server"},
    {30, "Windows  XP  "},
    {31, "Windows  XP  Personal"},
    {32, "Windows  XP  Professional"},
    {33, "Windows  XP  Server"},
    {34, "Windows  XP  Advance Server"},
    {35, "Windows  XP  Datacenter Server"},
    {kWindowsNtUnsupported, "Windows  NT  (unsupported version)"},
};

void NameWindowsKind(unsigned* code, TextReader readVersionText, char* name) {
    name[0] = 0;
    if (*code == kWindows98) {
        char text[kVersionTextSize] = {0};
        if (readVersionText(text, sizeof text)) strcpy(name, text);
        if (Services().lstrcmpiA(kMillennium, name) == 0) *code = kWindowsMe;
    }
    for (unsigned i = 0; i < sizeof kDisplayNames / sizeof kDisplayNames[0]; ++i) {
        if (kDisplayNames[i].code == *code) {
            strcpy(name, kDisplayNames[i].text);
            return;
        }
    }
}

bool ReadRegistryText(const char* keyPath, const char* valueName, char* buffer, unsigned size) {
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegOpenKeyExA(SYS_HKEY_LOCAL_MACHINE, keyPath, 0, SYS_KEY_QUERY_VALUE, &key) != 0) return false;
    bool read = false;
    uint32_t type = 0, length = 0;
    if (sys.RegQueryValueExA(key, valueName, &type, 0, &length) == 0 && length <= size) {
        memset(buffer, 0, size);
        uint32_t got = length;
        read = sys.RegQueryValueExA(key, valueName, 0, (unsigned char*)buffer, &got) == 0 &&
               memchr(buffer, 0, size) != 0;  // a full buffer without its zero did not fit
    }
    sys.RegCloseKey(key);
    if (!read) memset(buffer, 0, size);
    return read;
}

static bool ReadProductType(char* buffer, unsigned size) {
    return ReadRegistryText(kProductOptionsKey, "ProductType", buffer, size);
}

static bool ReadVersionText(char* buffer, unsigned size) {
    return ReadRegistryText(kCurrentVersionKey, "Version", buffer, size);
}

int ClassifyWindows() {
    OsVersionInfoEx info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = 156;
    SystemServices& sys = Services();
    const bool extended = sys.GetVersionExA(&info) != 0;
    if (!extended) {
        info.dwOSVersionInfoSize = 148;
        if (!sys.GetVersionExA(&info)) return 0;
    }
    VersionRecord record;
    memset(&record, 0, sizeof record);
    record.obtained = true;
    record.extended = extended;
    record.platformId = info.dwPlatformId;
    record.majorVersion = info.dwMajorVersion;
    record.minorVersion = info.dwMinorVersion;
    memcpy(record.csdVersion, info.szCSDVersion, sizeof record.csdVersion);
    if (extended) {
        record.suiteMask = info.wSuiteMask;
        record.productType = info.wProductType;
    }
    WindowsKind = ClassifyVersionRecord(record, ReadProductType);
    return 1;
}

const char* WindowsDisplayName() {
    static char name[kDisplayNameSize];
    NameWindowsKind(&WindowsKind, ReadVersionText, name);
    return name;
}

int IsProductInstalled() {
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegOpenKeyA(SYS_HKEY_LOCAL_MACHINE, kInstallMarkerKey, &key) != 0) return 0;
    sys.RegCloseKey(key);
    return 1;
}
