#include "Sinks.h"

CapturedMessageBoxes::CapturedMessageBoxes(int answer)
{
    m_previous = AfxSetMessageBoxSink([this, answer](HWND, const char* text, const char*, UINT) {
        shown.push_back({text});
        return answer;
    });
}

CapturedMessageBoxes::~CapturedMessageBoxes()
{
    AfxSetMessageBoxSink(m_previous);
}

std::vector<std::string> CapturedMessageBoxes::Texts() const
{
    std::vector<std::string> texts;
    for (const ShownMessage& message : shown)
        texts.push_back(message.text);
    return texts;
}
