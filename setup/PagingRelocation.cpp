// Moving Windows' paging file to drive D: and back. Windows 9x keeps the
// paging drive in system.ini, the NT family in the first byte of the
// registry value PagingFiles. Both take effect at the next start of Windows.
#include <string.h>

#include "setup/RegistryValue.h"
#include "setup/SetupState.h"
#include "setup/SystemChanges.h"

static const char kMemoryManagementKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
static const char kDriveD[] = "d:\\";

enum { kDriveListSize = 80, kFreeKbRequired = 307200 };

bool CanPageOnDriveD() {
    SystemServices& sys = Services();
    char drives[kDriveListSize];
    memset(drives, 0, sizeof drives);
    sys.GetLogicalDriveStringsA(kDriveListSize, drives);
    bool present = false;
    for (int i = 0; i + 1 < kDriveListSize && !present; ++i)
        present = (drives[i] == 'd' || drives[i] == 'D') && drives[i + 1] == ':';
    if (!present) return false;
    if (sys.GetDriveTypeA(kDriveD) != SYS_DRIVE_FIXED) return false;
    uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!sys.GetDiskFreeSpaceA(kDriveD, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return false;
    // 64 bits: the product of the three counts passes 32 bits from 4 GB free.
    const uint64_t freeKb = (uint64_t)bytesPerSector * sectorsPerCluster * freeClusters / 1024;
    return freeKb > kFreeKbRequired;
}

static void WritePagingKeys(const char* drive, const char* maxSize) {
    SystemServices& sys = Services();
    sys.WritePrivateProfileStringA("386Enh", "PagingDrive", drive, "system.ini");
    sys.WritePrivateProfileStringA("386Enh", "MaxPagingFileSize", maxSize, "system.ini");
}

void RelocatePaging9x() {
    if (CanPageOnDriveD()) WritePagingKeys("d:", "307200");
}

void ResetPaging9x() { WritePagingKeys(" ", " "); }

// Puts the first paging file on drive letter; only data that was read whole
// is ever written back, with the byte count it had.
static void SetFirstPagingDrive(char letter) {
    RegistryValue value;
    if (!value.Read(kMemoryManagementKey, "PagingFiles")) return;
    SystemServices& sys = Services();
    RegKey key = 0;
    if (sys.RegOpenKeyExA(SYS_HKEY_LOCAL_MACHINE, kMemoryManagementKey, 0, SYS_KEY_SET_VALUE, &key) != 0)
        return;
    value.Data()[0] = (unsigned char)letter;
    sys.RegSetValueExA(key, "PagingFiles", SYS_REG_MULTI_SZ, value.Data(), value.Size());
    sys.RegCloseKey(key);
}

void RelocatePagingNt() {
    if (CanPageOnDriveD()) SetFirstPagingDrive('D');
}

void RestorePagingNt() { SetFirstPagingDrive('C'); }
