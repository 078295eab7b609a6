// CProgramDriver: starts the real Korvalin.exe from its install folder and finds its windows,
// as a user would see them, from another process.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

enum class CloseBy { Escape, CloseButton, AltF4, Kill };

// Where the build lays out the program as a Windows user unzips it.
inline std::string InstallFolder() { return KORVALIN_DIST_DIR; }

class CProgramDriver {
public:
    CProgramDriver() = default;
    CProgramDriver(const CProgramDriver&) = delete;
    CProgramDriver& operator=(const CProgramDriver&) = delete;
    ~CProgramDriver(); // ends the program if a test left it running

    // Starts the program in `folder`, its install folder unless given, once any instance a
    // failed test left has ended.
    bool Start(const std::string& folder = InstallFolder());
    // The main dialog, once it is visible; null if it never showed.
    HWND MainDialog() const { return m_hDialog; }
    // A visible top-level window with this caption owned by the main dialog, waiting up to timeoutMs.
    HWND WaitForOwnedWindow(const char* caption, DWORD timeoutMs = 5000) const;
    // Whether the process ended within timeoutMs; its exit code then in *exitCode.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
    // Whether the dialog answers a message within timeoutMs.
    bool Responds(DWORD timeoutMs = 3000) const;

    // A click on a control, handled by the time this returns (or after a modal box opened).
    void Click(int id) const;
    bool IsEnabled(int id) const { return IsWindowEnabled(GetDlgItem(m_hDialog, id)) != FALSE; }
    bool WaitUntilEnabled(int id, bool enabled, DWORD timeoutMs) const;
    // Picks the first item of combo box `id` that starts with `text`, as a user's choice.
    bool Choose(int id, const char* text) const;
    // Picks a file in Play's file dialog as a user goes: into `folder`, then `name` (an empty
    // one cancels). False with the reason on stderr when no dialog came.
    bool Open(const std::string& folder, const std::string& name) const;
    // Opens a file and waits until it plays (Record goes off).
    bool Play(const std::string& folder, const std::string& name) const;
    // Closes the window with the keyboard or the mouse, as a user would, or ends the process at once.
    void Close(CloseBy how) const;
    // Answers every message box that shows until none has come for quietMs; their texts in order.
    std::vector<std::string> DismissBoxes(DWORD quietMs) const;

    // What the screen shows of control `id` (or of the dialog's whole window for 0), row by row.
    std::vector<COLORREF> Pixels(int id, RECT* where = nullptr) const;

private:
    PROCESS_INFORMATION m_process{};
    HWND m_hDialog = nullptr;
};

// The skin as a user sees it: the frame has a region with the caption's corner cut away, and
// the caption and Play are drawn from the skin's images. What is missing of it, or nothing.
std::string SkinMissing(const CProgramDriver& program);
