#include "Subclass.h"

IMPLEMENT_DYNAMIC(CSubclassWnd, CCmdTarget)

CSubclassWnd::~CSubclassWnd()
{
    if (m_hWnd)
        CSubclassWnd::HookWindow(static_cast<HWND>(nullptr));
}

void CSubclassWnd::AssertValid() const
{
    CCmdTarget::AssertValid();
    ASSERT(m_hWnd == nullptr || ::IsWindow(m_hWnd));
    if (m_hWnd) {
        const CSubclassWnd* hook = GetHookMap().Lookup(m_hWnd);
        while (hook && hook != this)
            hook = hook->m_pNext;
        ASSERT(hook == this);
    }
}

void CSubclassWnd::Dump() const
{
    CCmdTarget::Dump();
}

BOOL CSubclassWnd::HookWindow(CWnd* wnd)
{
    return HookWindow(wnd ? wnd->GetSafeHwnd() : static_cast<HWND>(nullptr));
}

BOOL CSubclassWnd::HookWindow(HWND hwnd)
{
    if (hwnd) {
        ASSERT(m_hWnd == nullptr);
        ASSERT(::IsWindow(hwnd));
        if (!::IsWindow(hwnd))
            return FALSE;
        // Hooked already: leave the old chain first, so the object sits in one chain only.
        if (m_hWnd)
            HookWindow(static_cast<HWND>(nullptr));
        GetHookMap().Add(hwnd, this);
    } else if (m_hWnd) {
        GetHookMap().Remove(this);
        m_pOldWndProc = nullptr;
    }
    m_hWnd = hwnd;
    return TRUE;
}

LRESULT CSubclassWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    ASSERT(m_pOldWndProc != nullptr);
    if (m_pNext)
        return m_pNext->WindowProc(msg, wParam, lParam);
    if (!m_pOldWndProc)
        return m_hWnd ? ::DefWindowProcA(m_hWnd, msg, wParam, lParam) : 0;
    return ::CallWindowProcA(m_pOldWndProc, m_hWnd, msg, wParam, lParam);
}

LRESULT CSubclassWnd::Default()
{
    const MSG& current = AfxGetCurrentMessage();
    return CSubclassWnd::WindowProc(current.message, current.wParam, current.lParam);
}

CSubclassWnd* CSubclassWndMap::Lookup(HWND hwnd) const
{
    void* value = nullptr;
    if (!CMapPtrToPtr::Lookup(hwnd, value))
        return nullptr;
    CSubclassWnd* hook = static_cast<CSubclassWnd*>(value);
    ASSERT(hook->IsKindOf(RUNTIME_CLASS(CSubclassWnd)));
    return hook;
}

void CSubclassWndMap::Add(HWND hwnd, CSubclassWnd* hook)
{
    ASSERT(::IsWindow(hwnd));
    hook->m_pNext = Lookup(hwnd);
    SetAt(hwnd, hook);
    if (!hook->m_pNext) {
        hook->m_pOldWndProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HookWndProc)));
    } else {
        hook->m_pOldWndProc = hook->m_pNext->m_pOldWndProc;
    }
    ASSERT(hook->m_pOldWndProc != nullptr);
}

void CSubclassWndMap::Remove(CSubclassWnd* hook)
{
    HWND hwnd = hook->m_hWnd;
    ASSERT(::IsWindow(hwnd));
    CSubclassWnd* first = Lookup(hwnd);
    ASSERT(first != nullptr);
    if (first == hook) {
        if (hook->m_pNext) {
            SetAt(hwnd, hook->m_pNext);
        } else {
            RemoveKey(hwnd);
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->m_pOldWndProc));
        }
        return;
    }
    CSubclassWnd* previous = first;
    while (previous && previous->m_pNext != hook)
        previous = previous->m_pNext;
    ASSERT(previous != nullptr);
    if (previous)
        previous->m_pNext = hook->m_pNext;
}

void CSubclassWndMap::RemoveAll(HWND hwnd)
{
    while (CSubclassWnd* hook = Lookup(hwnd))
        hook->HookWindow(static_cast<HWND>(nullptr));
}

CSubclassWndMap& GetHookMap()
{
    static CSubclassWndMap map;
    return map;
}

LRESULT CALLBACK HookWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return AfxHandleMessage(hwnd, msg, wParam, lParam, [=] {
        CSubclassWnd* first = GetHookMap().Lookup(hwnd);
        ASSERT(first != nullptr);
        if (!first)
            return ::DefWindowProcA(hwnd, msg, wParam, lParam);
        if (msg != WM_NCDESTROY)
            return first->WindowProc(msg, wParam, lParam);
        WNDPROC own = first->m_pOldWndProc;
        GetHookMap().RemoveAll(hwnd);
        return ::CallWindowProcA(own, hwnd, msg, wParam, lParam);
    });
}
