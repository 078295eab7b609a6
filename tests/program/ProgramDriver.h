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

    // A click on a control, handled by the time this returns (or after a modal box opened).
    void Click(int id) const;
    // Clicks a check box until it shows `checked`.
    void SetCheck(int id, bool checked) const;
    bool IsChecked(int id) const;
    bool IsEnabled(int id) const;
    bool WaitUntilEnabled(int id, bool enabled, DWORD timeoutMs) const;
    // The text of the message box the dialog shows, waiting up to timeoutMs; "" if none.
    std::string WaitForMessageBox(HWND* box, DWORD timeoutMs = 5000) const;
    // Esc, as the dialog's keyboard handling receives it.
    void PressEscape() const;

private:
    PROCESS_INFORMATION m_process{};
    HWND m_hDialog = nullptr;
};

// Where the build lays out the program as a Windows user unzips it.
std::string InstallFolder();
