// Test helpers: message boxes captured instead of shown, and a bounded message pump.
#pragma once
#include "framework/Afx.h"
#include <string>
#include <vector>

struct ShownMessage {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

// While alive, every message box is recorded and answered with `answer` instead of shown.
class CapturedMessageBoxes {
public:
    explicit CapturedMessageBoxes(int answer = IDOK);
    ~CapturedMessageBoxes();
    std::vector<std::string> Texts() const;
    std::vector<ShownMessage> shown;

private:
    MessageBoxSink m_previous;
};

// Dispatches posted and sent messages until `done` holds or about `timeoutMs` have passed.
template <class Predicate>
bool PumpUntil(Predicate done, DWORD timeoutMs = 5000)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}
