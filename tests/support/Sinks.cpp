#include "Sinks.h"

CapturedMessageBoxes::CapturedMessageBoxes(int answer)
{
    m_previous = AfxSetMessageBoxSink([this, answer](HWND owner, const char* text, const char* caption, UINT type) {
        shown.push_back({owner, text, caption ? caption : "", type});
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

CapturedTrace::CapturedTrace()
{
    m_previous = AfxSetTraceSink([this](const char* text) { lines.push_back(text); });
}

CapturedTrace::~CapturedTrace()
{
    AfxSetTraceSink(m_previous);
}

std::string CapturedTrace::All() const
{
    std::string all;
    for (const std::string& line : lines)
        all += line;
    return all;
}
