// CHostDir, a scratch folder that Windows and the host's tools (sox, mpg123) both reach; RunHost,
// a shell command on the host; and the one wait for a condition.
#pragma once
#include <windows.h>
#include <string>

// Every file a recording can write.
inline const char* const OUTPUT_NAMES[] = {"test.wav",      "test.mp3",       "test_left.wav",
                                           "test_left.mp3", "test_right.wav", "test_right.mp3"};

// A fresh folder under the host's /tmp, removed with everything in it at the end.
class CHostDir {
public:
    CHostDir();
    ~CHostDir();
    CHostDir(const CHostDir&) = delete;
    CHostDir& operator=(const CHostDir&) = delete;

    const std::string& UnixPath() const { return m_unix; }
    const std::string& WindowsPath() const { return m_windows; }
    // The Windows path of a file in the folder.
    std::string File(const std::string& name) const { return m_windows + "\\" + name; }
    // Writes a file of the folder whole; its Windows path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string m_unix;
    std::string m_windows;
};

// A scratch folder that takes its subfolders with it.
struct CTreeDir : CHostDir {
    ~CTreeDir();
};

// Runs `command` with /bin/sh in `dir` and waits for it (at most `timeoutMs`). Returns the
// exit status, or -1 when it did not finish; `output` gets its stdout and stderr.
int RunHost(const CHostDir& dir, const std::string& command, std::string* output = nullptr, DWORD timeoutMs = 20000);

// The folder of the running test program, where the build puts the libraries it loads.
std::string ExeFolder();

// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// The wall clock in Unix seconds, as the host's tools log it.
double UnixSeconds();

// Dispatches this thread's messages until `done` holds or about `timeoutMs` have passed.
template <class Predicate>
bool PumpUntil(Predicate done, DWORD timeoutMs = 5000)
{
    for (DWORD start = GetTickCount(); !done();) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); DispatchMessageA(&msg))
            TranslateMessage(&msg);
    }
    return true;
}
