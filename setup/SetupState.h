// The process-wide state that the setup logic shares, and the SystemServices
// instance it runs on. Everything runs on the one user-interface thread, so
// none of it is guarded.
#ifndef SETUP_SETUPSTATE_H
#define SETUP_SETUPSTATE_H

#include "platform/SystemServices.h"

// The running Windows; see WindowsVersion.h for the codes. 0 until the dialog
// initialises, fixed from then on.
extern unsigned WindowsKind;

// The disk interface chosen in the dialog: 0 none yet, 1 IDE, 2 SCSI.
extern int HddInterface;

// Status of the setup procedures: 0 ok, -1 failed or refused. Only the
// procedures change it, only to -1, and nothing sets it back during a run.
extern int ErrorFlag;

// The four path buffers of the file deployment, each at most 255 characters
// and the terminating zero. Composing a file path on the system directory or
// the Programs folder changes that buffer in place.
enum { kFolderPathSize = 256 };
struct FolderPathBuffers {
    char source[kFolderPathSize];
    char destination[kFolderPathSize];
    char systemDirectory[kFolderPathSize];
    char programsFolder[kFolderPathSize];
};
extern FolderPathBuffers FolderPaths;

// The operating system that the setup logic runs on: the Win32 implementation
// in the program, a fake in the tests.
SystemServices& Services();
void UseSystemServices(SystemServices* services);

#endif
