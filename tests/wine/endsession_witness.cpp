// Windows only. A program with a window of its own that writes down the
// end-of-session messages it receives, so a test can tell that a restart was
// really requested: argv[1] is the file it writes.
#include <stdio.h>
#include <windows.h>

static const char* g_file = "C:\\witness.txt";

static void Note(const char* line) {
    FILE* f = fopen(g_file, "a");
    if (!f) return;
    fprintf(f, "%s\n", line);
    fclose(f);
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYENDSESSION) {
        Note("WM_QUERYENDSESSION");
        return TRUE;
    }
    if (message == WM_ENDSESSION) {
        Note(wParam ? "WM_ENDSESSION TRUE" : "WM_ENDSESSION FALSE");
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char** argv) {
    if (argc > 1) g_file = argv[1];
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(0);
    windowClass.lpszClassName = "EndSessionWitness";
    RegisterClassA(&windowClass);
    CreateWindowA("EndSessionWitness", "witness", WS_OVERLAPPED, 0, 0, 10, 10, 0, 0, windowClass.hInstance, 0);
    Note("started");
    MSG msg;
    while (GetMessageA(&msg, 0, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
