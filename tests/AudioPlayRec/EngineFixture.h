// EngineTest: a CAudioPlayRec on the scripted fake device, in a visible host window, with
// message boxes and trace lines captured and the current directory in a scratch folder.
#pragma once
#include "AudioPlayRec.h"
#include "support/FakeAudioServices.h"
#include "support/HostTools.h"
#include "support/Sinks.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

using Strings = std::vector<std::string>;
using Messages = std::vector<UINT>;

inline Strings Repeat(const Strings& names, int times)
{
    Strings all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), names.begin(), names.end());
    return all;
}

inline Strings Concat(std::initializer_list<Strings> parts)
{
    Strings all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The text ReportError shows for `code` from the fake, at `step`.
inline std::string WaveError(MMRESULT code, const char* step)
{
    char text[200];
    snprintf(text, sizeof text, "WAVEIN:%x:fake error %u %s", code, code, step);
    return text;
}

class EngineTest : public ::testing::Test {
protected:
    static constexpr int kViewWidth = 400;
    static constexpr int kViewHeight = 200;

    EngineTest()
    {
        GetCurrentDirectoryA(MAX_PATH, m_szPreviousDir);
        SetCurrentDirectoryA(dir.WindowsPath().c_str());
        host.CreateEx(0, AfxRegisterWndClass(0, nullptr, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH))), "host",
                      WS_POPUP | WS_VISIBLE, CRect(20, 20, 20 + kViewWidth + 40, 20 + kViewHeight + 40), nullptr, 0);
    }
    ~EngineTest() override { SetCurrentDirectoryA(m_szPreviousDir); }

    void Init(DWORD dwBufferSize = 4096, bool bVisible = true)
    {
        CRect rc(20, 20, 20 + kViewWidth, 20 + kViewHeight);
        ASSERT_TRUE(engine.Initialize(0, dwBufferSize, host, bVisible ? &rc : nullptr, &EngineTest::Notify, this));
        // Selecting the device traces its mixer lookup, which the fake's stand-in mixer fails.
        trace.lines.clear();
    }
    void Record(int nMode)
    {
        ASSERT_TRUE(engine.StartRecord(nMode, 22050, 16));
        Drain();
    }
    // Dispatches everything already posted.
    static void Drain()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    void ReturnAndDrain(DWORD bytes)
    {
        ASSERT_TRUE(fake.ReturnInput(bytes));
        Drain();
    }
    void FireTimer(UINT_PTR id)
    {
        engine.SendMessage(WM_TIMER, id);
        Drain();
    }
    std::string FileBytes(const std::string& name) const { return ReadFileBytes(dir.File(name)); }
    std::vector<std::string> Texts() const { return boxes.Texts(); }

    static void Notify(UINT message, void* user) { static_cast<EngineTest*>(user)->notified.push_back(message); }

    CHostDir dir;
    CFakeAudioServices fake;
    CapturedMessageBoxes boxes;
    CapturedTrace trace;
    CWnd host;
    CAudioPlayRec engine;
    std::vector<UINT> notified;

private:
    char m_szPreviousDir[MAX_PATH] = "";
};

// Little-endian field readers for checking file bytes.
inline DWORD Le32(const std::string& bytes, size_t offset)
{
    return static_cast<BYTE>(bytes[offset]) | static_cast<BYTE>(bytes[offset + 1]) << 8 |
           static_cast<BYTE>(bytes[offset + 2]) << 16 | static_cast<DWORD>(static_cast<BYTE>(bytes[offset + 3])) << 24;
}
inline WORD Le16(const std::string& bytes, size_t offset)
{
    return static_cast<WORD>(static_cast<BYTE>(bytes[offset]) | static_cast<BYTE>(bytes[offset + 1]) << 8);
}

// WAV files built byte by byte, for the reader.
inline std::string Le32Bytes(DWORD v)
{
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}
inline std::string Le16Bytes(WORD v)
{
    return {static_cast<char>(v), static_cast<char>(v >> 8)};
}
inline std::string Chunk(const std::string& id, const std::string& body)
{
    return id + Le32Bytes(static_cast<DWORD>(body.size())) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}
// A "fmt " body of `size` bytes (16, 18 or more; the extra bytes are zero after cbSize).
inline std::string FmtBody(WORD tag, WORD channels, DWORD rate, WORD bits, DWORD size = 16, int blockAlign = -1)
{
    WORD align = blockAlign < 0 ? static_cast<WORD>(channels * bits / 8) : static_cast<WORD>(blockAlign);
    std::string body = Le16Bytes(tag) + Le16Bytes(channels) + Le32Bytes(rate) + Le32Bytes(rate * align) +
                       Le16Bytes(align) + Le16Bytes(bits);
    if (size >= 18)
        body += Le16Bytes(static_cast<WORD>(size - 18));
    body.resize(size, '\0');
    return body;
}
inline std::string Riff(const std::string& chunks)
{
    return "RIFF" + Le32Bytes(static_cast<DWORD>(4 + chunks.size())) + "WAVE" + chunks;
}
inline std::string MakeWave(const std::string& fmt, const std::string& data)
{
    return Riff(Chunk("fmt ", fmt) + Chunk("data", data));
}
