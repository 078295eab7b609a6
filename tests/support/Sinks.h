// Test helper: message boxes captured instead of shown.
#pragma once
#include "framework/Afx.h"
#include "support/HostTools.h"
#include <functional>
#include <string>
#include <vector>

// While alive, every message box is recorded and answered OK instead of shown; with `readMs`,
// only after a modal loop of that long (or until `answerWhen` holds), as a user reads it, so
// device messages run under it and a box raised inside another shows in maxDepth.
class CapturedMessageBoxes {
public:
    explicit CapturedMessageBoxes(DWORD readMs = 0, std::function<bool()> answerWhen = nullptr);
    ~CapturedMessageBoxes() { AfxSetMessageBoxSink(m_previous); }
    const std::vector<std::string>& Texts() const { return m_texts; }
    int maxDepth = 0;

private:
    std::vector<std::string> m_texts;
    int m_depth = 0;
    MessageBoxSink m_previous;
};
