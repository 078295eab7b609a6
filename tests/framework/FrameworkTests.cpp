// Message maps, the window-procedure prologue and strings. Data exchange and the message
// boxes' owner and caption are checked on the real program, which finds its boxes by them.
#include "framework/Afx.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

const UINT WM_OUTER = WM_APP + 1, WM_NESTED = WM_APP + 2, WM_THROW = WM_APP + 3;

class CRecorderWnd : public CWnd {
public:
    std::string log;
    std::vector<std::pair<UINT, LPARAM>> defaults;
    BOOL Create() { return CreateEx(0, AfxRegisterWndClass(0), "", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0); }
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        return defaults.emplace_back(msg, lParam), CWnd::DefWindowProc(msg, wParam, lParam);
    }

protected:
    // A handler's arguments as one number, a + 1000 b + 1000000 c, so that a row states them in one text.
    static std::string Text(LONG a, LONG b = 0, LONG c = 0) { return " " + std::to_string(a + 1000 * b + 1000000 * c); }
    void OnTimer(UINT_PTR id) { log += "timer" + Text(static_cast<LONG>(id)); }
    void OnLButtonDown(UINT flags, CPoint pt) { log += "down" + Text(flags, pt.x, pt.y); }
    void OnKeyDown(UINT ch, UINT repeat, UINT flags) { log += "key" + Text(ch, repeat, flags); }
    void OnRange(UINT id) { log += "range" + Text(static_cast<LONG>(id)); }
    void OnSelChange() { log += "selchange"; }
    LRESULT OnDevice(UINT msg, WPARAM wParam, LPARAM) { return log += "device" + Text(msg - MM_WOM_OPEN, static_cast<LONG>(wParam)), 9; }
    void OnReleased(NMHDR* header, LRESULT* result) { log += "released" + Text(static_cast<LONG>(header->idFrom)), *result = 77; }
    BOOL OnEraseBkgnd(CDC* dc) { return log += "erase" + Text(dc->GetSafeHdc() != nullptr), 5; }
    void OnOuter() { log += "outer ", SendMessage(WM_NESTED, 2, 20), Default(); }
    void OnNested() { log += "nested ", Default(); }
    void OnThrow() { throw std::runtime_error("bad"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRecorderWnd, CWnd)
    ON_WM_TIMER()
    ON_WM_LBUTTONDOWN()
    ON_WM_KEYDOWN()
    ON_WM_ERASEBKGND()
    ON_CONTROL_RANGE(BN_CLICKED, 10, 12, OnRange)
    ON_CBN_SELCHANGE(20, OnSelChange)
    ON_MESSAGE_RANGE(MM_WOM_OPEN, MM_WIM_DATA, OnDevice)
    ON_NOTIFY(NM_RELEASEDCAPTURE, 30, OnReleased)
    ON_MESSAGE_VV(WM_OUTER, OnOuter)
    ON_MESSAGE_VV(WM_NESTED, OnNested)
END_MESSAGE_MAP()

class CDerivedWnd : public CRecorderWnd {
    void OnTimer(UINT_PTR id) { log += "derived timer" + Text(static_cast<LONG>(id)); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedWnd, CRecorderWnd)
    ON_WM_TIMER()
    ON_MESSAGE_VV(WM_THROW, OnThrow)
END_MESSAGE_MAP()

// Catches a handler given the wrong arguments, an entry found by the wrong code or id, a
// result lost on the way back, a derived map that hides its base's entries; a prologue that
// loses the outer message after a nested one (Default() would pass on the wrong message) or
// lets an exception unwind through the system's code.
TEST(MessageMap, EachMessageReachesItsHandlerAndDefaultKeepsTheOuterOne)
{
    CDerivedWnd wnd;
    ASSERT_TRUE(wnd.Create());
    NMHDR header{wnd.m_hWnd, 30, static_cast<UINT>(NM_RELEASEDCAPTURE)};
    HDC dc = GetDC(wnd.m_hWnd);
    const struct { UINT msg; WPARAM wParam; LPARAM lParam; const char* log; LRESULT result; } rows[] = {
        {WM_TIMER, 7, 0, "derived timer 7", 0},
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-3, 12), "down 11997001", 0},
        {WM_KEYDOWN, VK_SPACE, MAKELPARAM(2, 0x39), "key 57002032", 0},
        {WM_COMMAND, MAKEWPARAM(11, BN_CLICKED), 0, "range 11", 0},
        {WM_COMMAND, MAKEWPARAM(13, BN_CLICKED), 0, "", 0},
        {WM_COMMAND, MAKEWPARAM(20, CBN_SELCHANGE), 0, "selchange", 0},
        {WM_COMMAND, MAKEWPARAM(20, CBN_SELENDOK), 0, "", 0},
        {WM_NOTIFY, 30, reinterpret_cast<LPARAM>(&header), "released 30", 77},
        {WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0, "erase 1", 5},
        {MM_WIM_DATA, 4, 0, "device 4005", 9},
        {MM_WIM_DATA + 1, 4, 0, "", 0},
    };
    for (const auto& row : rows) {
        wnd.log.clear();
        EXPECT_EQ(row.result, wnd.SendMessage(row.msg, row.wParam, row.lParam)) << row.log;
        EXPECT_EQ(row.log, wnd.log);
    }
    ReleaseDC(wnd.m_hWnd, dc);

    wnd.log.clear();
    wnd.defaults.clear();
    wnd.SendMessage(WM_OUTER, 1, 10);
    EXPECT_EQ("outer nested ", wnd.log);
    EXPECT_EQ((std::vector<std::pair<UINT, LPARAM>>{{WM_NESTED, 20}, {WM_OUTER, 10}}), wnd.defaults);
    CapturedMessageBoxes boxes;
    EXPECT_EQ(0, wnd.SendMessage(WM_THROW));
    EXPECT_EQ(std::vector<std::string>{"bad"}, boxes.Texts());
}

// Catches a search that takes the second byte of a double-byte character for the one sought:
// 籠 is BB 5C, and 5C is '\'.
TEST(String, ReverseFindStepsByCharacters)
{
    const struct { const char* text; char ch; int at; } rows[] = {
        {"skin\\orvane\\theme.ini", '\\', 11}, {"Korvalin.exe", '.', 8}, {"Korvalin", '.', -1},
        {"籠罩", '\\', -1}, {"录音\\籠罩.exe", '\\', 4}, {"录音\\籠", '\\', 4},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.at, CString(row.text).ReverseFind(row.ch)) << row.text;
}

} // namespace
