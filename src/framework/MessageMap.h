// Message maps: a static table of entries per class, chained to the base class's table. Each
// ON_ macro builds the entry's thunk, which cracks the message and calls the handler through a
// member pointer of the one type that message is cracked for: a handler of another type does
// not compile.
#pragma once
#include "Geometry.h"
#include <commctrl.h>
#include <type_traits>

class CCmdTarget;
typedef LRESULT (*AFX_PMSG)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    AFX_PMSG pfn; // null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

inline CPoint AfxPointFrom(LPARAM lParam)
{
    return CPoint(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
}

template <class T>
LRESULT AfxResultOf(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<LRESULT>(value);
    else
        return static_cast<LRESULT>(value);
}

#define DECLARE_MESSAGE_MAP()                         \
protected:                                            \
    static const AFX_MSGMAP* GetThisMessageMap();     \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                            \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }    \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                       \
    {                                                                                     \
        typedef theClass ThisClass;                                                       \
        typedef baseClass TheBaseClass;                                                   \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                                 \
        {0, 0, 0, 0, nullptr}};                                                           \
        static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries};        \
        return &map;                                                                      \
    }

// `body` runs with `self` (the receiver) and `handler` (fn as ret (ThisClass::*) params).
#define AFX_ENTRY(msg, code, id, last, ret, params, fn, body)                              \
    {msg, code, id, last, [](CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT { \
         (void)wParam;                                                                      \
         (void)lParam;                                                                      \
         ret (ThisClass::*handler) params = &ThisClass::fn;                                 \
         ThisClass* self = static_cast<ThisClass*>(target);                                 \
         body                                                                               \
     }},
#define AFX_VOID(msg, fn, params, args) AFX_ENTRY(msg, 0, 0, 0, void, params, fn, (self->*handler) args; return 0;)
#define AFX_VALUE(msg, ret, fn, params, args) \
    AFX_ENTRY(msg, 0, 0, 0, ret, params, fn, return AfxResultOf((self->*handler) args);)

#define ON_MESSAGE(msg, fn) AFX_VALUE(msg, LRESULT, fn, (WPARAM, LPARAM), (wParam, lParam))
// A range of messages is one entry, found with the message as its id; the handler is told
// which message came.
const UINT AFX_MESSAGE_RANGE = 0xFFFFFFFF;
#define ON_MESSAGE_RANGE(first, last, fn)                                                 \
    AFX_ENTRY(AFX_MESSAGE_RANGE, 0, first, last, LRESULT, (UINT, WPARAM, LPARAM), fn,     \
              return (self->*handler)(AfxGetCurrentMessage().message, wParam, lParam);)
#define ON_MESSAGE_VV(msg, fn) AFX_VOID(msg, fn, (), ())
#define ON_MOUSE_MESSAGE(msg, fn) \
    AFX_VOID(msg, fn, (UINT, CPoint), (static_cast<UINT>(wParam), AfxPointFrom(lParam)))
#define ON_KEY_MESSAGE(msg, fn) \
    AFX_VOID(msg, fn, (UINT, UINT, UINT), (static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)))

#define ON_WM_PAINT() ON_MESSAGE_VV(WM_PAINT, OnPaint)
#define ON_WM_TIMER() AFX_VOID(WM_TIMER, OnTimer, (UINT_PTR), (wParam))
#define ON_WM_SYSCOMMAND() AFX_VOID(WM_SYSCOMMAND, OnSysCommand, (UINT, LPARAM), (static_cast<UINT>(wParam), lParam))
#define ON_WM_QUERYDRAGICON() AFX_VALUE(WM_QUERYDRAGICON, HCURSOR, OnQueryDragIcon, (), ())
#define ON_WM_ERASEBKGND()                                              \
    AFX_ENTRY(WM_ERASEBKGND, 0, 0, 0, BOOL, (CDC*), OnEraseBkgnd,       \
              CDC dc(reinterpret_cast<HDC>(wParam)); return (self->*handler)(&dc);)
