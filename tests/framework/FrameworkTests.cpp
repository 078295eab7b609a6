// Message maps, Default(), data exchange, modal dialogs and the two sinks.
#include "framework/Afx.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

const UINT WM_OUTER = WM_APP + 1;
const UINT WM_NESTED = WM_APP + 2;
const UINT WM_THROW = WM_APP + 3;

struct Call {
    std::string handler;
    UINT a = 0, b = 0, c = 0;
    LONG x = 0, y = 0;
};

class CRecorderWnd : public CWnd {
public:
    std::vector<Call> calls;
    std::vector<MSG> defaults;

    BOOL Create()
    {
        return CreateEx(0, AfxRegisterWndClass(0), "rec", WS_POPUP, CRect(0, 0, 50, 50), nullptr, 0);
    }
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        defaults.push_back(MSG{m_hWnd, msg, wParam, lParam, 0, {0, 0}});
        return CWnd::DefWindowProc(msg, wParam, lParam);
    }

protected:
    void OnTimer(UINT_PTR id) { calls.push_back({"OnTimer", static_cast<UINT>(id)}); }
    void OnLButtonDown(UINT flags, CPoint pt) { calls.push_back({"OnLButtonDown", flags, 0, 0, pt.x, pt.y}); }
    void OnKeyDown(UINT ch, UINT repeat, UINT flags) { calls.push_back({"OnKeyDown", ch, repeat, flags}); }
    void OnRange(UINT id) { calls.push_back({"OnRange", id}); }
    void OnSelChange() { calls.push_back({"OnSelChange"}); }
    void OnReleased(NMHDR* header, LRESULT* result)
    {
        calls.push_back({"OnReleased", static_cast<UINT>(header->idFrom), header->code});
        *result = 77;
    }
    BOOL OnEraseBkgnd(CDC* dc)
    {
        calls.push_back({"OnEraseBkgnd", dc->GetSafeHdc() != nullptr});
        return 5;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRecorderWnd, CWnd)
    ON_WM_TIMER()
    ON_WM_LBUTTONDOWN()
    ON_WM_KEYDOWN()
    ON_WM_ERASEBKGND()
    ON_CONTROL_RANGE(BN_CLICKED, 10, 12, OnRange)
    ON_CBN_SELCHANGE(20, OnSelChange)
    ON_NOTIFY(NM_RELEASEDCAPTURE, 30, OnReleased)
END_MESSAGE_MAP()

// Derived map: its own entries first, the base class's handlers still reached.
class CNestingWnd : public CRecorderWnd {
protected:
    void OnOuter()
    {
        calls.push_back({"OnOuter"});
        SendMessage(WM_NESTED, 2, 20);
        Default();
    }
    void OnNested()
    {
        calls.push_back({"OnNested"});
        Default();
    }
    void OnThrow() { AfxThrowMemoryException(); }
    void OnTimer(UINT_PTR id) { calls.push_back({"Derived::OnTimer", static_cast<UINT>(id)}); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CNestingWnd, CRecorderWnd)
    ON_MESSAGE_VV(WM_OUTER, OnOuter)
    ON_MESSAGE_VV(WM_NESTED, OnNested)
    ON_MESSAGE_VV(WM_THROW, OnThrow)
    ON_WM_TIMER()
END_MESSAGE_MAP()

TEST(MessageMap, CracksEachMessageIntoItsHandlersArguments)
{
    CRecorderWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.SendMessage(WM_TIMER, 7);
    wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-3, 12));
    wnd.SendMessage(WM_KEYDOWN, VK_SPACE, MAKELPARAM(2, 0x39));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(11, BN_CLICKED), 0);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(13, BN_CLICKED), 0); // outside the range
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(20, CBN_SELCHANGE), 0);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(20, CBN_SELENDOK), 0); // other code, same id
    NMHDR header{wnd.m_hWnd, 30, static_cast<UINT>(NM_RELEASEDCAPTURE)};
    EXPECT_EQ(77, wnd.SendMessage(WM_NOTIFY, 30, reinterpret_cast<LPARAM>(&header)));
    HDC dc = GetDC(wnd.m_hWnd);
    EXPECT_EQ(5, wnd.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc)));
    ReleaseDC(wnd.m_hWnd, dc);

    ASSERT_EQ(7u, wnd.calls.size());
    EXPECT_EQ("OnTimer", wnd.calls[0].handler);
    EXPECT_EQ(7u, wnd.calls[0].a);
    EXPECT_EQ(MK_LBUTTON, wnd.calls[1].a);
    EXPECT_EQ(-3, wnd.calls[1].x);
    EXPECT_EQ(12, wnd.calls[1].y);
    EXPECT_EQ(static_cast<UINT>(VK_SPACE), wnd.calls[2].a);
    EXPECT_EQ(2u, wnd.calls[2].b);
    EXPECT_EQ(0x39u, wnd.calls[2].c);
    EXPECT_EQ("OnRange", wnd.calls[3].handler);
    EXPECT_EQ(11u, wnd.calls[3].a);
    EXPECT_EQ("OnSelChange", wnd.calls[4].handler);
    EXPECT_EQ("OnReleased", wnd.calls[5].handler);
    EXPECT_EQ(30u, wnd.calls[5].a);
    EXPECT_EQ("OnEraseBkgnd", wnd.calls[6].handler);
    EXPECT_EQ(1u, wnd.calls[6].a);
}

