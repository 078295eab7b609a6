#include "ProgramDriver.h"
#include <vector>

namespace {

const char MAIN_CAPTION[] = "【Korvalin】稳定版ver1.0";

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

} // namespace

std::string InstallFolder()
{
    return KORVALIN_DIST_DIR;
}

CProgramDriver::~CProgramDriver()
{
    if (m_process.hProcess) {
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.hProcess, 1);
            WaitForSingleObject(m_process.hProcess, 5000);
        }
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
}

bool CProgramDriver::Start()
{
    std::string folder = InstallFolder();
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
