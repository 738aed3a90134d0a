// The Windows 9x state manager starts at boot from the value *StateMgr of
// RunServices. While the product is installed the value is held in
// HKLM\SYSTEM\Veltrano instead. Each move writes the copy first and deletes
// the source only when the copy was written, so the entry is never lost.
#include "setup/RegistryValue.h"
#include "setup/SetupState.h"
#include "setup/SystemChanges.h"

static const char kRunServicesKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunServices";
static const char kHoldingKey[] = "SYSTEM\\Veltrano";
static const char kEntry[] = "*StateMgr";

static bool WriteEntry(SystemServices& sys, RegKey key, RegistryValue& value) {
    const long result = sys.RegSetValueExA(key, kEntry, SYS_REG_SZ, value.Data(), value.Size());
    sys.RegCloseKey(key);
    return result == 0;
}

static void DeleteEntry(SystemServices& sys, const char* keyPath) {
    RegKey key = 0;
    if (sys.RegOpenKeyA(SYS_HKEY_LOCAL_MACHINE, keyPath, &key) != 0) return;
    sys.RegDeleteValueA(key, kEntry);
    sys.RegCloseKey(key);
}

void SuspendStateManagerEntry() {
    RegistryValue value;
    if (!value.Read(kRunServicesKey, kEntry)) return;
    SystemServices& sys = Services();
    RegKey held = 0;
    if (sys.RegCreateKeyA(SYS_HKEY_LOCAL_MACHINE, kHoldingKey, &held) != 0) return;
    if (!WriteEntry(sys, held, value)) return;
    DeleteEntry(sys, kRunServicesKey);
}

void RestoreStateManagerEntry() {
    RegistryValue value;
    if (!value.Read(kHoldingKey, kEntry)) return;
    SystemServices& sys = Services();
    RegKey runServices = 0;
    if (sys.RegOpenKeyExA(SYS_HKEY_LOCAL_MACHINE, kRunServicesKey, 0, SYS_KEY_SET_VALUE, &runServices) != 0)
        return;
    if (!WriteEntry(sys, runServices, value)) return;
    DeleteEntry(sys, kHoldingKey);
    RegKey system = 0;
    if (sys.RegOpenKeyA(SYS_HKEY_LOCAL_MACHINE, "SYSTEM", &system) != 0) return;
    sys.RegDeleteKeyA(system, "Veltrano");
    sys.RegCloseKey(system);
}
