// Stand-in for the Setup dialog, used to prove the bench on its own.
//
// It behaves like a small installer: Install turns the first screen into the
// IDE/SCSI choice; Next "installs": copies \QSPK2.DAT and \nt\vnt4.sys from
// the current drive to c:\kmdrv (a missing one stops it with an error box),
// registers a service key holding what the bench wants to see (the attributes
// of the source file, the types of D: and E:, the free space of a small D:), writes
// system.ini, creates the marker key, shows a question box and requests a
// restart. Uninstall undoes that, requests a restart and ends with 1002.
// With \shutdown.txt on the medium it asks for a shutdown instead of a
// restart. The version field shows what GetVersionExA reports ("platform
// major.minor type suite"), so the bench can check the emulated Windows.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

static const char kMarker[] = "system\\Veltrano Card";
static const char kService[] = "SYSTEM\\CurrentControlSet\\Services\\VNT";

static void Show(HWND dlg, int id, bool visible)
{
    ShowWindow(GetDlgItem(dlg, id), visible ? SW_SHOW : SW_HIDE);
}

static void Progress(HWND dlg, int pos)
{
    SendDlgItemMessageA(dlg, 1006, PBM_SETPOS, pos, 0);
}

static void RequestRestart()
{
    HANDLE token;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES tp;
        tp.PrivilegeCount = 1;
        LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &tp.Privileges[0].Luid);
        tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &tp, 0, NULL, NULL);
        CloseHandle(token);
    }
    bool shutdown = GetFileAttributesA("\\shutdown.txt") != INVALID_FILE_ATTRIBUTES;
    ExitWindowsEx(shutdown ? EWX_SHUTDOWN : EWX_REBOOT, 0);
}

static void InitFirstScreen(HWND dlg)
{
    Show(dlg, 1004, false);
    Show(dlg, 1005, false);
    Show(dlg, 1008, false);
    Show(dlg, 1006, false);
    Show(dlg, 1012, false);
    HKEY key;
    bool installed = RegOpenKeyA(HKEY_LOCAL_MACHINE, kMarker, &key) == ERROR_SUCCESS;
    if (installed)
        RegCloseKey(key);
    Show(dlg, installed ? 1001 : 1002, false);

    OSVERSIONINFOEXA v;
    memset(&v, 0, sizeof v);
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA((OSVERSIONINFOA *)&v);
    char text[64];
    snprintf(text, sizeof text, "%lu  %lu.%lu  %u 0x%x", v.dwPlatformId, v.dwMajorVersion,
             v.dwMinorVersion, v.wProductType, v.wSuiteMask);
    SetDlgItemTextA(dlg, 1010, "Windows Version :");
    SetDlgItemTextA(dlg, 1011, text);
    SendDlgItemMessageA(dlg, 1006, PBM_SETRANGE, 0, MAKELPARAM(0, 10));
    Progress(dlg, 0);
}

static void Install(HWND dlg)
{
    Show(dlg, 1004, false);
    Show(dlg, 1005, false);
    Show(dlg, 1006, true);
    Progress(dlg, 1);
    CreateDirectoryA("c:\\kmdrv", NULL);
    Progress(dlg, 2);
    if (!CopyFileA("\\QSPK2.DAT", "c:\\kmdrv\\QSPK2.DAT", FALSE) ||
        !CopyFileA("\\nt\\vnt4.sys", "c:\\kmdrv\\vnt4.sys", FALSE)) {
        MessageBoxA(dlg, "Soure File Tree not found", "Error", MB_ICONHAND);
        return;
    }
    Progress(dlg, 6);
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kService, &key) == ERROR_SUCCESS) {
        DWORD start = 1;
        RegSetValueExA(key, "Start", 0, REG_DWORD, (const BYTE *)&start, sizeof start);
        RegSetValueExA(key, "DisplayName", 0, REG_SZ, (const BYTE *)"VNT", 4);
        DWORD attributes = GetFileAttributesA("\\QSPK2.DAT");
        RegSetValueExA(key, "SourceAttributes", 0, REG_DWORD, (const BYTE *)&attributes, sizeof attributes);
        DWORD type = GetDriveTypeA("D:\\");
        RegSetValueExA(key, "DriveTypeD", 0, REG_DWORD, (const BYTE *)&type, sizeof type);
        type = GetDriveTypeA("E:\\");
        RegSetValueExA(key, "DriveTypeE", 0, REG_DWORD, (const BYTE *)&type, sizeof type);
        ULARGE_INTEGER avail, total, free;
        DWORD freeMb = GetDiskFreeSpaceExA("D:\\", &avail, &total, &free) ? (DWORD)(free.QuadPart >> 20) : 0;
        // Only a small D: is told in megabytes: the host's disk is not the
        // same from one run to the next.
        if (freeMb < 1024)
            RegSetValueExA(key, "FreeMbD", 0, REG_DWORD, (const BYTE *)&freeMb, sizeof freeMb);
        RegCloseKey(key);
    }
    WritePrivateProfileStringA("386Enh", "PagingDrive", "D:", "system.ini");
    Progress(dlg, 10);
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kMarker, &key) == ERROR_SUCCESS)
        RegCloseKey(key);
    MessageBoxA(dlg, "Install OK !! System will be restart .......", "Warning", MB_ICONQUESTION);
    RequestRestart();
}

static void Uninstall(HWND dlg)
{
    DeleteFileA("c:\\kmdrv\\QSPK2.DAT");
    DeleteFileA("c:\\kmdrv\\vnt4.sys");
    RemoveDirectoryA("c:\\kmdrv");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kService);
    WritePrivateProfileStringA("386Enh", "PagingDrive", " ", "system.ini");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMarker);
    MessageBoxA(dlg, "Uninstall OK !! System will be restart .......", "Warning", MB_ICONQUESTION);
    RequestRestart();
    EndDialog(dlg, 1002);
}

static INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM)
{
    if (msg == WM_INITDIALOG) {
        InitFirstScreen(dlg);
        return TRUE;
    }
    if (msg != WM_COMMAND || HIWORD(wp) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wp)) {
    case IDOK:
    case IDCANCEL:
        EndDialog(dlg, LOWORD(wp));
        return TRUE;
    case 1000:
        EndDialog(dlg, 1000);
        return TRUE;
    case 1001:
        Show(dlg, 1010, false);
        Show(dlg, 1011, false);
        Show(dlg, 1001, false);
        Show(dlg, 1004, true);
        Show(dlg, 1005, true);
        Show(dlg, 1012, true);
        SetDlgItemTextA(dlg, 1012, "Please select your HDD interface :");
        return TRUE;
    case 1004:
    case 1005:
        Show(dlg, 1008, true);
        Show(dlg, 1012, false);
        return TRUE;
    case 1008:
        Install(dlg);
        return TRUE;
    case 1002:
        Uninstall(dlg);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    INITCOMMONCONTROLSEX icc = { sizeof icc, ICC_PROGRESS_CLASS };
    InitCommonControlsEx(&icc);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(102), NULL, DialogProc, 0);
    return 0;
}