TEST(MessageMap, UnhandledMessagesReachTheDefaultProcedure)
{
    CRecorderWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.defaults.clear();
    wnd.SetWindowText("changed");
    CString text;
    wnd.GetWindowText(text);
    EXPECT_EQ(CString("changed"), text);
    ASSERT_FALSE(wnd.defaults.empty());
    EXPECT_EQ(static_cast<UINT>(WM_SETTEXT), wnd.defaults.front().message);
    EXPECT_TRUE(wnd.calls.empty());
}

TEST(MessageMap, DerivedEntriesComeFirstAndBaseEntriesStillApply)
{
    CNestingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.SendMessage(WM_TIMER, 3);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(12, BN_CLICKED), 0);
    ASSERT_EQ(2u, wnd.calls.size());
    EXPECT_EQ("Derived::OnTimer", wnd.calls[0].handler);
    EXPECT_EQ("OnRange", wnd.calls[1].handler);
}

TEST(MessageMap, DefaultPassesOnTheOuterMessageAfterANestedSend)
{
    CNestingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.defaults.clear();
    wnd.SendMessage(WM_OUTER, 1, 10);
    ASSERT_EQ(2u, wnd.defaults.size());
    EXPECT_EQ(WM_NESTED, wnd.defaults[0].message);
    EXPECT_EQ(2u, wnd.defaults[0].wParam);
    EXPECT_EQ(WM_OUTER, wnd.defaults[1].message);
    EXPECT_EQ(1u, wnd.defaults[1].wParam);
    EXPECT_EQ(10, wnd.defaults[1].lParam);
}

TEST(MessageMap, NoExceptionCrossesTheWindowProcedure)
{
    CapturedMessageBoxes boxes;
    CNestingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    wnd.SendMessage(WM_THROW);
    EXPECT_EQ(std::vector<std::string>{"Out of memory."}, boxes.Texts());
}

TEST(Windows, DestroyingTheWindowDetachesItsObject)
{
    CRecorderWnd wnd;
    ASSERT_TRUE(wnd.Create());
    HWND hwnd = wnd.m_hWnd;
    EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(hwnd));
    ::DestroyWindow(hwnd);
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hwnd));
}

