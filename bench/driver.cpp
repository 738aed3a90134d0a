// bench-driver: drives the Setup dialog of another process from a script and
// checks what it shows. A console program on purpose: it owns no window, so a
// restart request (which ends every process that owns a window) leaves it
// running to see the end of the program under test.
//
// Usage: bench-driver <script>
// The script holds one command a line; blank lines and lines starting with
// '#' are skipped. Each command is printed with "ok" or "FAIL: <why>"; the
// first failure stops the run with exit code 1, otherwise the exit code is 0.
// Exit code 2: the script cannot be read.
//
//   start <exe> <working dir>        start the program, wait for its dialog
//   visible <id> / hidden <id>       visibility of a control
//   text <id> "<text>"               exact text of a control
//   checked <id> / unchecked <id>    check mark of a button
//   focus <id>                       the control has the keyboard focus
//   progress <pos>                   position of the progress bar 1006
//   range <lo> <hi>                  range of the progress bar 1006
//   click <id>                       click a shown, enabled button
//   key enter|escape|space           key press to the focused window
//   close                            the close button of the dialog
//   message "<caption>" "<text>" [hand|question]
//                                    wait for a message box, check, press OK
//   nomessage                        no message box is open
//   exits / alive                    the program ends / is still running
//   screenshot <file.bmp>            capture the dialog and its boxes
//   sleep <ms>
//
// Texts are double-quoted with \" and \\ as the only escapes; every other
// character, double blanks included, is taken as written. Bare words are
// taken literally (so E:\Setup.exe needs no quoting).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kProgressId = 1006;
const DWORD kStartTimeoutMs = 20000;
const int kStartAttempts = 5;
const DWORD kMessageTimeoutMs = 20000;
const DWORD kExitTimeoutMs = 20000;
const DWORD kPollMs = 3000;         // how long a check of state may wait
const UINT kSyncTimeoutMs = 5000;   // one round trip to the dialog's thread

struct Target {
    bool started = false;
    PROCESS_INFORMATION pi = {};
    HWND dialog = nullptr;
    DWORD thread = 0;
};

Target g_target;

// ---------------------------------------------------------------- texts

std::string Quote(const std::string &s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Splits a script line into words; quoted words keep their blanks.
bool Tokenize(const std::string &line, std::vector<std::string> &words, std::string &error)
{
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            return true;
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\') {
                    if (i >= line.size() || (line[i] != '"' && line[i] != '\\')) {
                        error = "bad escape in quoted text (only \\\" and \\\\ are known)";
                        return false;
                    }
                    c = line[i++];
                }
                word += c;
            }
            if (!closed) {
                error = "unterminated quoted text";
                return false;
            }
            if (i < line.size() && line[i] != ' ' && line[i] != '\t') {
                error = "text after a closing quote";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                word += line[i++];
        }
        words.push_back(word);
    }
}

bool ParseInt(const std::string &s, long &value)
{
    if (s.empty())
        return false;
    char *end = nullptr;
    value = strtol(s.c_str(), &end, 10);
    return *end == 0;
}

std::string ClassOf(HWND w)
{
    char name[256] = "";
    GetClassNameA(w, name, sizeof name);
    return name;
}

// ---------------------------------------------------------------- the dialog's thread

// One round trip to the dialog's thread: returns once that thread pumps
// messages again (its dialog loop, or the loop of a message box).
bool Sync(std::string &why)
{
    if (!g_target.dialog || !IsWindow(g_target.dialog)) {
        why = "the dialog is gone";
        return false;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(g_target.dialog, WM_NULL, 0, 0, SMTO_NORMAL, kSyncTimeoutMs, &result)) {
        why = IsWindow(g_target.dialog) ? "the dialog's thread did not answer within 5 s (busy or hung)"
                                        : "the dialog is gone";
        return false;
    }
    return true;
}

// A posted message (a click) is taken out of the queue only after the sent
// ones; three round trips make sure it has been dispatched and has either
// returned or reached a loop of its own (a message box).
bool Settle(std::string &why)
{
    for (int i = 0; i < 3; ++i)
        if (!Sync(why))
            return false;
    return true;
}

bool SendTimeout(HWND w, UINT msg, WPARAM wp, LPARAM lp, LRESULT &result)
{
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutA(w, msg, wp, lp, SMTO_NORMAL, kSyncTimeoutMs, &r))
        return false;
    result = static_cast<LRESULT>(r);
    return true;
}

