#include "WinApp.h"
#include "Diagnostics.h"
#include <commctrl.h>

namespace {
const UINT AFX_IDS_APP_TITLE = 0xE000;
CWinApp* g_pApp = nullptr;
} // namespace

IMPLEMENT_DYNAMIC(CWinApp, CObject)

CWinApp::CWinApp(LPCSTR appName)
{
    ASSERT(g_pApp == nullptr);
    g_pApp = this;
    if (appName)
        m_strAppName = appName;
    AfxSetMessageBoxDefaults({[this] { return m_pMainWnd ? m_pMainWnd->GetSafeHwnd() : nullptr; }, AfxGetAppName});
}

CWinApp::~CWinApp()
{
    AfxSetMessageBoxDefaults({});
    g_pApp = nullptr;
}

HICON CWinApp::LoadIcon(UINT id) const
{
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id));
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

LPCSTR AfxGetAppName()
{
    static CString fallback;
    CString& name = g_pApp ? g_pApp->m_strAppName : fallback;
    if (name.IsEmpty()) {
        char text[MAX_PATH];
        if (::LoadStringA(AfxGetResourceHandle(), AFX_IDS_APP_TITLE, text, sizeof text) > 0) {
            name = text;
        } else {
            ::GetModuleFileNameA(nullptr, text, sizeof text);
            CString path(text);
            CString file = path.Mid(path.ReverseFind('\\') + 1);
            int dot = file.ReverseFind('.');
            name = dot > 0 ? file.Left(dot) : file;
        }
    }
    return name;
}

HINSTANCE AfxGetResourceHandle()
{
    return ::GetModuleHandleA(nullptr);
}

void AfxInitControls()
{
    static const BOOL done = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        return ::InitCommonControlsEx(&controls);
    }();
    (void)done;
}
