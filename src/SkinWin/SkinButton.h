// CButtonSkin, the push-button image strip shared by all skinned buttons; CSkinButton, a push
// button drawn from it with its own mouse and keyboard handling.
#pragma once
#include "mybitmap.h"

enum { BTN_NORMAL = 0, BTN_HOVER = 1, BTN_PRESSED = 2, BTN_FOCUSED = 3, BTN_DISABLED = 4 };

class CButtonSkin : public CMyBitmap {
public:
    // FALSE, changing nothing (the strip held stays), when the skin file's path is too long,
    // "Bitmap" is empty or its image does not load.
    BOOL LoadFromTheme(LPCTSTR themeFile);
    // Draws nothing for a state outside BTN_NORMAL..BTN_DISABLED.
    BOOL DrawState(CDC* dc, CRect rect, int state);
    // Corners 1:1, edges and centre stretched; dest gives only the size, drawn from (0, 0).
    BOOL DrawNineSlice(CDC* dc, CRect dest, CRect src);
    // Image k of the strip of five.
    CRect GetImageRect(int image) const;

    int m_nTopHeight = 0;
    int m_nLeftWidth = 0;
    int m_nRightWidth = 0;
    int m_nBottomHeight = 0;
    BOOL m_bLoaded = FALSE;
};

class CSkinButton : public CButton {
    DECLARE_DYNAMIC(CSkinButton)
public:
    CSkinButton();
    ~CSkinButton() override = default;

    BOOL SetSkin(CButtonSkin* skin);
    BOOL RenderState(CMyBitmap* target);
    BOOL DrawCaption(CDC* dc);
    int GetState() const;

    CButtonSkin* m_pSkin = nullptr;
    BOOL m_bHover = FALSE;
    BOOL m_bPressed = FALSE;
    BOOL m_bFocused = FALSE;
    BOOL m_bEnabled = TRUE;
    COLORREF m_crText;

protected:
    void OnPaint();
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnLButtonDblClk(UINT flags, CPoint point);
    void OnSetFocus(CWnd* old);
    void OnKillFocus(CWnd* next);
    BOOL OnEraseBkgnd(CDC* dc);
    void OnKeyDown(UINT ch, UINT repeat, UINT flags);
    void OnKeyUp(UINT ch, UINT repeat, UINT flags);
    void OnEnable(BOOL enable);

    DECLARE_MESSAGE_MAP()

private:
    void RepaintNow();
};