// Text of a window of another process; WM_GETTEXT also reaches edit controls,
// whose text GetWindowText does not return.
bool ReadText(HWND w, std::string &text)
{
    LRESULT length = 0;
    if (!SendTimeout(w, WM_GETTEXTLENGTH, 0, 0, length))
        return false;
    std::vector<char> buf(static_cast<size_t>(length) + 2, 0);
    LRESULT copied = 0;
    if (!SendTimeout(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), copied))
        return false;
    text.assign(buf.data(), strnlen(buf.data(), buf.size()));
    return true;
}

bool Control(long id, HWND &w, std::string &why)
{
    if (!g_target.started) {
        why = "no program started";
        return false;
    }
    w = GetDlgItem(g_target.dialog, static_cast<int>(id));
    if (!w) {
        why = "the dialog has no control " + std::to_string(id);
        return false;
    }
    return true;
}

// Polls a check of state until it holds or kPollMs have passed; `check`
// returns true when it holds and otherwise describes what it found.
template <typename Check>
bool Poll(Check check, std::string &why, DWORD timeoutMs = kPollMs)
{
    DWORD begin = GetTickCount();
    while (true) {
        if (!Settle(why))
            return false;
        std::string found;
        if (check(found))
            return true;
        if (GetTickCount() - begin >= timeoutMs) {
            why = found;
            return false;
        }
        Sleep(50);
    }
}

// ---------------------------------------------------------------- windows of the program

struct FindDialog {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindDialogProc(HWND w, LPARAM lp)
{
    FindDialog *f = reinterpret_cast<FindDialog *>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != f->pid || !IsWindowVisible(w) || ClassOf(w) != "#32770")
        return TRUE;
    char title[64] = "";
    GetWindowTextA(w, title, sizeof title);
    if (strcmp(title, "Setup") != 0)
        return TRUE;
    f->found = w;
    return FALSE;
}

struct OwnedBoxes {
    HWND owner;
    bool visibleOnly;
    std::vector<HWND> boxes;
};

BOOL CALLBACK OwnedBoxesProc(HWND w, LPARAM lp)
{
    OwnedBoxes *o = reinterpret_cast<OwnedBoxes *>(lp);
    if (w != o->owner && GetWindow(w, GW_OWNER) == o->owner && ClassOf(w) == "#32770" &&
        (!o->visibleOnly || IsWindowVisible(w)))
        o->boxes.push_back(w);
    return TRUE;
}

std::vector<HWND> MessageBoxes(bool visibleOnly)
{
    OwnedBoxes o = { g_target.dialog, visibleOnly, {} };
    EnumWindows(OwnedBoxesProc, reinterpret_cast<LPARAM>(&o));
    return o.boxes;
}

struct OtherBox {
    DWORD pid;
    HWND dialog;
    HWND found;
};

BOOL CALLBACK OtherBoxProc(HWND w, LPARAM lp)
{
    OtherBox *o = reinterpret_cast<OtherBox *>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == o->pid && w != o->dialog && GetWindow(w, GW_OWNER) != o->dialog && IsWindowVisible(w) &&
        ClassOf(w) == "#32770") {
        o->found = w;
        return FALSE;
    }
    return TRUE;
}

// A visible #32770 window of the program that the dialog does not own (a
// message box with the wrong owner), or null.
HWND OtherBoxOfProgram()
{
    OtherBox o = { g_target.pi.dwProcessId, g_target.dialog, nullptr };
    EnumWindows(OtherBoxProc, reinterpret_cast<LPARAM>(&o));
    return o.found;
}

struct BoxStatics {
    std::vector<std::string> texts;
    std::vector<HWND> icons;
};

BOOL CALLBACK BoxStaticsProc(HWND w, LPARAM lp)
{
    BoxStatics *b = reinterpret_cast<BoxStatics *>(lp);
    if (_stricmp(ClassOf(w).c_str(), "Static") != 0 || !IsWindowVisible(w))
        return TRUE;
    LONG style = GetWindowLongA(w, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON) {
        b->icons.push_back(w);
        return TRUE;
    }
    std::string text;
    if (ReadText(w, text) && !text.empty())
        b->texts.push_back(text);
    return TRUE;
}

