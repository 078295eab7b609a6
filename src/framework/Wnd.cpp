#include "Wnd.h"
#include "Diagnostics.h"
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>


namespace {

// A temporary object only borrows its handle: it must not destroy the window it names.
struct ReleaseTemporary {
    void operator()(CWnd* wnd) const
    {
        wnd->m_hWnd = nullptr;
        delete wnd;
    }
};

struct ThreadState {
    MSG currentMessage{};
    CWnd* windowBeingCreated = nullptr;
    int dispatchDepth = 0;
    std::unordered_map<HWND, CWnd*> permanent;
    std::map<HWND, std::unique_ptr<CWnd, ReleaseTemporary>> temporary;
};

ThreadState& State()
{
    static thread_local ThreadState state;
    return state;
}

} // namespace

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

MSG& AfxGetCurrentMessage()
{
    return State().currentMessage;
}

CWnd::~CWnd()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
    if (m_hWnd)
        Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND wnd)
{
    auto& map = State().permanent;
    auto found = map.find(wnd);
    return found == map.end() ? nullptr : found->second;
}

CWnd* CWnd::FromHandle(HWND wnd)
{
    if (!wnd)
        return nullptr;
    if (CWnd* attached = FromHandlePermanent(wnd))
        return attached;
    auto& slot = State().temporary[wnd];
    if (!slot) {
        slot.reset(new CWnd);
        slot->m_hWnd = wnd;
    }
    return slot.get();
}

BOOL CWnd::Attach(HWND wnd)
{
    ASSERT(m_hWnd == nullptr && FromHandlePermanent(wnd) == nullptr);
    if (!wnd)
        return FALSE;
    m_hWnd = wnd;
    State().permanent[wnd] = this;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND wnd = m_hWnd;
    if (wnd)
        State().permanent.erase(wnd);
    m_hWnd = nullptr;
    return wnd;
}

BOOL CWnd::SubclassWindow(HWND wnd)
{
    if (!Attach(wnd))
        return FALSE;
    m_pfnSuper = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    HWND control = ::GetDlgItem(parent->m_hWnd, id);
    return control && SubclassWindow(control);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id)
{
    State().windowBeingCreated = this;
    HWND wnd = ::CreateWindowExA(exStyle, className, windowName, style, rect.left, rect.top,
                                 rect.right - rect.left, rect.bottom - rect.top,
                                 parent ? parent->m_hWnd : nullptr,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                 ::GetModuleHandleA(nullptr), nullptr);
    State().windowBeingCreated = nullptr;
    return wnd != nullptr && m_hWnd == wnd;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd && ::DestroyWindow(m_hWnd);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags)
{
    DWORD style = GetStyle();
    DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(changed));
    if (flags)
        SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

void CWnd::GetWindowText(CString& text) const
{
    int length = ::GetWindowTextLengthA(m_hWnd);
    ::GetWindowTextA(m_hWnd, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer();
}

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type)
{
    return AfxShowMessageBox(m_hWnd, text, caption, type);
}

BOOL CWnd::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(msg, wParam, lParam, &result))
        result = DefWindowProc(msg, wParam, lParam);
    return result;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const MSG& current = AfxGetCurrentMessage();
    return DefWindowProc(current.message, current.wParam, current.lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const AFX_MSGMAP_ENTRY* entry = FindEntry(WM_COMMAND, HIWORD(wParam), LOWORD(wParam));
    if (!entry)
        return FALSE;
    entry->pfn(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (msg == WM_COMMAND) {
        *result = 0;
        return OnCommand(wParam, lParam);
    }
    if (msg != WM_NOTIFY)
        return CCmdTarget::OnWndMsg(msg, wParam, lParam, result);
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    const AFX_MSGMAP_ENTRY* entry = FindEntry(WM_NOTIFY, header->code, static_cast<UINT>(header->idFrom));
    if (!entry)
        return FALSE;
    *result = entry->pfn(this, wParam, lParam);
    return TRUE;
}

CMessageScope::CMessageScope(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ThreadState& state = State();
    m_saved = state.currentMessage;
    state.currentMessage.hwnd = hwnd;
    state.currentMessage.message = msg;
    state.currentMessage.wParam = wParam;
    state.currentMessage.lParam = lParam;
    ++state.dispatchDepth;
}

CMessageScope::~CMessageScope()
{
    ThreadState& state = State();
    if (--state.dispatchDepth == 0)
        state.temporary.clear();
    state.currentMessage = m_saved;
}

void AfxReportException()
{
    try {
        throw;
    } catch (const CMemoryException&) {
        AfxMessageBox("Out of memory.", MB_OK | MB_ICONHAND);
    } catch (const std::exception& error) {
        AfxMessageBox(error.what(), MB_OK | MB_ICONHAND);
    } catch (...) {
        AfxMessageBox("Unexpected error.", MB_OK | MB_ICONHAND);
    }
}

LRESULT AfxCallWndProc(CWnd* wnd, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return AfxHandleMessage(hwnd, msg, wParam, lParam, [=] {
        LRESULT result = wnd->WindowProc(msg, wParam, lParam);
        if (msg == WM_NCDESTROY && wnd->m_hWnd == hwnd) {
            wnd->m_pfnSuper = nullptr;
            wnd->Detach();
            wnd->PostNcDestroy();
        }
        return result;
    });
}

LRESULT CALLBACK AfxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = CWnd::FromHandlePermanent(hwnd);
    if (!wnd && State().windowBeingCreated) {
        wnd = State().windowBeingCreated;
        State().windowBeingCreated = nullptr;
        wnd->Attach(hwnd);
    }
    if (!wnd)
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    return AfxCallWndProc(wnd, hwnd, msg, wParam, lParam);
}

LPCSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon)
{
    static std::set<std::string> registered;
    char name[96];
    snprintf(name, sizeof name, "Afx:%p:%x:%p:%p:%p", static_cast<void*>(::GetModuleHandleA(nullptr)),
             classStyle, static_cast<void*>(cursor), static_cast<void*>(background), static_cast<void*>(icon));
    auto inserted = registered.insert(name);
    if (inserted.second) {
        WNDCLASSA wc{};
        wc.style = classStyle;
        wc.lpfnWndProc = AfxWndProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.hIcon = icon;
        wc.lpszClassName = inserted.first->c_str();
        if (!::RegisterClassA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            registered.erase(inserted.first);
            return nullptr;
        }
    }
    return inserted.first->c_str();
}

BOOL AfxRegisterNamedClass(LPCSTR name)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = AfxWndProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    return ::RegisterClassA(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
