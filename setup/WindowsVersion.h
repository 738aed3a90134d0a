// Which Windows is running, as a WindowsKind code, and whether the product is
// installed. The rules are pure functions of what the gathering steps read.
//
// Codes: 0 not recognised or Win32s; 1 Windows 95; 2 Windows 98; 3 Windows ME;
// 6 Windows 95 OSR2; 7 Windows 98 SE; NT 4.0 (10), Windows 2000 (20) and
// Windows XP (30) plus an edition offset: +1 personal, +2 workstation,
// +3 server, +4 advanced server, +5 datacenter. kWindowsNtUnsupported marks
// an NT-family version the program does not support (5.2 and later, for one).
#ifndef SETUP_WINDOWSVERSION_H
#define SETUP_WINDOWSVERSION_H

#include <stdint.h>

enum {
    kWindowsUnknown = 0,
    kWindows95 = 1,
    kWindows98 = 2,
    kWindowsMe = 3,
    kWindows95Osr2 = 6,
    kWindows98Se = 7,
    kWindowsNt4 = 10,
    kWindows2000 = 20,
    kWindowsXp = 30,
    kWindowsNtUnsupported = 40
};

// What the classification reads of the version information. The two
// extended fields are 0 when only the plain record was obtained.
struct VersionRecord {
    bool obtained;
    bool extended;
    uint32_t platformId;
    uint32_t majorVersion;
    uint32_t minorVersion;
    char csdVersion[128];
    uint16_t suiteMask;
    uint8_t productType;
};

// Reads a registry text into buffer (size bytes, the zero included).
// Returns false when nothing was read.
typedef bool (*TextReader)(char* buffer, unsigned size);

// The classification rule. readProductType is consulted only for the NT
// family when the extended record was not obtained.
unsigned ClassifyVersionRecord(const VersionRecord& record, TextReader readProductType);

// The naming rule: the display text of code into name (40 bytes). For
// code 2 it reads the Windows version text and may turn *code into 3.
void NameWindowsKind(unsigned* code, TextReader readVersionText, char* name);

// Reads a text value under HKEY_LOCAL_MACHINE in four steps: open the key for
// querying, learn the value's size, read it into buffer, close the key. A
// value that does not fit the buffer with its zero counts as not read, and
// nothing is written past the buffer.
bool ReadRegistryText(const char* keyPath, const char* valueName, char* buffer, unsigned size);

// Sets WindowsKind from the version information. Returns 1 when a version
// record was obtained, 0 when both queries failed (WindowsKind stays as is).
int ClassifyWindows();

// The display text for WindowsKind; for Windows 98 it may turn the code into
// Windows ME. The text lives in a process-wide buffer.
const char* WindowsDisplayName();

// 1 when the installed marker HKLM\system\Veltrano Card exists, else 0.
int IsProductInstalled();

// The marker's key under HKEY_LOCAL_MACHINE, "system\Veltrano Card", and
// the same as messages name it, "HKLM\system\Veltrano Card".
extern const char* const kInstallMarkerKey;
extern const char kInstallMarkerEntry[];

#endif