// ---------------------------------------------------------------- pixels

struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> bits;   // top-down, 0x00RRGGBB
};

HBITMAP MakeDib(HDC dc, int width, int height, void **bits)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

bool CaptureScreen(const RECT &r, Pixels &out)
{
    out.width = r.right - r.left;
    out.height = r.bottom - r.top;
    if (out.width <= 0 || out.height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    void *bits = nullptr;
    HBITMAP dib = MakeDib(screen, out.width, out.height, &bits);
    bool ok = false;
    if (dib) {
        HGDIOBJ old = SelectObject(mem, dib);
        ok = BitBlt(mem, 0, 0, out.width, out.height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) != 0;
        GdiFlush();
        const DWORD *p = static_cast<const DWORD *>(bits);
        out.bits.assign(p, p + out.width * out.height);
        SelectObject(mem, old);
        DeleteObject(dib);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

// How the icon looks when a static control of that size draws it over the
// background colour.
Pixels RenderIcon(HICON icon, int width, int height, DWORD background)
{
    Pixels out;
    out.width = width;
    out.height = height;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    void *bits = nullptr;
    HBITMAP dib = MakeDib(screen, width, height, &bits);
    if (dib) {
        HGDIOBJ old = SelectObject(mem, dib);
        HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xff, (background >> 8) & 0xff, background & 0xff));
        RECT all = { 0, 0, width, height };
        FillRect(mem, &all, brush);
        DeleteObject(brush);
        DrawIconEx(mem, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
        GdiFlush();
        const DWORD *p = static_cast<const DWORD *>(bits);
        out.bits.assign(p, p + width * height);
        SelectObject(mem, old);
        DeleteObject(dib);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return out;
}

// Share of pixels (0..1) that differ by more than a little in any channel.
double Difference(const Pixels &a, const Pixels &b)
{
    if (a.width != b.width || a.height != b.height || a.bits.empty())
        return 1.0;
    size_t differ = 0;
    for (size_t i = 0; i < a.bits.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            int ca = (a.bits[i] >> shift) & 0xff, cb = (b.bits[i] >> shift) & 0xff;
            if (abs(ca - cb) > 16) {
                ++differ;
                break;
            }
        }
    }
    return static_cast<double>(differ) / a.bits.size();
}

struct IconKind {
    const char *name;
    LPCSTR id;
};

const IconKind kIconKinds[] = {
    { "hand", IDI_HAND },
    { "question", IDI_QUESTION },
    { "exclamation", IDI_EXCLAMATION },
    { "asterisk", IDI_ASTERISK },
};

// Which system icon the icon control of a message box shows, told by its
// pixels on the screen: icon handles belong to their process, so the
// control's own handle cannot be compared with one loaded here.
bool RecogniseIcon(HWND iconControl, std::string &kind, std::string &detail)
{
    RECT client;
    if (!GetClientRect(iconControl, &client))
        return false;
    MapWindowPoints(iconControl, nullptr, reinterpret_cast<POINT *>(&client), 2);
    Pixels shown;
    if (!CaptureScreen(client, shown))
        return false;
    DWORD background = shown.bits[0];
    double best = 2.0, second = 2.0;
    char buf[200];
    detail.clear();
    for (const IconKind &k : kIconKinds) {
        HICON icon = LoadIconA(nullptr, k.id);
        double d = Difference(shown, RenderIcon(icon, shown.width, shown.height, background));
        snprintf(buf, sizeof buf, "%s%s %.0f%%", detail.empty() ? "" : ", ", k.name, d * 100);
        detail += buf;
        if (d < best) {
            second = best;
            best = d;
            kind = k.name;
        } else if (d < second) {
            second = d;
        }
    }
    detail = "pixels differing from the system icons: " + detail;
    // A match is a near copy of one icon and clearly closer than the others
    // (the question and information icons share their round shape).
    return best <= 0.02 && second >= best + 0.04;
}

bool WriteBmp(const char *path, const Pixels &p)
{
    FILE *f = fopen(path, "wb");
    if (!f)
        return false;
    int rowBytes = (p.width * 3 + 3) & ~3;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4d42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + rowBytes * p.height;
    ih.biSize = sizeof ih;
    ih.biWidth = p.width;
    ih.biHeight = p.height;   // bottom-up
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = rowBytes * p.height;
    bool ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&ih, sizeof ih, 1, f) == 1;
    std::vector<unsigned char> row(rowBytes, 0);
    for (int y = p.height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < p.width; ++x) {
            DWORD c = p.bits[y * p.width + x];
            row[x * 3] = c & 0xff;
            row[x * 3 + 1] = (c >> 8) & 0xff;
            row[x * 3 + 2] = (c >> 16) & 0xff;
        }
        ok = fwrite(row.data(), row.size(), 1, f) == 1;
    }
    return fclose(f) == 0 && ok;
}

