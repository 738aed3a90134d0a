// Registry entries from which Windows loads the card's driver at boot.
#include <string.h>

#include "setup/SetupState.h"
#include "setup/SystemChanges.h"

static const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
static const char kNtServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\VNT";
static const char kVxdKey[] = "System\\CurrentControlSet\\Services\\VxD";
static const char kVxdEntryKey[] = "System\\CurrentControlSet\\Services\\VxD\\SKVXD";
static const char kVxdFile[] = "Scsikrn.vxd";

static void SetDword(SystemServices& sys, RegKey key, const char* name, uint32_t value) {
    unsigned char data[4] = {(unsigned char)value, (unsigned char)(value >> 8),
                             (unsigned char)(value >> 16), (unsigned char)(value >> 24)};
    sys.RegSetValueExA(key, name, SYS_REG_DWORD, data, 4);
}

// Opens parent with RegOpenKeyA, deletes its subkey, closes it.
static void DeleteSubKey(SystemServices& sys, const char* parent, const char* subKey) {
    RegKey key = 0;
    if (sys.RegOpenKeyA(SYS_HKEY_LOCAL_MACHINE, parent, &key) != 0) return;
    sys.RegDeleteKeyA(key, subKey);
    sys.RegCloseKey(key);
}

void RegisterNtDriverService() {
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegCreateKeyA(SYS_HKEY_LOCAL_MACHINE, kNtServiceKey, &key) != 0) return;
    SetDword(sys, key, "ErrorControl", 1);
    SetDword(sys, key, "Type", 1);
    SetDword(sys, key, "Start", 0);
    sys.RegCloseKey(key);
}

void UnregisterNtDriverService(const char* subKeyName) {
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegOpenKeyA(SYS_HKEY_LOCAL_MACHINE, kNtServiceKey, &key) == 0) {
        sys.RegDeleteValueA(key, "ErrorControl");
        sys.RegDeleteValueA(key, "Type");
        sys.RegDeleteValueA(key, "Start");
        sys.RegCloseKey(key);
    }
    DeleteSubKey(sys, kServicesKey, subKeyName);
}

void RegisterStaticVxd() {
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegCreateKeyA(SYS_HKEY_LOCAL_MACHINE, kVxdEntryKey, &key) != 0) return;
    const unsigned char start = 0;
    sys.RegSetValueExA(key, "Start", SYS_REG_BINARY, &start, 1);
    sys.RegSetValueExA(key, "StaticVxD", SYS_REG_SZ, (const unsigned char*)kVxdFile,
                       (uint32_t)strlen(kVxdFile) + 1);
    sys.RegCloseKey(key);
}

void UnregisterStaticVxd() {
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegOpenKeyA(SYS_HKEY_LOCAL_MACHINE, kVxdEntryKey, &key) == 0) {
        sys.RegDeleteValueA(key, "StaticVxD");
        sys.RegDeleteValueA(key, "Start");
        sys.RegCloseKey(key);
    }
    DeleteSubKey(sys, kVxdKey, "SKVXD");
}
