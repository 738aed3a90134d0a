// Prints what GetVersionExA reports to this process, in the two record
// layouts, so the bench can tell what each emulated Windows looks like.
// Built as "Setup.exe" so the per-program version setting applies to it.
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main()
{
    OSVERSIONINFOEXA ex;
    memset(&ex, 0, sizeof ex);
    ex.dwOSVersionInfoSize = sizeof ex;
    BOOL okEx = GetVersionExA((OSVERSIONINFOA *)&ex);
    OSVERSIONINFOA plain;
    memset(&plain, 0, sizeof plain);
    plain.dwOSVersionInfoSize = sizeof plain;
    BOOL okPlain = GetVersionExA(&plain);
    printf("ex=%d plain=%d platform=%lu version=%lu.%lu build=%lu csd=\"%s\" type=%u suite=0x%x sp=%u.%u\n",
           okEx ? 1 : 0, okPlain ? 1 : 0, ex.dwPlatformId, ex.dwMajorVersion, ex.dwMinorVersion,
           ex.dwBuildNumber, ex.szCSDVersion, ex.wProductType, ex.wSuiteMask,
           ex.wServicePackMajor, ex.wServicePackMinor);
    return 0;
}
