// CMessageBoxQueue: the boxes of the engine and its dialog, shown one at a time and in the
// order they were raised. A box raised while a change is under way (a device message being
// handled, a recording being set up or ended) waits until the change is over and then shows
// from a message of its own, so a box's modal loop never runs inside a half-done change and
// never inside another box.
#pragma once
#include "framework/Afx.h"
#include <deque>

class CMessageBoxQueue {
public:
    // nShowMessage is posted to the window to show what waits; its handler calls OnShowMessage.
    explicit CMessageBoxQueue(UINT nShowMessage) : m_nShowMessage(nShowMessage) {}
    CMessageBoxQueue(const CMessageBoxQueue&) = delete;
    CMessageBoxQueue& operator=(const CMessageBoxQueue&) = delete;

    // Without a window the boxes show at once: nothing can then arrive during them.
    void SetWindow(HWND hWnd) { m_hWnd = hWnd; }
    void Show(const CString& strText);
    void OnShowMessage();

    // While one is alive, boxes wait.
    class CDefer {
    public:
        explicit CDefer(CMessageBoxQueue& queue) : m_queue(queue) { ++m_queue.m_nDeferring; }
        ~CDefer() { m_queue.EndDefer(); }
        CDefer(const CDefer&) = delete;
        CDefer& operator=(const CDefer&) = delete;

    private:
        CMessageBoxQueue& m_queue;
    };

private:
    void EndDefer();
    void ShowPending();

    const UINT m_nShowMessage;
    HWND m_hWnd = nullptr;
    std::deque<CString> m_pending;
    int m_nDeferring = 0;
    BOOL m_bShowing = FALSE;
};
