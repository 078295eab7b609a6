#include "Dialog.h"
#include "Diagnostics.h"
#include "WinApp.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (!control.m_hWnd)
        VERIFY(control.SubclassDlgItem(id, dx->m_pDlgWnd));
}

void DDX_Radio(CDataExchange* dx, int id, int& value)
{
    HWND button = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    ASSERT(button && (::GetWindowLongA(button, GWL_STYLE) & WS_GROUP));
    if (dx->m_bSaveAndValidate)
        value = -1;
    // Only radio buttons count; other controls inside the group are stepped over.
    for (int index = 0; button;) {
        if (::SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
            if (dx->m_bSaveAndValidate) {
                if (::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED)
                    value = index;
            } else {
                ::SendMessageA(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++index;
        }
        button = ::GetWindow(button, GW_HWNDNEXT);
        if (button && (::GetWindowLongA(button, GWL_STYLE) & WS_GROUP))
            break;
    }
}

INT_PTR CDialog::DoModal()
{
    AfxInitControls();
    m_bModal = TRUE;
    HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    // Without a parent, a dialog is owned by the main window, which it disables while shown.
    CWinApp* app = AfxGetApp();
    if (!parent && app && app->m_pMainWnd && app->m_pMainWnd != this)
        parent = app->m_pMainWnd->m_hWnd;
    INT_PTR result = ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), parent,
                                       DialogProc, reinterpret_cast<LPARAM>(this));
    m_bModal = FALSE;
    return result;
}

BOOL CDialog::Create(CWnd* parent)
{
    AfxInitControls();
    m_pParentWnd = parent;
    return ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate),
                                parent ? parent->m_hWnd : nullptr, DialogProc,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

// The system's dialog procedure only introduces the window: once it is subclassed, every
// later message reaches the message map first and this procedure answers "not handled".
INT_PTR CALLBACK CDialog::DialogProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_INITDIALOG)
        return FALSE;
    CDialog* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->SubclassWindow(wnd);
    return AfxHandleMessage(wnd, msg, wParam, lParam, [dialog]() -> LRESULT { return dialog->OnInitDialog(); });
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}
