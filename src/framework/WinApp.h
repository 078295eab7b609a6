// CWinApp: the one application object; the entry point calls its InitInstance.
#pragma once
#include "Wnd.h"

class CWinApp : public CObject {
    DECLARE_DYNAMIC(CWinApp)
public:
    explicit CWinApp(LPCSTR appName = nullptr);
    ~CWinApp() override;

    // FALSE ends the program at once; the framework runs no loop of its own.
    virtual BOOL InitInstance() { return FALSE; }
    virtual int ExitInstance() { return 0; }
    HICON LoadIcon(UINT id) const;

    CWnd* m_pMainWnd = nullptr;
    // From the string AFX_IDS_APP_TITLE or, without it, the executable's name.
    CString m_strAppName;

protected:
    static void Enable3dControls() {}
};

CWinApp* AfxGetApp();
LPCSTR AfxGetAppName();
HINSTANCE AfxGetResourceHandle();
// Common controls (trackbars) are registered before the first dialog is made.
void AfxInitControls();
// The program hosts no ActiveX controls; kept as the start-up step it names.
inline void AfxEnableControlContainer() {}
