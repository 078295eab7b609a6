#include "Sinks.h"
#include <algorithm>

CapturedMessageBoxes::CapturedMessageBoxes(DWORD readMs)
{
    m_previous = AfxSetMessageBoxSink([this, readMs](HWND, const char* text, const char*, UINT) {
        m_texts.push_back(text);
        maxDepth = std::max(maxDepth, ++m_depth);
        if (readMs)
            PumpUntil([] { return false; }, readMs);
        --m_depth;
        return IDOK;
    });
}
