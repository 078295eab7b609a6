#include "Sinks.h"
#include <algorithm>

CapturedMessageBoxes::CapturedMessageBoxes(DWORD readMs, std::function<bool()> answerWhen)
{
    m_previous = AfxSetMessageBoxSink([this, readMs, answerWhen](HWND, const char* text, const char*, UINT) {
        m_texts.push_back(text);
        maxDepth = std::max(maxDepth, ++m_depth);
        if (readMs)
            PumpUntil([&] { return answerWhen && answerWhen(); }, readMs);
        --m_depth;
        return IDOK;
    });
}
