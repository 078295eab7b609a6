// Helpers for tests that check files with the host's own tools (sox, mpg123): CHostDir, a
// scratch folder both sides can reach, and RunHost, which runs a shell command on the host.
#pragma once
#include <windows.h>
#include <string>

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

// Runs `command` with /bin/sh in `dir` and waits for it (at most `timeoutMs`). Returns the
// exit status, or -1 when it did not finish; `output` gets its stdout and stderr.
int RunHost(const CHostDir& dir, const std::string& command, std::string* output = nullptr, DWORD timeoutMs = 20000);

// The folder of the running test program, where the build puts the libraries it loads.
std::string ExeFolder();

// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
