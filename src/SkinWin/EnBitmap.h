// CEnBitmap: an image file decoded by the platform's picture decoder into a bitmap of the
// screen's format.
#pragma once
#include "framework/Afx.h"
#include <ocidl.h>
#include <olectl.h>

// Background value that leaves the new bitmap unfilled before the picture is drawn.
const COLORREF ENBITMAP_NO_BACKGROUND = 0xFFFFFFFF;

class CEnBitmap : public CBitmap {
public:
    CEnBitmap() = default;
    ~CEnBitmap() override = default;

    // FALSE, keeping what is held, when a bitmap is already held.
    BOOL LoadFromFile(LPCTSTR path, COLORREF background);
    // The caller releases the picture; null when the bytes are not an image the decoder takes.
    static IPicture* LoadPictureFromBuffer(const BYTE* data, int size);
    BOOL AttachPicture(IPicture* picture, COLORREF background);
};