// ---------------------------------------------------------------- commands

bool NeedArgs(const std::vector<std::string> &w, size_t lo, size_t hi, const char *usage, std::string &why)
{
    if (w.size() - 1 < lo || w.size() - 1 > hi) {
        why = std::string("usage: ") + usage;
        return false;
    }
    return true;
}

bool NeedId(const std::string &s, long &id, std::string &why)
{
    if (!ParseInt(s, id)) {
        why = "not a control id: " + Quote(s);
        return false;
    }
    return true;
}

bool NeedStarted(std::string &why)
{
    if (!g_target.started) {
        why = "no program started";
        return false;
    }
    return true;
}

bool CmdStart(const std::vector<std::string> &w, std::string &why)
{
    if (!NeedArgs(w, 2, 2, "start <exe> <working dir>", why))
        return false;
    if (g_target.started) {
        CloseHandle(g_target.pi.hProcess);
        CloseHandle(g_target.pi.hThread);
        g_target = Target();
    }
    std::string cmdline = "\"" + w[1] + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // Wine now and then refuses to create a process with ERROR_INTERNAL_ERROR
    // while the one before it is still being torn down; a missing program or
    // folder is reported at once, anything else is tried again a few times.
    DWORD error = 0;
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessA(w[1].c_str(), &cmdline[0], nullptr, nullptr, FALSE, 0, nullptr, w[2].c_str(), &si, &pi))
            break;
        error = GetLastError();
        bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                       error == ERROR_DIRECTORY || error == ERROR_INVALID_NAME;
        if (missing || attempt == kStartAttempts) {
            why = "CreateProcess of " + Quote(w[1]) + " in " + Quote(w[2]) + " failed with error " +
                  std::to_string(error) + " (" + std::to_string(attempt) + " attempt" + (attempt > 1 ? "s" : "") +
                  ")";
            return false;
        }
        Sleep(500);
    }
    g_target.started = true;
    g_target.pi = pi;
    DWORD begin = GetTickCount();
    while (true) {
        // Only a dialog of the process just started counts, and only once it
        // is up: shown and the active window of its thread, so that keys and
        // clicks reach it as they would reach it from a user.
        FindDialog f = { pi.dwProcessId, nullptr };
        EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&f));
        if (f.found) {
            g_target.dialog = f.found;
            g_target.thread = GetWindowThreadProcessId(f.found, nullptr);
            GUITHREADINFO gti = {};
            gti.cbSize = sizeof gti;
            if (!Settle(why))
                return false;
            if (GetGUIThreadInfo(g_target.thread, &gti) && gti.hwndActive == f.found)
                return true;
        }
        DWORD code = 0;
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            GetExitCodeProcess(pi.hProcess, &code);
            why = "expected a visible dialog \"Setup\" of class #32770; the program ended with exit code " +
                  std::to_string(code) + " without one";
            return false;
        }
        if (GetTickCount() - begin >= kStartTimeoutMs) {
            why = g_target.dialog ? "expected the dialog \"Setup\" to become the active window within 20 s; it did not"
                                  : "expected a visible dialog \"Setup\" of class #32770 within 20 s; none appeared";
            return false;
        }
        Sleep(50);
    }
}

bool CmdVisible(const std::vector<std::string> &w, bool wanted, std::string &why)
{
    long id;
    HWND c;
    if (!NeedArgs(w, 1, 1, wanted ? "visible <id>" : "hidden <id>", why) || !NeedId(w[1], id, why) ||
        !Control(id, c, why))
        return false;
    return Poll([&](std::string &found) {
        bool shown = IsWindowVisible(c) != 0;
        found = "expected control " + std::to_string(id) + (wanted ? " shown" : " hidden") + ", found it " +
                (shown ? "shown" : "hidden");
        return shown == wanted;
    }, why);
}

