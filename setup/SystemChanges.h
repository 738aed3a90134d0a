// The registry and system.ini changes that install makes and uninstall
// undoes. None of them shows anything. Only the driver registration reports
// a result, since without it Windows does not load the driver; the
// procedures go on whatever the others do.
#ifndef SETUP_SYSTEMCHANGES_H
#define SETUP_SYSTEMCHANGES_H

// Driver registration: the NT kernel-driver service VNT and the Windows 9x
// static VxD entry SKVXD. Their keys as messages name them:
extern const char kNtServiceEntry[];  // "HKLM\SYSTEM\CurrentControlSet\Services\VNT"
extern const char kVxdEntry[];        // "HKLM\System\CurrentControlSet\Services\VxD\SKVXD"
// Each returns true when the key and every one of its values were written.
bool RegisterNtDriverService();
bool RegisterStaticVxd();
// Deletes the three values of the VNT service (the key stays) and the named
// subkey ("NT5" or "VNT4") of SYSTEM\CurrentControlSet\Services. Returns
// true when none of the three values is left (or the key was never there);
// the named subkey, which install never writes, does not count.
bool UnregisterNtDriverService(const char* subKeyName);
// Deletes the SKVXD entry; returns true when it is gone or was never there.
bool UnregisterStaticVxd();

// Paging: moved to D: when D: is a fixed disk with more than 307200 KB free.
bool CanPageOnDriveD();
void RelocatePaging9x();
void ResetPaging9x();
void RelocatePagingNt();
void RestorePagingNt();

// The Windows 9x state-manager start entry, held aside while installed. The
// source value is deleted only after its copy has been written.
void SuspendStateManagerEntry();
void RestoreStateManagerEntry();

// Enables the shutdown privilege and requests a restart; returns the result
// of ExitWindowsEx.
int RestartSystem();

#endif
