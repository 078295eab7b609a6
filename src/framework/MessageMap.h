// Message maps: a static table of typed entries per class, chained to the base class's
// table. Each ON_ macro casts the handler to the one signature its message is cracked
// with, so a handler of the wrong type does not compile.
#pragma once
#include <windows.h>
#include <commctrl.h>

class CWnd;
class CDC;
class CPoint;
typedef void (CWnd::*AFX_PMSG)();

enum AfxSig : UINT {
    AfxSig_end,
    AfxSig_vv,       // void ()
    AfxSig_vw,       // void (UINT)                 control id of a range
    AfxSig_vt,       // void (UINT_PTR)             timer id
    AfxSig_vwl,      // void (UINT, LPARAM)         system command
    AfxSig_hv,       // HCURSOR ()                  drag icon
    AfxSig_bD,       // BOOL (CDC*)                 erase background
    AfxSig_bWww,     // BOOL (CWnd*, UINT, UINT)    set cursor
    AfxSig_vwp,      // void (UINT, CPoint)         mouse
    AfxSig_vwww,     // void (UINT, UINT, UINT)     keys
    AfxSig_vW,       // void (CWnd*)                focus
    AfxSig_vb,       // void (BOOL)                 enable
    AfxSig_vNMHDRpl, // void (NMHDR*, LRESULT*)     notification
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    AfxSig nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Member pointers round-trip through AFX_PMSG and are called back with their own type.
template <class Fn>
constexpr AFX_PMSG AfxMsgFn(Fn fn) { return reinterpret_cast<AFX_PMSG>(fn); }

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
        {0, 0, 0, 0, AfxSig_end, nullptr}};                                               \
        static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries};        \
        return &map;                                                                      \
    }

#define AFX_ENTRY(msg, code, id, last, sig, type, fn) \
    {msg, code, id, last, sig, AfxMsgFn(static_cast<type>(&ThisClass::fn))},

#define ON_MESSAGE_VV(msg, fn) AFX_ENTRY(msg, 0, 0, 0, AfxSig_vv, void (CWnd::*)(), fn)
#define ON_WM_PAINT() ON_MESSAGE_VV(WM_PAINT, OnPaint)
#define ON_WM_TIMER() AFX_ENTRY(WM_TIMER, 0, 0, 0, AfxSig_vt, void (CWnd::*)(UINT_PTR), OnTimer)
#define ON_WM_SYSCOMMAND() \
    AFX_ENTRY(WM_SYSCOMMAND, 0, 0, 0, AfxSig_vwl, void (CWnd::*)(UINT, LPARAM), OnSysCommand)
#define ON_WM_QUERYDRAGICON() \
    AFX_ENTRY(WM_QUERYDRAGICON, 0, 0, 0, AfxSig_hv, HCURSOR (CWnd::*)(), OnQueryDragIcon)
#define ON_WM_ERASEBKGND() \
    AFX_ENTRY(WM_ERASEBKGND, 0, 0, 0, AfxSig_bD, BOOL (CWnd::*)(CDC*), OnEraseBkgnd)
#define ON_WM_SETCURSOR() \
    AFX_ENTRY(WM_SETCURSOR, 0, 0, 0, AfxSig_bWww, BOOL (CWnd::*)(CWnd*, UINT, UINT), OnSetCursor)
#define ON_MOUSE_MESSAGE(msg, fn) AFX_ENTRY(msg, 0, 0, 0, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), fn)
#define ON_WM_MOUSEMOVE() ON_MOUSE_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() ON_MOUSE_MESSAGE(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() ON_MOUSE_MESSAGE(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() ON_MOUSE_MESSAGE(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_KEY_MESSAGE(msg, fn) AFX_ENTRY(msg, 0, 0, 0, AfxSig_vwww, void (CWnd::*)(UINT, UINT, UINT), fn)
#define ON_WM_KEYDOWN() ON_KEY_MESSAGE(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() ON_KEY_MESSAGE(WM_KEYUP, OnKeyUp)
#define ON_WM_SETFOCUS() AFX_ENTRY(WM_SETFOCUS, 0, 0, 0, AfxSig_vW, void (CWnd::*)(CWnd*), OnSetFocus)
#define ON_WM_KILLFOCUS() AFX_ENTRY(WM_KILLFOCUS, 0, 0, 0, AfxSig_vW, void (CWnd::*)(CWnd*), OnKillFocus)
#define ON_WM_ENABLE() AFX_ENTRY(WM_ENABLE, 0, 0, 0, AfxSig_vb, void (CWnd::*)(BOOL), OnEnable)

#define ON_CONTROL(code, id, fn) AFX_ENTRY(WM_COMMAND, code, id, id, AfxSig_vv, void (CWnd::*)(), fn)
#define ON_COMMAND(id, fn) ON_CONTROL(0, id, fn)
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_CONTROL_RANGE(code, first, last, fn) \
    AFX_ENTRY(WM_COMMAND, code, first, last, AfxSig_vw, void (CWnd::*)(UINT), fn)
#define ON_NOTIFY(code, id, fn) \
    AFX_ENTRY(WM_NOTIFY, static_cast<UINT>(code), id, id, AfxSig_vNMHDRpl, void (CWnd::*)(NMHDR*, LRESULT*), fn)