#define ON_WM_SETCURSOR()                                                                 \
    AFX_VALUE(WM_SETCURSOR, BOOL, OnSetCursor, (CWnd*, UINT, UINT),                       \
              (CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), HIWORD(lParam)))
#define ON_WM_MOUSEMOVE() ON_MOUSE_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() ON_MOUSE_MESSAGE(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() ON_MOUSE_MESSAGE(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() ON_MOUSE_MESSAGE(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_KEYDOWN() ON_KEY_MESSAGE(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() ON_KEY_MESSAGE(WM_KEYUP, OnKeyUp)
#define ON_WM_SETFOCUS() AFX_VOID(WM_SETFOCUS, OnSetFocus, (CWnd*), (CWnd::FromHandle(reinterpret_cast<HWND>(wParam))))
#define ON_WM_KILLFOCUS() \
    AFX_VOID(WM_KILLFOCUS, OnKillFocus, (CWnd*), (CWnd::FromHandle(reinterpret_cast<HWND>(wParam))))
#define ON_WM_ENABLE() AFX_VOID(WM_ENABLE, OnEnable, (BOOL), (static_cast<BOOL>(wParam)))
#define ON_WM_SIZE() \
    AFX_VOID(WM_SIZE, OnSize, (UINT, int, int), (static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)))
#define ON_WM_ACTIVATE() AFX_VOID(WM_ACTIVATE, OnActivate, (UINT), (LOWORD(wParam)))
#define ON_WM_SHOWWINDOW() AFX_VOID(WM_SHOWWINDOW, OnShowWindow, (BOOL), (static_cast<BOOL>(wParam)))
#define ON_WM_GETMINMAXINFO() \
    AFX_VOID(WM_GETMINMAXINFO, OnGetMinMaxInfo, (MINMAXINFO*), (reinterpret_cast<MINMAXINFO*>(lParam)))
#define ON_WM_NCCALCSIZE()                                       \
    AFX_VOID(WM_NCCALCSIZE, OnNcCalcSize, (BOOL, NCCALCSIZE_PARAMS*), \
             (static_cast<BOOL>(wParam), reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)))
#define ON_WM_NCHITTEST() AFX_VALUE(WM_NCHITTEST, UINT, HitTest, (CPoint), (AfxPointFrom(lParam)))
#define ON_WM_NCPAINT() ON_MESSAGE_VV(WM_NCPAINT, OnNcPaint)
#define ON_WM_NCACTIVATE() AFX_VALUE(WM_NCACTIVATE, BOOL, OnNcActivate, (BOOL), (static_cast<BOOL>(wParam)))
#define ON_WM_NCMOUSEMOVE() ON_MOUSE_MESSAGE(WM_NCMOUSEMOVE, OnNcMouseMove)
#define ON_WM_NCLBUTTONDOWN() ON_MOUSE_MESSAGE(WM_NCLBUTTONDOWN, OnNcLButtonDown)
#define ON_WM_NCLBUTTONUP() ON_MOUSE_MESSAGE(WM_NCLBUTTONUP, OnNcLButtonUp)
#define ON_WM_NCLBUTTONDBLCLK() ON_MOUSE_MESSAGE(WM_NCLBUTTONDBLCLK, OnNcLButtonDblClk)
#define ON_WM_NCRBUTTONDOWN() ON_MOUSE_MESSAGE(WM_NCRBUTTONDOWN, OnNcRButtonDown)

#define ON_CONTROL(code, id, fn) AFX_ENTRY(WM_COMMAND, code, id, id, void, (), fn, (self->*handler)(); return 0;)
#define ON_COMMAND(id, fn) ON_CONTROL(0, id, fn)
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_CONTROL_RANGE(code, first, last, fn) \
    AFX_ENTRY(WM_COMMAND, code, first, last, void, (UINT), fn, (self->*handler)(LOWORD(wParam)); return 0;)
#define ON_NOTIFY(code, id, fn)                                                              \
    AFX_ENTRY(WM_NOTIFY, static_cast<UINT>(code), id, id, void, (NMHDR*, LRESULT*), fn,       \
              LRESULT result = 0; (self->*handler)(reinterpret_cast<NMHDR*>(lParam), &result); return result;)
