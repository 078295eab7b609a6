// CKorvalinDlg: the recorder's main dialog.
#pragma once
#include "framework/Afx.h"

class CKorvalinDlg : public CDialog {
public:
    explicit CKorvalinDlg(CWnd* parent = nullptr);

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;

    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnContact();

    int m_nCurDevice = -1;
    CSliderCtrl m_sliderLineIn;
    CSliderCtrl m_sliderMic;
    int m_nChannelMode = 0;
    int m_nInputLine = 0;
    HICON m_hIcon;

    DECLARE_MESSAGE_MAP()
};
