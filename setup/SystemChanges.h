// The registry and system.ini changes that install makes and uninstall
// undoes. None of them reports a result or shows anything; the procedures go
// on whatever they do.
#ifndef SETUP_SYSTEMCHANGES_H
#define SETUP_SYSTEMCHANGES_H

// Driver registration: the NT kernel-driver service VNT and the Windows 9x
// static VxD entry SKVXD.
void RegisterNtDriverService();
// Deletes the three values of the VNT service (the key stays) and the named
// subkey ("NT5" or "VNT4") of SYSTEM\CurrentControlSet\Services.
void UnregisterNtDriverService(const char* subKeyName);
void RegisterStaticVxd();
void UnregisterStaticVxd();

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
