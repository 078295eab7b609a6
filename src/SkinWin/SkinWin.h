// CSkinWin: the skinned frame of one top-level window: its description read from the skin
// file, its drawing and region, and its non-client behaviour.
#pragma once
#include "Subclass.h"
#include "mybitmap.h"

class CSkinFile;

enum { BTN_CLOSE = 0, BTN_MAXIMIZE = 1, BTN_MINIMIZE = 2 };
enum { WINSTATE_NORMAL = 0, WINSTATE_MAXIMIZED = 1, WINSTATE_MINIMIZED = 2 };

class CSkinWin : public CSubclassWnd {
public:
    CSkinWin();
    ~CSkinWin() override = default;

    // TRUE when the skin is complete; FALSE when the path is too long or a required image failed.
    BOOL LoadSkin(LPCTSTR iniPath);
    BOOL InstallSkin(CWnd* wnd);

    void DrawFrame();
    BOOL DrawFrameEdges(CDC* dc, int x, int y, int w, int h, int state, BOOL drawTop);
    BOOL DrawTop(CDC* dc, int x, int y, int width, int state);
    BOOL DrawBottom(CDC* dc, int x, int y, int width, int state);
    BOOL DrawLeft(CDC* dc, int x, int y, int height, int state);
    BOOL DrawRight(CDC* dc, int x, int y, int height, int state);
    // The caller owns the region.
    HRGN MakeWindowRegion(int cx, int cy);
    CRect GetButtonRect(int action);
    BOOL DrawButton(CDC* dc, int action, int state);

    // Nothing while the window is gone; every message passed on while no skin is loaded.
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    UINT HitTest(CPoint point);
    CRect GetWorkArea();
    BOOL Maximize();
    BOOL Minimize();
    BOOL Restore();
    BOOL PopupSysMenu(CPoint point);

    // Skin description.
    CMyBitmap m_bmpDialog, m_bmpTop, m_bmpLeft, m_bmpRight, m_bmpBottom;
    CMyBitmap m_bmpCloseBtn, m_bmpMaxBtn, m_bmpRestoreBtn, m_bmpMinBtn;
    CRect m_rcCloseBtn, m_rcMaxBtn, m_rcRestoreBtn, m_rcMinBtn;
    int m_nTopHeight = 0, m_nBottomHeight = 0, m_nLeftWidth = 0, m_nRightWidth = 0;
    int m_nTopLeftEnd = 0, m_nTopRightStart = 0;
    int m_nLeftTopEnd = 0, m_nLeftBottomStart = 0;
    int m_nRightTopEnd = 0, m_nRightBottomStart = 0;
    int m_nBottomLeftEnd = 0, m_nBottomRightStart = 0;
    int m_nButtonImgCount = 3;
    int m_nTextShift = 0, m_nTextShiftVert = 0;
    COLORREF m_crTitleText = 0, m_crInactiveTitleText = 0, m_crTrans = 0;
    COLORREF m_crBar, m_crMenu;
    COLORREF m_crButtonFace = 0, m_crButtonText = 0, m_crButtonHilight = 0, m_crButtonFocus = 0;
    BOOL m_bUsesTran = FALSE;
    BOOL m_bLoaded;

    // Frame and behaviour state.
    CString m_strTitle;
    BOOL m_bActive = TRUE;
    int m_nWinState;
    int m_nOldState = WINSTATE_NORMAL;
    CRect m_rcRestore;
    BOOL m_bSizable = FALSE, m_bMinimizable = FALSE, m_bMaximizable = FALSE;
    int m_nHoverHit = 0, m_nPressedHit = 0, m_nLastHit = 0;

protected:
    void OnSize(UINT type, int cx, int cy);
    void OnActivate(UINT state);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    void OnShowWindow(BOOL show);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
    void OnNcPaint();
    BOOL OnNcActivate(BOOL active);
    void OnNcMouseMove(UINT hit, CPoint point);
    void OnNcLButtonDown(UINT hit, CPoint point);
    void OnNcLButtonUp(UINT hit, CPoint point);
    void OnNcLButtonDblClk(UINT hit, CPoint point);
    void OnNcRButtonDown(UINT hit, CPoint point);
    // Picks from the pop-up system menu; other commands go on to the window.
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    void OnSysCommand(UINT id, LPARAM lParam);
    // Messages kept from the system, which would size, track or draw the frame its own way.
    void OnSwallowed() {}

    DECLARE_MESSAGE_MAP()

private:
    void ReleaseImages();
    void ReadSlices(const CSkinFile& skin);
    BOOL LoadCaptionButtons(const CSkinFile& skin);
    void ReadColors(const CSkinFile& skin);
    // The caption band (edges and corners only) composed into bitmap, which is made here.
    void ComposeCaption(CDC* memory, CDC* compatible, CMyBitmap* bitmap, int width, int state);
    // Everything below the caption band plus the band's pixels that are not transparent.
    HRGN CaptionShape(const CMyBitmap& caption, int width, int height);
    void DrawCaptionButtons(CDC* dc);
    void DrawIcon(CDC* dc);
    void DrawTitle(CDC* dc, int width);
    void LeaveMinimized();
    // Maximize, and restore from either state; FALSE for any other command.
    BOOL ApplyStateCommand(UINT command);
    CRect WindowRect() const;
    BOOL IsInSystemMenu(UINT id) const;
};
