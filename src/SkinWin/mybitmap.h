// CMyBitmap: a skin image with plain, scaled and colour-keyed drawing and the region of its
// pixels that differ from a key colour; DrawTransparentBitmap does the colour-keyed copy.
#pragma once
#include "EnBitmap.h"

class CMyBitmap : public CEnBitmap {
public:
    CMyBitmap() = default;
    ~CMyBitmap() override = default;

    // Releases what is held, then loads the image rendered on black.
    BOOL LoadBitmapFile(LPCTSTR path)
    {
        ASSERT(path != nullptr);
        DeleteObject();
        return path && LoadFromFile(path, RGB(0, 0, 0));
    }
    int GetWidth() const;
    int GetHeight() const;

    // 1:1 copy of src (the whole bitmap when null) to (x, y).
    BOOL Draw(CDC* dc, int x, int y, const RECT* src = nullptr) const;
    // 1:1 copy of the bitmap's top-left part of dest's size to dest's corner; never scales.
    BOOL DrawRect(CDC* dc, const RECT* dest) const;
    // Scaled copy of src into dest; FALSE with nothing drawn when dest is null.
    BOOL StretchDraw(CDC* dc, const RECT* dest, const RECT* src) const;
    BOOL DrawWithTrans(CDC* dc, int x, int y, const RECT* src, COLORREF trans, BOOL useTrans) const;
    // The pixels whose colour is not trans, one rectangle per run per row; the caller owns
    // the region. The whole image for bitmaps below 8 bits per pixel or that cannot be read.
    HRGN CreateRgnFromBitmap(COLORREF trans) const;
};

// Copies the w by h part of bitmap at (xSrc, ySrc) to (x, y), leaving dest as it was where the
// source has the colour trans. Leaves dest's background white and its text colour black.
void DrawTransparentBitmap(HDC dest, int x, int y, int w, int h, HBITMAP bitmap, int xSrc, int ySrc,
                           COLORREF trans, HPALETTE palette);
