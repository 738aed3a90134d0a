// The restart that ends every successful install and uninstall. The NT family
// requires the shutdown privilege; on Windows 9x the token calls fail and the
// restart is requested all the same.
#include <string.h>

#include "setup/SetupState.h"
#include "setup/SystemChanges.h"

int RestartSystem() {
    SystemServices& sys = Services();
    SysHandle token = 0;
    sys.OpenProcessToken(sys.GetCurrentProcess(), SYS_TOKEN_ADJUST_PRIVILEGES | SYS_TOKEN_QUERY, &token);
    SysTokenPrivileges privileges;
    memset(&privileges, 0, sizeof privileges);
    sys.LookupPrivilegeValueA("", "SeShutdownPrivilege", &privileges.Luid);
    privileges.PrivilegeCount = 1;
    privileges.Attributes = SYS_SE_PRIVILEGE_ENABLED;
    SysTokenPrivileges previous;
    memset(&previous, 0, sizeof previous);
    uint32_t returnLength = 0;
    sys.AdjustTokenPrivileges(token, 0, &privileges, sizeof privileges, &previous, &returnLength);
    return sys.ExitWindowsEx(SYS_EWX_REBOOT, 0);
}
