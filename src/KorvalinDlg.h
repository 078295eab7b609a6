// CKorvalinDlg: the recorder's main dialog; turns the user's choices into engine calls and
// names the output files.
#pragma once
#include "AudioPlayRec.h"
#include "SkinWin/SkinButton.h"
#include "SkinWin/SkinWin.h"
#include "framework/Afx.h"
#include <memory>
#include <vector>

class CKorvalinDlg : public CDialog {
public:
    explicit CKorvalinDlg(CWnd* parent = nullptr);

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;

    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnContact();
    void OnRecord();
    void OnStop();
    void OnPlay();
    void OnWave();
    void OnMp3();
    void OnLeft();
    void OnRight();
    void OnChannelMode(UINT id);
    void OnInputLine(UINT id);
    void OnSelchangeDevice();
    void OnReleasedLineInSlider(NMHDR* header, LRESULT* result);
    void OnReleasedMicSlider(NMHDR* header, LRESULT* result);

    static void AudioNotify(UINT message, void* user);
    BOOL InitVolumeSlider(int id);
    void UpdateControls();
    BOOL IsBusy();
    void OnOutputCheck(int id);
    BOOL OpenOutputs();
    BOOL OpenOutputKind(const CString& ext);
    void CloseUncheckedOutputs();
    CString BrowseForFile(BOOL open, LPCSTR title, const CString& presetPath, LPCSTR filter);

    BOOL ApplySkin(LPCSTR path);
    static BOOL CALLBACK EnumSkinButtonsProc(HWND hwnd, LPARAM dialog);
    BOOL SkinChildButton(HWND hwnd);

    int m_nCurDevice = -1;
    CSliderCtrl m_sliderLineIn;
    CSliderCtrl m_sliderMic;
    int m_nChannelMode = 0;
    int m_nInputLine = 0;
    HICON m_hIcon;
    CButtonSkin m_btnSkin;
    CSkinWin m_skinWin;
    BOOL m_bFirstSkin = FALSE;
    // The skinned push buttons; they outlive their windows, which close with the dialog.
    std::vector<std::unique_ptr<CSkinButton>> m_skinButtons;
    // Declared last so it is destroyed first: its destructor ends what is running.
    CAudioPlayRec m_audio;

    DECLARE_MESSAGE_MAP()
};
