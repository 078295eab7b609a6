#include "ProgramDriver.h"
#include "support/HostTools.h"
#include <tlhelp32.h>
#include <vector>

namespace {

const char MAIN_CAPTION[] = "【Korvalin】稳定版ver1.0";
// Message boxes carry the application's name as their caption.
const char AFX_APP_NAME[] = "Korvalin";

struct Search {
    DWORD processId;
    HWND owner;
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND wnd, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    char caption[256] = "";
    GetWindowTextA(wnd, caption, sizeof caption);
    if (pid == search->processId && IsWindowVisible(wnd) && strcmp(caption, search->caption) == 0 &&
        (!search->owner || GetWindow(wnd, GW_OWNER) == search->owner)) {
        search->found = wnd;
        return FALSE;
    }
    return TRUE;
}

HWND PollForWindow(DWORD processId, HWND owner, const char* caption, DWORD timeoutMs)
{
    Search search{processId, owner, caption, nullptr};
    PumpUntil([&] { return EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search)), search.found != nullptr; },
              timeoutMs);
    return search.found;
}

// A program left running by a failed test would hold the devices and the output files.
void EndLeftoverInstances()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "Korvalin.exe") != 0)
            continue;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param)
{
    char className[32] = "", text[256] = "";
    GetClassNameA(child, className, sizeof className);
    GetWindowTextA(child, text, sizeof text);
    if (lstrcmpiA(className, "Static") == 0)
        *reinterpret_cast<std::string*>(param) += text;
    return TRUE;
}

} // namespace

std::string InstallFolder()
{
    return KORVALIN_DIST_DIR;
}

CProgramDriver::~CProgramDriver()
{
    if (!m_process.hProcess)
        return;
    if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, 5000);
    }
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
}

bool CProgramDriver::Start(const std::string& folder)
{
    EndLeftoverInstances();
    std::string exe = folder + "\\Korvalin.exe";
    std::vector<char> commandLine(exe.begin(), exe.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &m_process))
        return fprintf(stderr, "cannot start %s: error %lu\n", exe.c_str(), GetLastError()), false;
    WaitForInputIdle(m_process.hProcess, 10000);
    m_hDialog = PollForWindow(m_process.dwProcessId, nullptr, MAIN_CAPTION, 15000);
    return m_hDialog != nullptr;
}

HWND CProgramDriver::WaitForOwnedWindow(const char* caption, DWORD timeoutMs) const
{
    return PollForWindow(m_process.dwProcessId, m_hDialog, caption, timeoutMs);
}

bool CProgramDriver::WaitForExit(DWORD timeoutMs, DWORD* exitCode) const
{
    if (WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(m_process.hProcess, exitCode);
    return true;
}

bool CProgramDriver::Responds() const
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(m_hDialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &result) != 0;
}

std::string CProgramDriver::ControlText(int id) const
{
    char text[256] = "";
    GetWindowTextA(GetDlgItem(m_hDialog, id), text, sizeof text);
    return text;
}

void CProgramDriver::Click(int id) const
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(GetDlgItem(m_hDialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, 2000, &result);
}

bool CProgramDriver::WaitUntilEnabled(int id, bool enabled, DWORD timeoutMs) const
{
    return PumpUntil([&] { return IsEnabled(id) == enabled; }, timeoutMs);
}

bool CProgramDriver::Choose(int id, const char* text) const
{
    HWND combo = GetDlgItem(m_hDialog, id);
    const LRESULT item = SendMessageA(combo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    if (item == CB_ERR)
        return false;
    SendMessageA(combo, CB_SETCURSEL, item, 0);
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(m_hDialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo),
                               SMTO_NORMAL, 2000, &result) != 0;
}

void CProgramDriver::Close(CloseBy how) const
{
    SetForegroundWindow(m_hDialog);
    PumpUntil([&] { return GetForegroundWindow() == m_hDialog; }, 2000);
    if (how == CloseBy::Escape) {
        // Through a control, as the dialog's keyboard handling takes it.
        PostMessageA(GetDlgItem(m_hDialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        return;
    }
    INPUT inputs[4]{};
    const WORD keys[] = {VK_MENU, VK_F4, VK_F4, VK_MENU};
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i];
        inputs[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    if (how == CloseBy::CloseButton) {
        // The skinned caption's close button, wherever the skin puts it along the caption.
        RECT rc;
        GetWindowRect(m_hDialog, &rc);
        POINT at{rc.right - 1, rc.top + 10};
        while (at.x > rc.left && SendMessageA(m_hDialog, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)) != HTCLOSE)
            --at.x;
        SetCursorPos(at.x - 2, at.y);
        inputs[0] = inputs[1] = INPUT{INPUT_MOUSE, {}};
        inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    }
    SendInput(how == CloseBy::CloseButton ? 2 : 4, inputs, sizeof(INPUT));
}

std::vector<std::string> CProgramDriver::DismissBoxes(DWORD quietMs) const
{
    std::vector<std::string> texts;
    while (HWND box = WaitForOwnedWindow(AFX_APP_NAME, quietMs)) {
        texts.emplace_back();
        EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&texts.back()));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        PumpUntil([&] { return !IsWindow(box); });
    }
    return texts;
}

std::vector<COLORREF> BitmapPixels(HBITMAP bitmap)
{
    BITMAP bm{};
    GetObject(bitmap, sizeof bm, &bm);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<COLORREF> pixels(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, bm.bmHeight, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    for (COLORREF& pixel : pixels) // 0x00RRGGBB in the DIB
        pixel = RGB(GetBValue(pixel), GetGValue(pixel), GetRValue(pixel));
    return pixels;
}

std::vector<COLORREF> CProgramDriver::Pixels(int id, RECT* where) const
{
    RECT rc;
    GetWindowRect(id ? GetDlgItem(m_hDialog, id) : m_hDialog, &rc);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::vector<COLORREF> pixels = BitmapPixels(bitmap);
    DeleteObject(bitmap);
    if (where)
        *where = rc;
    return pixels;
}
