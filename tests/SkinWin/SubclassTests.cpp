// Hook chains on real windows: message order, Default() through nested sends, unhooking in
// any order, WM_NCDESTROY, destruction of a hooked object, and misuse that must stay harmless.
#include "SkinTestSupport.h"
#include "SkinWin/Subclass.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const UINT WM_PROBE = WM_APP + 10;
const UINT WM_NESTED = WM_APP + 11;

std::vector<std::string> g_log;
class CRecordingHook;
std::vector<CRecordingHook*> g_watched;

void Log(const std::string& who, UINT msg, WPARAM wParam)
{
    if (msg == WM_PROBE || msg == WM_NESTED || msg == WM_NCDESTROY)
        g_log.push_back(who + ":" + (msg == WM_PROBE ? "probe" : msg == WM_NESTED ? "nested" : "ncdestroy") +
                        std::to_string(wParam));
}

class CRecordingHook : public CSubclassWnd {
public:
    explicit CRecordingHook(std::string name, bool sendNested = false) : m_name(std::move(name)), m_sendNested(sendNested) {}
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override
    {
        Log(m_name, msg, wParam);
        if (msg == WM_PROBE && m_sendNested)
            ::SendMessageA(m_hWnd, WM_NESTED, wParam + 100, 0);
        if (msg == WM_PROBE || msg == WM_NESTED)
            return Default() + 1;
        return Default();
    }

private:
    std::string m_name;
    bool m_sendNested;
};

LRESULT CALLBACK OwnProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Log("own", msg, wParam);
    // Whether each watched hook is still in place when the window's own procedure sees the end.
    if (msg == WM_NCDESTROY)
        for (CRecordingHook* hook : g_watched)
            g_log.push_back(hook->IsHooked() ? "hooked" : "unhooked");
    if (msg == WM_PROBE)
        return 1000;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class SubclassTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wnd = MakeTestWindow("KorvalinHookTest", OwnProc, WS_POPUP, {0, 0, 50, 50});
        ASSERT_NE(nullptr, wnd);
        g_log.clear();
        g_watched.clear();
    }
    void TearDown() override { DestroyWindow(wnd); }
    WNDPROC Proc() const { return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)); }
    std::vector<std::string> Probe(WPARAM id)
    {
        g_log.clear();
        result = SendMessageA(wnd, WM_PROBE, id, 0);
        return g_log;
    }
    HWND wnd = nullptr;
    LRESULT result = 0;
};

using Log_ = std::vector<std::string>;
} // namespace

TEST_F(SubclassTest, NewestHookFirstThenOlderThenTheWindowsOwnProcedure)
{
    // The framework window's handle is taken as it is.
    CWnd frame;
    frame.Attach(wnd);
    CRecordingHook a("A"), b("B"), c("C");
    EXPECT_TRUE(a.HookWindow(&frame));
    frame.Detach();
    EXPECT_EQ(reinterpret_cast<WNDPROC>(HookWndProc), Proc());
    EXPECT_TRUE(b.HookWindow(wnd));
    EXPECT_EQ((Log_{"B:probe1", "A:probe1", "own:probe1"}), Probe(1));
    EXPECT_EQ(1002, result);
    c.HookWindow(wnd);
    EXPECT_EQ((Log_{"C:probe2", "B:probe2", "A:probe2", "own:probe2"}), Probe(2));
    EXPECT_EQ(1003, result);
    EXPECT_EQ(&c, GetHookMap().Lookup(wnd));
    EXPECT_EQ(OwnProc, c.m_pOldWndProc);
    EXPECT_EQ(OwnProc, a.m_pOldWndProc);
}

TEST_F(SubclassTest, DefaultPassesTheOuterMessageAfterANestedSend)
{
    CRecordingHook a("A"), b("B", true);
    a.HookWindow(wnd);
    b.HookWindow(wnd);
    EXPECT_EQ((Log_{"B:probe7", "B:nested107", "A:nested107", "own:nested107", "A:probe7", "own:probe7"}), Probe(7));
}

