// Registry entries from which Windows loads the card's driver at boot.
#include <string.h>

#include "setup/SetupState.h"
#include "setup/SystemChanges.h"

static const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
const char kNtServiceEntry[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\VNT";
const char kVxdEntry[] = "HKLM\\System\\CurrentControlSet\\Services\\VxD\\SKVXD";
// The same keys as the registry calls take them, under HKEY_LOCAL_MACHINE.
static const char* const kNtServiceKey = kNtServiceEntry + 5;
static const char* const kVxdEntryKey = kVxdEntry + 5;
static const char kVxdKey[] = "System\\CurrentControlSet\\Services\\VxD";
static const char kVxdFile[] = "Scsikrn.vxd";

static long SetDword(SystemServices& sys, RegKey key, const char* name, uint32_t value) {
    unsigned char data[4] = {(unsigned char)value, (unsigned char)(value >> 8),
                             (unsigned char)(value >> 16), (unsigned char)(value >> 24)};
    return sys.RegSetValueExA(key, name, SYS_REG_DWORD, data, 4);
}

// True for the result of a deletion after which the thing is not there.
static bool Gone(long result) { return result == SYS_ERROR_SUCCESS || result == SYS_ERROR_FILE_NOT_FOUND; }

// Opens parent with RegOpenKeyA, deletes its subkey, closes it; returns the
// failed open's result or the deletion's.
static long DeleteSubKey(SystemServices& sys, const char* parent, const char* subKey) {
    RegKey key = 0;
    long result = sys.RegOpenKeyA(SYS_HKEY_LOCAL_MACHINE, parent, &key);
    if (result != 0) return result;
    result = sys.RegDeleteKeyA(key, subKey);
    sys.RegCloseKey(key);
    return result;
}

// Every value is written even after one fails; the result says whether all were.
bool RegisterNtDriverService() {
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegCreateKeyA(SYS_HKEY_LOCAL_MACHINE, kNtServiceKey, &key) != 0) return false;
    long failed = SetDword(sys, key, "ErrorControl", 1);
    failed |= SetDword(sys, key, "Type", 1);
    failed |= SetDword(sys, key, "Start", 0);
    sys.RegCloseKey(key);
    return failed == 0;
}

bool UnregisterNtDriverService(const char* subKeyName) {
    SystemServices& sys = Services();
    RegKey key = 0;
    long result = sys.RegOpenKeyA(SYS_HKEY_LOCAL_MACHINE, kNtServiceKey, &key);
    if (result == 0) {
        // The results' bits together are 0 or ERROR_FILE_NOT_FOUND only when
        // each result is one of the two.
        result = sys.RegDeleteValueA(key, "ErrorControl");
        result |= sys.RegDeleteValueA(key, "Type");
        result |= sys.RegDeleteValueA(key, "Start");
        sys.RegCloseKey(key);
    }
    DeleteSubKey(sys, kServicesKey, subKeyName);
    return Gone(result);
}

bool RegisterStaticVxd() {
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegCreateKeyA(SYS_HKEY_LOCAL_MACHINE, kVxdEntryKey, &key) != 0) return false;
    const unsigned char start = 0;
    long failed = sys.RegSetValueExA(key, "Start", SYS_REG_BINARY, &start, 1);
    failed |= sys.RegSetValueExA(key, "StaticVxD", SYS_REG_SZ, (const unsigned char*)kVxdFile,
                                 (uint32_t)strlen(kVxdFile) + 1);
    sys.RegCloseKey(key);
    return failed == 0;
}

// The entry is gone when its key is: deleting the key takes its values with
// it, whether or not their own deletions succeeded.
bool UnregisterStaticVxd() {
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegOpenKeyA(SYS_HKEY_LOCAL_MACHINE, kVxdEntryKey, &key) == 0) {
        sys.RegDeleteValueA(key, "StaticVxD");
        sys.RegDeleteValueA(key, "Start");
        sys.RegCloseKey(key);
    }
    return Gone(DeleteSubKey(sys, kVxdKey, "SKVXD"));
}
