// Test helpers: message boxes captured instead of shown.
#pragma once
#include "framework/Afx.h"
#include "support/HostTools.h"
#include <string>
#include <vector>

struct ShownMessage {
    std::string text;
};

// While alive, every message box is recorded and answered with `answer` instead of shown.
class CapturedMessageBoxes {
public:
    explicit CapturedMessageBoxes(int answer = IDOK);
    ~CapturedMessageBoxes();
    std::vector<std::string> Texts() const;
    std::vector<ShownMessage> shown;

private:
    MessageBoxSink m_previous;
};
