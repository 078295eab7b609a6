// CSubclassWnd: intercepts the messages of an existing window through a per-window chain of
// hooks; CSubclassWndMap, the one map from each hooked window to its newest hook.
#pragma once
#include "framework/Afx.h"

class CSubclassWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CSubclassWnd)
public:
    CSubclassWnd() = default;
    ~CSubclassWnd() override;
    void AssertValid() const override;
    void Dump() const override;

    virtual BOOL HookWindow(CWnd* wnd);
    // Null unhooks. Always TRUE for a window or null.
    virtual BOOL HookWindow(HWND hwnd);
    virtual BOOL IsHooked() const { return m_hWnd != nullptr; }
    // The base passes the message to the next older hook, or to the window's own procedure.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Passes the thread's current message on along the chain.
    virtual LRESULT Default();

    HWND m_hWnd = nullptr;
    WNDPROC m_pOldWndProc = nullptr;
    CSubclassWnd* m_pNext = nullptr;
};

class CSubclassWndMap : public CMapPtrToPtr {
public:
    ~CSubclassWndMap() override = default;

    CSubclassWnd* Lookup(HWND hwnd) const;
    void Add(HWND hwnd, CSubclassWnd* hook);
    void Remove(CSubclassWnd* hook);
    void RemoveAll(HWND hwnd);
};

CSubclassWndMap& GetHookMap();

// The procedure installed into every hooked window.
LRESULT CALLBACK HookWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