bool CmdText(const std::vector<std::string> &w, std::string &why)
{
    long id;
    HWND c;
    if (!NeedArgs(w, 2, 2, "text <id> \"<text>\"", why) || !NeedId(w[1], id, why) || !Control(id, c, why))
        return false;
    return Poll([&](std::string &found) {
        std::string text;
        if (!ReadText(c, text)) {
            found = "could not read the text of control " + std::to_string(id);
            return false;
        }
        found = "expected text " + Quote(w[2]) + " in control " + std::to_string(id) + ", found " + Quote(text);
        return text == w[2];
    }, why);
}

bool CmdChecked(const std::vector<std::string> &w, bool wanted, std::string &why)
{
    long id;
    HWND c;
    if (!NeedArgs(w, 1, 1, wanted ? "checked <id>" : "unchecked <id>", why) || !NeedId(w[1], id, why) ||
        !Control(id, c, why))
        return false;
    return Poll([&](std::string &found) {
        LRESULT state = 0;
        if (!SendTimeout(c, BM_GETCHECK, 0, 0, state)) {
            found = "BM_GETCHECK of control " + std::to_string(id) + " got no answer";
            return false;
        }
        const char *now = state == BST_CHECKED ? "checked" : state == BST_UNCHECKED ? "unchecked" : "indeterminate";
        found = "expected control " + std::to_string(id) + (wanted ? " checked" : " unchecked") + ", found it " + now;
        return wanted ? state == BST_CHECKED : state == BST_UNCHECKED;
    }, why);
}

bool CmdFocus(const std::vector<std::string> &w, std::string &why)
{
    long id;
    HWND c;
    if (!NeedArgs(w, 1, 1, "focus <id>", why) || !NeedId(w[1], id, why) || !Control(id, c, why))
        return false;
    return Poll([&](std::string &found) {
        GUITHREADINFO gti = {};
        gti.cbSize = sizeof gti;
        if (!GetGUIThreadInfo(g_target.thread, &gti)) {
            found = "GetGUIThreadInfo failed with error " + std::to_string(GetLastError());
            return false;
        }
        if (gti.hwndFocus == c)
            return true;
        char desc[160];
        if (!gti.hwndFocus)
            snprintf(desc, sizeof desc, "no window");
        else if (GetParent(gti.hwndFocus) == g_target.dialog)
            snprintf(desc, sizeof desc, "control %d", GetDlgCtrlID(gti.hwndFocus));
        else
            snprintf(desc, sizeof desc, "a window of class %s", ClassOf(gti.hwndFocus).c_str());
        found = "expected the keyboard focus on control " + std::to_string(id) + ", found it on " + desc;
        return false;
    }, why);
}

bool CmdProgress(const std::vector<std::string> &w, std::string &why)
{
    long pos;
    HWND c;
    if (!NeedArgs(w, 1, 1, "progress <pos>", why))
        return false;
    if (!ParseInt(w[1], pos)) {
        why = "not a number: " + Quote(w[1]);
        return false;
    }
    if (!Control(kProgressId, c, why))
        return false;
    return Poll([&](std::string &found) {
        LRESULT now = 0;
        if (!SendTimeout(c, PBM_GETPOS, 0, 0, now)) {
            found = "PBM_GETPOS got no answer";
            return false;
        }
        found = "expected progress position " + std::to_string(pos) + ", found " + std::to_string(now);
        return now == pos;
    }, why);
}

bool CmdRange(const std::vector<std::string> &w, std::string &why)
{
    long lo, hi;
    HWND c;
    if (!NeedArgs(w, 2, 2, "range <lo> <hi>", why))
        return false;
    if (!ParseInt(w[1], lo) || !ParseInt(w[2], hi)) {
        why = "not numbers: " + Quote(w[1]) + " " + Quote(w[2]);
        return false;
    }
    if (!Control(kProgressId, c, why))
        return false;
    return Poll([&](std::string &found) {
        // With no PBRANGE pointer (it would not cross processes) the answer
        // is the lower bound for TRUE and the upper one for FALSE.
        LRESULT nowLo = 0, nowHi = 0;
        if (!SendTimeout(c, PBM_GETRANGE, TRUE, 0, nowLo) || !SendTimeout(c, PBM_GETRANGE, FALSE, 0, nowHi)) {
            found = "PBM_GETRANGE got no answer";
            return false;
        }
        found = "expected progress range " + std::to_string(lo) + " to " + std::to_string(hi) + ", found " +
                std::to_string(nowLo) + " to " + std::to_string(nowHi);
        return nowLo == lo && nowHi == hi;
    }, why);
}

