// CProgramDriver: starts the real Korvalin.exe from its install folder and finds its windows,
// as a user would see them, from another process.
#pragma once
#include <windows.h>
#include <string>

class CProgramDriver {
public:
    CProgramDriver() = default;
    CProgramDriver(const CProgramDriver&) = delete;
    CProgramDriver& operator=(const CProgramDriver&) = delete;
    // Ends the program if a test left it running.
    ~CProgramDriver();

    bool Start();
    // The main dialog, once it is visible; null if it never showed.
    HWND MainDialog() const { return m_hDialog; }
    // A visible top-level window with this caption owned by the main dialog, waiting up to timeoutMs.
    HWND WaitForOwnedWindow(const char* caption, DWORD timeoutMs = 5000) const;
    // Whether the process ended within timeoutMs; its exit code then in *exitCode.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
    // Whether the dialog still answers messages.
    bool Responds() const;
    std::string ControlText(int id) const;

private:
    PROCESS_INFORMATION m_process{};
    HWND m_hDialog = nullptr;
};

// Where the build lays out the program as a Windows user unzips it.
std::string InstallFolder();
