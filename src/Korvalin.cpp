#include "Korvalin.h"
#include "KorvalinDlg.h"
#include "res/resource.h"

CKorvalinApp theApp;

BOOL CKorvalinApp::InitInstance()
{
    AfxEnableControlContainer();
    Enable3dControls();

    CKorvalinDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    // The dialog has closed: end the program rather than enter a message loop.
    return FALSE;
}

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