TEST_F(SubclassTest, UnhookingFirstMiddleAndLast)
{
    CRecordingHook a("A"), b("B"), c("C");
    for (CRecordingHook* hook : {&a, &b, &c})
        hook->HookWindow(wnd);

    EXPECT_TRUE(b.HookWindow(static_cast<HWND>(nullptr)));
    EXPECT_FALSE(b.IsHooked());
    EXPECT_EQ((Log_{"C:probe1", "A:probe1", "own:probe1"}), Probe(1));

    c.HookWindow(static_cast<HWND>(nullptr));
    EXPECT_EQ(reinterpret_cast<WNDPROC>(HookWndProc), Proc());
    EXPECT_EQ(&a, GetHookMap().Lookup(wnd));
    EXPECT_EQ((Log_{"A:probe2", "own:probe2"}), Probe(2));

    a.HookWindow(static_cast<HWND>(nullptr));
    EXPECT_EQ(OwnProc, Proc());
    EXPECT_EQ(nullptr, GetHookMap().Lookup(wnd));
    EXPECT_EQ(nullptr, a.m_pOldWndProc);
    EXPECT_EQ((Log_{"own:probe3"}), Probe(3));

    EXPECT_TRUE(a.HookWindow(static_cast<HWND>(nullptr)));
    EXPECT_TRUE(a.HookWindow(static_cast<CWnd*>(nullptr)));
    EXPECT_FALSE(a.IsHooked());
    EXPECT_TRUE(a.IsKindOf(RUNTIME_CLASS(CSubclassWnd)));
}

TEST_F(SubclassTest, NcDestroyUnhooksEverythingBeforeTheOwnProcedureRuns)
{
    CRecordingHook a("A"), b("B");
    a.HookWindow(wnd);
    b.HookWindow(wnd);
    g_watched = {&a, &b};
    g_log.clear();
    DestroyWindow(wnd);
    EXPECT_EQ((Log_{"own:ncdestroy0", "unhooked", "unhooked"}), g_log);
    EXPECT_EQ(nullptr, GetHookMap().Lookup(wnd));
}

TEST_F(SubclassTest, DestroyingAHookedObjectUnhooksIt)
{
    CRecordingHook a("A");
    a.HookWindow(wnd);
    {
        CRecordingHook b("B");
        b.HookWindow(wnd);
    }
    EXPECT_EQ((Log_{"A:probe1", "own:probe1"}), Probe(1));
    {
        CRecordingHook only("only");
        a.HookWindow(static_cast<HWND>(nullptr));
        only.HookWindow(wnd);
    }
    EXPECT_EQ(OwnProc, Proc());
}

TEST_F(SubclassTest, MisuseStaysHarmlessAndIsReportedInDebugBuilds)
{
    CapturedMessageBoxes asserts;
    CRecordingHook a("A"), b("B");
    a.HookWindow(wnd);
    // Hooking again moves the hook rather than putting it in a chain twice.
    a.HookWindow(wnd);
    b.HookWindow(wnd);
    EXPECT_EQ((Log_{"B:probe1", "A:probe1", "own:probe1"}), Probe(1));

    // A hook that claims a window it is not chained to.
    CRecordingHook stray("stray");
    stray.m_hWnd = wnd;
    GetHookMap().Remove(&stray);
    stray.m_hWnd = nullptr;
    EXPECT_EQ((Log_{"B:probe2", "A:probe2", "own:probe2"}), Probe(2));

    // Not a window: nothing is hooked.
    CRecordingHook c("C");
    EXPECT_FALSE(c.HookWindow(reinterpret_cast<HWND>(0x1234)));
    EXPECT_FALSE(c.IsHooked());

    // A window that carries the hook procedure without a chain gets the default handling.
    HWND other = MakeTestWindow("KorvalinHookTest", OwnProc, WS_POPUP, {0, 0, 5, 5});
    SetWindowLongPtrA(other, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HookWndProc));
    EXPECT_EQ(0, SendMessageA(other, WM_PROBE, 0, 0));
    SetWindowLongPtrA(other, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OwnProc));
    DestroyWindow(other);

    b.HookWindow(static_cast<HWND>(nullptr));
    a.HookWindow(static_cast<HWND>(nullptr));
    EXPECT_EQ(OwnProc, Proc());
#ifdef _DEBUG
    ASSERT_FALSE(asserts.shown.empty());
    EXPECT_NE(std::string::npos, asserts.shown[0].text.find("Subclass"));
#endif
}
