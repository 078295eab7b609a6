#include "ProgramDriver.h"
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
    DWORD start = GetTickCount();
    do {
        Search search{processId, owner, caption, nullptr};
        EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
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
    std::string exe = folder + "\\Korvalin.exe";
    std::vector<char> commandLine(exe.begin(), exe.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &m_process))
        return false;
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
    for (DWORD start = GetTickCount(); IsEnabled(id) != enabled; Sleep(50)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
    }
    return true;
}

std::vector<std::string> CProgramDriver::DismissBoxes(DWORD quietMs) const
{
    std::vector<std::string> texts;
    while (HWND box = WaitForOwnedWindow(AFX_APP_NAME, quietMs)) {
        texts.emplace_back();
        EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&texts.back()));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        for (DWORD start = GetTickCount(); IsWindow(box) && GetTickCount() - start < 5000;)
            Sleep(20);
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
