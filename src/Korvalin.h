// CKorvalinApp, the application object, and CAboutDlg, the about box.
#pragma once
#include "framework/Afx.h"

class CKorvalinApp : public CWinApp {
public:
    BOOL InitInstance() override;
};

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};
