#include "ProgramDriver.h"
#include "res/resource.h"
#include "support/HostTools.h"
#include <tlhelp32.h>
#include <algorithm>
#include <set>
#include <vector>

namespace {

const char MAIN_CAPTION[] = "【Korvalin】稳定版ver1.0";
// Message boxes carry the application's name as their caption.
const char AFX_APP_NAME[] = "Korvalin";

// A visible top-level window of `processId` with this caption, owned by `owner` unless null.
HWND PollForWindow(DWORD processId, HWND owner, const char* caption, DWORD timeoutMs)
{
    struct { DWORD processId; HWND owner; const char* caption; HWND found; } search{processId, owner, caption, nullptr};
    const WNDENUMPROC match = [](HWND wnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<decltype(search)*>(param);
        DWORD pid = 0;
        char text[256] = "";
        GetWindowThreadProcessId(wnd, &pid);
        GetWindowTextA(wnd, text, sizeof text);
        const bool found = pid == s->processId && IsWindowVisible(wnd) && strcmp(text, s->caption) == 0 &&
                           (!s->owner || GetWindow(wnd, GW_OWNER) == s->owner);
        return found ? (s->found = wnd, FALSE) : TRUE;
    };
    PumpUntil([&] { return EnumWindows(match, reinterpret_cast<LPARAM>(&search)), search.found != nullptr; }, timeoutMs);
    return search.found;
}

// TerminateProcess fails harmlessly when it has ended already.
void EndProcess(HANDLE process) { TerminateProcess(process, 1), WaitForSingleObject(process, 5000); }

// A program left running by a failed test would hold the devices and the output files.
void EndLeftoverInstances()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "Korvalin.exe") != 0)
            continue;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID))
            EndProcess(process), CloseHandle(process);
    }
    CloseHandle(snapshot);
}

// Row by row from the top.
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

// Every colour of one of the skin's images, as the screen shows it.
std::set<COLORREF> SkinColours(const char* image)
{
    std::string path = InstallFolder() + "\\skin\\orvane\\" + image;
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    std::vector<COLORREF> pixels = BitmapPixels(bitmap);
    DeleteObject(bitmap);
    return std::set<COLORREF>(pixels.begin(), pixels.end());
}

double ShareOf(const std::vector<COLORREF>& pixels, const std::set<COLORREF>& colours)
{
    const auto n = std::count_if(pixels.begin(), pixels.end(), [&](COLORREF c) { return colours.count(c) > 0; });
    return pixels.empty() ? 0 : static_cast<double>(n) / pixels.size();
}

} // namespace

CProgramDriver::~CProgramDriver()
{
    if (!m_process.hProcess)
        return;
    EndProcess(m_process.hProcess);
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

bool CProgramDriver::Responds(DWORD timeoutMs) const
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(m_hDialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
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

bool CProgramDriver::Open(const std::string& folder, const std::string& name) const
{
    Click(IDC_PLAY); // returns once the file dialog runs its own loop
    HWND chooser = WaitForOwnedWindow("打开文件来播放");
    if (!chooser)
        return fprintf(stderr, "no file dialog with the expected title\n"), false;
    HWND nameBox = GetDlgItem(chooser, 0x47C) ? GetDlgItem(chooser, 0x47C) : GetDlgItem(chooser, 0x480);
    for (const std::string& text : {folder, name}) {
        SendMessageA(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageA(chooser, WM_COMMAND, text.empty() ? IDCANCEL : IDOK, 0);
    }
    return PumpUntil([&] { return !IsWindow(chooser); }, 1500);
}

bool CProgramDriver::Play(const std::string& folder, const std::string& name) const
{
    return Open(folder, name) &&
           (WaitUntilEnabled(IDC_RECORD, false, 5000) || (fprintf(stderr, "playback did not start\n"), false));
}

void CProgramDriver::Close(CloseBy how) const
{
    if (how == CloseBy::Kill)
        return (void)TerminateProcess(m_process.hProcess, 9);
    SetForegroundWindow(m_hDialog);
    PumpUntil([&] { return GetForegroundWindow() == m_hDialog; }, 2000);
    if (how == CloseBy::Escape) {
        // Through a control, as the dialog's keyboard handling takes it.
        PostMessageA(GetDlgItem(m_hDialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    } else if (how == CloseBy::AltF4) {
        keybd_event(VK_MENU, 0, 0, 0), keybd_event(VK_F4, 0, 0, 0);
        keybd_event(VK_F4, 0, KEYEVENTF_KEYUP, 0), keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
    } else {
        // The skinned caption's close button, wherever the skin puts it along the caption.
        RECT rc;
        GetWindowRect(m_hDialog, &rc);
        POINT at{rc.right - 1, rc.top + 10};
        while (at.x > rc.left && SendMessageA(m_hDialog, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)) != HTCLOSE)
            --at.x;
        SetCursorPos(at.x - 2, at.y);
        mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0), mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    }
}

std::vector<std::string> CProgramDriver::DismissBoxes(DWORD quietMs) const
{
    std::vector<std::string> texts;
    while (HWND box = WaitForOwnedWindow(AFX_APP_NAME, quietMs)) {
        texts.emplace_back();
        EnumChildWindows(box, [](HWND child, LPARAM text) -> BOOL {
            char className[32] = "", line[256] = "";
            GetClassNameA(child, className, sizeof className);
            GetWindowTextA(child, line, sizeof line);
            if (lstrcmpiA(className, "Static") == 0)
                *reinterpret_cast<std::string*>(text) += line;
            return TRUE;
        }, reinterpret_cast<LPARAM>(&texts.back()));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        PumpUntil([&] { return !IsWindow(box); });
    }
    return texts;
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

std::string SkinMissing(const CProgramDriver& program)
{
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    std::string missing = GetWindowRgn(program.MainDialog(), region) == ERROR ? "the frame has no region; "
                          : PtInRegion(region, 0, 0) ? "the caption's corner is not cut away; " : "";
    DeleteObject(region);
    const std::set<COLORREF> top = SkinColours("top.bmp"), button = SkinColours("button.bmp");
    double captionShare = 0, buttonShare = 0;
    // Polled: the window may show before it has painted.
    PumpUntil([&] {
        RECT rc;
        std::vector<COLORREF> window = program.Pixels(0, &rc), caption;
        const int width = rc.right - rc.left;
        // A band of the caption right of the title and left of the close button.
        for (int y = 2; y < 20; ++y)
            caption.insert(caption.end(), window.begin() + y * width + width / 2,
                           window.begin() + y * width + width - 60);
        captionShare = ShareOf(caption, top);
        buttonShare = ShareOf(program.Pixels(IDC_PLAY), button);
        return captionShare > 0.95 && buttonShare > 0.7;
    });
    return missing + (captionShare > 0.95 ? "" : "the caption is not drawn from the skin; ") +
           (buttonShare > 0.7 ? "" : "Play is not a skinned button");
}

