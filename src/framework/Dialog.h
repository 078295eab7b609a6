// CDialog, and dialog data exchange: DDX_Control, DDX_Radio.
#pragma once
#include "Wnd.h"

// Attaches the control to `control` the first time data is exchanged.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// The index of the checked button in the radio group starting at `id` (-1 for none), both ways.
void DDX_Radio(CDataExchange* dx, int id, int& value);

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

    // Runs the dialog in the system's modal loop; returns what EndDialog was given, or -1.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless, for callers that run their own loop.
    BOOL Create(CWnd* parent = nullptr);
    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }

    virtual BOOL OnInitDialog();

protected:
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    BOOL m_bModal = FALSE;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
};