bool CmdClick(const std::vector<std::string> &w, std::string &why)
{
    long id;
    HWND c;
    if (!NeedArgs(w, 1, 1, "click <id>", why) || !NeedId(w[1], id, why) || !Control(id, c, why))
        return false;
    // Only what a user could click: a shown, enabled control of a dialog that
    // takes input (no message box over it).
    if (!Poll([&](std::string &found) {
            if (!IsWindowVisible(c))
                found = "cannot click control " + std::to_string(id) + ": it is hidden";
            else if (!IsWindowEnabled(c))
                found = "cannot click control " + std::to_string(id) + ": it is disabled";
            else if (!IsWindowEnabled(g_target.dialog))
                found = "cannot click control " + std::to_string(id) +
                        ": the dialog takes no input (a message box is open?)";
            else
                return true;
            return false;
        }, why))
        return false;
    // Posted, not sent: the click may run a whole procedure with message
    // boxes of its own, and the button's BM_CLICK handling sets the check
    // mark of an auto radio button as a mouse click does.
    if (!PostMessageA(c, BM_CLICK, 0, 0)) {
        why = "PostMessage BM_CLICK failed with error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

bool CmdKey(const std::vector<std::string> &w, std::string &why)
{
    if (!NeedArgs(w, 1, 1, "key enter|escape|space", why) || !NeedStarted(why))
        return false;
    UINT vk;
    if (w[1] == "enter")
        vk = VK_RETURN;
    else if (w[1] == "escape")
        vk = VK_ESCAPE;
    else if (w[1] == "space")
        vk = VK_SPACE;
    else {
        why = "unknown key " + Quote(w[1]) + " (known: enter, escape, space)";
        return false;
    }
    if (!Settle(why))
        return false;
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof gti;
    if (!GetGUIThreadInfo(g_target.thread, &gti)) {
        why = "GetGUIThreadInfo failed with error " + std::to_string(GetLastError());
        return false;
    }
    if (!gti.hwndFocus) {
        why = "no window of the dialog's thread has the keyboard focus";
        return false;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(gti.hwndFocus, &pid);
    if (pid != g_target.pi.dwProcessId) {
        why = "the keyboard focus of the dialog's thread is on a window that is not the program's";
        return false;
    }
    UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (1L << 30) | (1L << 31);
    if (!PostMessageA(gti.hwndFocus, WM_KEYDOWN, vk, down)) {
        why = "PostMessage of the key failed with error " + std::to_string(GetLastError());
        return false;
    }
    // The press alone may end the dialog (Escape, Enter) before the release
    // is posted: the program runs on while this one posts. A release then
    // has no window left to go to, as from a keyboard.
    if (!PostMessageA(gti.hwndFocus, WM_KEYUP, vk, up) && IsWindow(gti.hwndFocus)) {
        why = "PostMessage of the key's release failed with error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

bool CmdClose(const std::vector<std::string> &w, std::string &why)
{
    if (!NeedArgs(w, 0, 0, "close", why) || !NeedStarted(why) || !Settle(why))
        return false;
    if (!PostMessageA(g_target.dialog, WM_SYSCOMMAND, SC_CLOSE, 0)) {
        why = "PostMessage WM_SYSCOMMAND failed with error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

bool CmdMessage(const std::vector<std::string> &w, std::string &why)
{
    if (!NeedArgs(w, 2, 3, "message \"<caption>\" \"<text>\" [hand|question]", why) || !NeedStarted(why))
        return false;
    const std::string &caption = w[1], &text = w[2];
    std::string icon = w.size() > 3 ? w[3] : "";
    if (!icon.empty() && icon != "hand" && icon != "question") {
        why = "unknown icon kind " + Quote(icon) + " (known: hand, question)";
        return false;
    }
    HWND box = nullptr;
    DWORD begin = GetTickCount();
    while (!box) {
        if (!Settle(why))
            return false;
        std::vector<HWND> boxes = MessageBoxes(true);
        if (boxes.size() > 1) {
            why = "expected one message box " + Quote(caption) + ", found " + std::to_string(boxes.size()) + " open";
            return false;
        }
        if (boxes.size() == 1)
            box = boxes[0];
        else if (GetTickCount() - begin >= kMessageTimeoutMs) {
            why = "expected a message box " + Quote(caption) + " " + Quote(text) + " within 20 s; none appeared";
            HWND other = OtherBoxOfProgram();
            if (other) {
                std::string otherCaption;
                ReadText(other, otherCaption);
                why += " owned by the dialog, but the program shows " + Quote(otherCaption) + " without that owner";
            }
            return false;
        }
        else
            Sleep(50);
    }
    std::string shownCaption;
    BoxStatics statics;
    if (!ReadText(box, shownCaption)) {
        why = "could not read the caption of the message box";
        return false;
    }
    EnumChildWindows(box, BoxStaticsProc, reinterpret_cast<LPARAM>(&statics));
    std::string shownText;
    for (size_t i = 0; i < statics.texts.size(); ++i)
        shownText += (i ? " | " : "") + statics.texts[i];
    if (shownCaption != caption || statics.texts.size() != 1 || shownText != text) {
        why = "expected message box " + Quote(caption) + " " + Quote(text) + ", found " + Quote(shownCaption) +
              " " + (statics.texts.size() == 1 ? Quote(shownText)
                                               : std::to_string(statics.texts.size()) + " texts: " + shownText);
        return false;
    }
    if (!icon.empty()) {
        if (statics.icons.size() != 1) {
            why = "expected the " + icon + " icon in the message box, found " + std::to_string(statics.icons.size()) +
                  " icon controls";
            return false;
        }
        std::string kind, detail;
        bool recognised = false;
        // The box may not have painted yet: look again for a while.
        DWORD iconBegin = GetTickCount();
        while (true) {
            if (!Settle(why))
                return false;
            recognised = RecogniseIcon(statics.icons[0], kind, detail);
            if ((recognised && kind == icon) || GetTickCount() - iconBegin >= kPollMs)
                break;
            Sleep(100);
        }
        if (!recognised || kind != icon) {
            why = "expected the " + icon + " icon in the message box, found " +
                  (recognised ? "the " + kind + " icon" : std::string("no system icon")) + " (" + detail + ")";
            return false;
        }
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    begin = GetTickCount();
    while (IsWindow(box)) {
        if (GetTickCount() - begin >= kPollMs) {
            why = "the message box did not close on IDOK";
            return false;
        }
        Sleep(20);
    }
    return true;
}

bool CmdNoMessage(const std::vector<std::string> &w, std::string &why)
{
    if (!NeedArgs(w, 0, 0, "nomessage", why) || !NeedStarted(why) || !Settle(why))
        return false;
    // Hidden ones count too: a box being created is not shown yet.
    std::vector<HWND> boxes = MessageBoxes(false);
    if (boxes.empty())
        return true;
    std::string caption;
    ReadText(boxes[0], caption);
    BoxStatics statics;
    EnumChildWindows(boxes[0], BoxStaticsProc, reinterpret_cast<LPARAM>(&statics));
    why = "expected no message box, found " + Quote(caption) + " " +
          (statics.texts.empty() ? std::string("(no text)") : Quote(statics.texts[0]));
    return false;
}

bool CmdExits(const std::vector<std::string> &w, std::string &why)
{
    if (!NeedArgs(w, 0, 0, "exits", why) || !NeedStarted(why))
        return false;
    if (WaitForSingleObject(g_target.pi.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0) {
        why = "expected the program to end within 20 s, it is still running";
        std::vector<HWND> boxes = MessageBoxes(true);
        if (!boxes.empty()) {
            std::string caption;
            ReadText(boxes[0], caption);
            why += " with a message box " + Quote(caption) + " open";
        }
        return false;
    }
    return true;
}

bool CmdAlive(const std::vector<std::string> &w, std::string &why)
{
    if (!NeedArgs(w, 0, 0, "alive", why) || !NeedStarted(why))
        return false;
    std::string ignored;
    Settle(ignored);
    if (WaitForSingleObject(g_target.pi.hProcess, 0) != WAIT_TIMEOUT) {
        DWORD code = 0;
        GetExitCodeProcess(g_target.pi.hProcess, &code);
        why = "expected the program still running, it has ended with exit code " + std::to_string(code);
        return false;
    }
    return true;
}

BOOL CALLBACK UnionOwnedProc(HWND w, LPARAM lp)
{
    RECT *r = reinterpret_cast<RECT *>(lp);
    if (GetWindow(w, GW_OWNER) == g_target.dialog && IsWindowVisible(w)) {
        RECT wr;
        GetWindowRect(w, &wr);
        UnionRect(r, r, &wr);
    }
    return TRUE;
}

bool CmdScreenshot(const std::vector<std::string> &w, std::string &why)
{
    if (!NeedArgs(w, 1, 1, "screenshot <file.bmp>", why))
        return false;
    RECT screen = { 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) };
    RECT r = screen;
    if (g_target.started && IsWindow(g_target.dialog)) {
        // Let the dialog and its boxes paint before taking the picture.
        std::string ignored;
        Settle(ignored);
        WaitForInputIdle(g_target.pi.hProcess, 1000);
        Sleep(200);
        Settle(ignored);
        GetWindowRect(g_target.dialog, &r);
        EnumWindows(UnionOwnedProc, reinterpret_cast<LPARAM>(&r));
        IntersectRect(&r, &r, &screen);
        if (IsRectEmpty(&r))
            r = screen;
    }
    Pixels p;
    if (!CaptureScreen(r, p)) {
        why = "could not capture the screen";
        return false;
    }
    if (!WriteBmp(w[1].c_str(), p)) {
        why = "could not write " + Quote(w[1]);
        return false;
    }
    return true;
}

bool CmdSleep(const std::vector<std::string> &w, std::string &why)
{
    long ms;
    if (!NeedArgs(w, 1, 1, "sleep <ms>", why))
        return false;
    if (!ParseInt(w[1], ms) || ms < 0) {
        why = "not a number of milliseconds: " + Quote(w[1]);
        return false;
    }
    Sleep(static_cast<DWORD>(ms));
    return true;
}

bool Run(const std::vector<std::string> &w, std::string &why)
{
    const std::string &c = w[0];
    if (c == "start") return CmdStart(w, why);
    if (c == "visible") return CmdVisible(w, true, why);
    if (c == "hidden") return CmdVisible(w, false, why);
    if (c == "text") return CmdText(w, why);
    if (c == "checked") return CmdChecked(w, true, why);
    if (c == "unchecked") return CmdChecked(w, false, why);
    if (c == "focus") return CmdFocus(w, why);
    if (c == "progress") return CmdProgress(w, why);
    if (c == "range") return CmdRange(w, why);
    if (c == "click") return CmdClick(w, why);
    if (c == "key") return CmdKey(w, why);
    if (c == "close") return CmdClose(w, why);
    if (c == "message") return CmdMessage(w, why);
    if (c == "nomessage") return CmdNoMessage(w, why);
    if (c == "exits") return CmdExits(w, why);
    if (c == "alive") return CmdAlive(w, why);
    if (c == "screenshot") return CmdScreenshot(w, why);
    if (c == "sleep") return CmdSleep(w, why);
    why = "unknown command " + Quote(c);
    return false;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: bench-driver <script>\n");
        return 2;
    }
    FILE *f = fopen(argv[1], "rb");
    if (!f) {
        fprintf(stderr, "bench-driver: cannot read %s\n", argv[1]);
        return 2;
    }
    std::string all;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        all.append(buf, n);
    fclose(f);

    // Wine starts the desktop process (explorer /desktop) for the first
    // program that needs it. Asked for here, before the program under test
    // runs, it starts once: asked for by both at the same moment, it starts
    // twice and the second one ends again.
    GetDesktopWindow();

    size_t lineNo = 0, pos = 0;
    while (pos < all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos)
            end = all.size();
        std::string line = all.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        line = line.substr(first);
        printf("%s: ", line.c_str());
        fflush(stdout);
        std::vector<std::string> words;
        std::string why;
        bool ok = Tokenize(line, words, why) && Run(words, why);
        if (!ok) {
            printf("FAIL: %s (line %u)\n", why.c_str(), static_cast<unsigned>(lineNo));
            fflush(stdout);
            return 1;
        }
        printf("ok\n");
        fflush(stdout);
    }
    return 0;
}