class CRadioDlg : public CDialog {
public:
    CRadioDlg() : CDialog(200) {}
    int m_nFirst = 2;
    int m_nSecond = 0;
    CButton m_ok;
    INT_PTR m_endWith = 0;

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (m_endWith)
            PostMessage(WM_OUTER);
        return TRUE;
    }

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Control(dx, IDOK, m_ok);
        DDX_Radio(dx, 301, m_nFirst);
        DDX_Radio(dx, 311, m_nSecond);
    }
    void OnOuter() { EndDialog(static_cast<int>(m_endWith)); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRadioDlg, CDialog)
    ON_MESSAGE_VV(WM_OUTER, OnOuter)
END_MESSAGE_MAP()

TEST(DataExchange, RadioGroupsMoveBothWays)
{
    CRadioDlg dlg;
    ASSERT_TRUE(dlg.Create());
    // Index 2 is the third radio button; the static text between does not count.
    EXPECT_EQ(BST_CHECKED, dlg.IsDlgButtonChecked(304));
    EXPECT_EQ(BST_UNCHECKED, dlg.IsDlgButtonChecked(301));
    EXPECT_EQ(BST_CHECKED, dlg.IsDlgButtonChecked(311));
    EXPECT_EQ(&dlg.m_ok, CWnd::FromHandlePermanent(::GetDlgItem(dlg.m_hWnd, IDOK)));

    dlg.CheckDlgButton(304, BST_UNCHECKED);
    dlg.CheckDlgButton(302, BST_CHECKED);
    dlg.CheckDlgButton(311, BST_UNCHECKED);
    dlg.UpdateData(TRUE);
    EXPECT_EQ(1, dlg.m_nFirst);
    EXPECT_EQ(-1, dlg.m_nSecond);

    dlg.m_nSecond = 1;
    dlg.UpdateData(FALSE);
    EXPECT_EQ(BST_CHECKED, dlg.IsDlgButtonChecked(312));
    EXPECT_EQ(BST_UNCHECKED, dlg.IsDlgButtonChecked(311));
    dlg.DestroyWindow();
}

TEST(Dialogs, ModalDialogEndsWithTheResultGiven)
{
    CRadioDlg dlg;
    dlg.m_endWith = 42;
    EXPECT_EQ(42, dlg.DoModal());
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

TEST(Dialogs, CancelCommandEndsTheModalDialog)
{
    class CCancelDlg : public CRadioDlg {
        BOOL OnInitDialog() override
        {
            CRadioDlg::OnInitDialog();
            PostMessage(WM_COMMAND, IDCANCEL);
            return TRUE;
        }
    } dlg;
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
}

TEST(Sinks, MessageBoxesAndTraceLinesReachTheirSinks)
{
    CapturedMessageBoxes boxes(IDCANCEL);
    CapturedTrace trace;
    CRecorderWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_EQ(IDCANCEL, wnd.MessageBox("Busing"));
    EXPECT_EQ(IDCANCEL, AfxMessageBox("Write file failed", MB_OK | MB_ICONSTOP));
    TRACE("%s:%x:%d\n", "WAVEIN", 0x20u, 5);

    ASSERT_EQ(2u, boxes.shown.size());
    EXPECT_EQ(wnd.m_hWnd, boxes.shown[0].owner);
    EXPECT_EQ("Busing", boxes.shown[0].text);
    EXPECT_EQ(AfxGetAppName(), boxes.shown[0].caption);
    EXPECT_EQ("Write file failed", boxes.shown[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), boxes.shown[1].type);
    EXPECT_EQ(std::vector<std::string>{"WAVEIN:20:5\n"}, trace.lines);
}

} // namespace

namespace {

TEST(Windows, TemporaryObjectsNeverDestroyTheirWindow)
{
    CRadioDlg dlg;
    ASSERT_TRUE(dlg.Create());
    HWND button = ::GetDlgItem(dlg.m_hWnd, 302);
    CWnd* temporary = dlg.GetDlgItem(302);
    ASSERT_NE(nullptr, temporary);
    EXPECT_EQ(button, temporary->m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(button));
    // The temporaries go when the outermost message returns.
    dlg.SendMessage(WM_NULL);
    EXPECT_TRUE(::IsWindow(button));
    dlg.DestroyWindow();
}

} // namespace
