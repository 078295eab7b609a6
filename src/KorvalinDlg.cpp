#include "KorvalinDlg.h"
#include "Korvalin.h"
#include "res/product.h"
#include "res/resource.h"
#include <shellapi.h>

CKorvalinDlg::CKorvalinDlg(CWnd* parent)
    : CDialog(IDD_KORVALIN_DIALOG, parent), m_hIcon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME) : nullptr)
{
}

void CKorvalinDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_SLIDER_MIC, m_sliderMic);
    DDX_Control(dx, IDC_SLIDER_LINEIN, m_sliderLineIn);
    DDX_Radio(dx, IDC_MONO, m_nChannelMode);
    DDX_Radio(dx, IDC_MICROPHONE, m_nInputLine);
}

BEGIN_MESSAGE_MAP(CKorvalinDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_CONTACT, OnContact)
END_MESSAGE_MAP()

BOOL CKorvalinDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (HMENU sysMenu = GetSystemMenu(FALSE)) {
        char about[128] = "";
        if (::LoadStringA(AfxGetResourceHandle(), IDS_ABOUTBOX, about, sizeof about) > 0) {
            ::AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    return TRUE;
}

void CKorvalinDlg::OnSysCommand(UINT id, LPARAM lParam)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        DefWindowProc(WM_SYSCOMMAND, id, lParam);
    }
}

void CKorvalinDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int iconWidth = ::GetSystemMetrics(SM_CXICON);
    int iconHeight = ::GetSystemMetrics(SM_CYICON);
    CRect client;
    GetClientRect(client);
    dc.DrawIcon((client.Width() - iconWidth + 1) / 2, (client.Height() - iconHeight + 1) / 2, m_hIcon);
}

HCURSOR CKorvalinDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CKorvalinDlg::OnContact()
{
    ::ShellExecuteA(nullptr, "open", "mailto:" CONTACT_MAIL, nullptr, nullptr, SW_SHOW);
}
