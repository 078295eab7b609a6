#include "HostTools.h"
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

// Wine runs a Unix program through CreateProcess but gives back neither its exit code nor
// its output: the shell writes both to files, the status last, and the test waits for it.
CHostDir::CHostDir()
{
    static int s_count = 0;
    char name[96];
    snprintf(name, sizeof name, "/tmp/korvalin-test-%lu-%lu-%d", GetCurrentProcessId(), GetTickCount(), ++s_count);
    m_unix = name;
    m_windows = "Z:" + m_unix;
    std::replace(m_windows.begin(), m_windows.end(), '/', '\\');
    CreateDirectoryA(m_windows.c_str(), nullptr);
}

CHostDir::~CHostDir()
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((m_windows + "\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA(File(found.cFileName).c_str());
    FindClose(search);
    RemoveDirectoryA(m_windows.c_str());
}

CTreeDir::~CTreeDir()
{
    RunHost(*this, "rm -rf -- */");
}

std::string CHostDir::Write(const std::string& name, const std::string& bytes) const
{
    std::ofstream(File(name), std::ios::binary) << bytes;
    return File(name);
}

int RunHost(const CHostDir& dir, const std::string& command, std::string* output, DWORD timeoutMs)
{
    static int s_count = 0;
    const std::string tag = "host-" + std::to_string(++s_count);
    const std::string status = dir.File(tag + ".status");
    DeleteFileA(status.c_str());
    std::string script = "cd '" + dir.UnixPath() + "' && { " + command + " ; } >" + tag + ".out 2>&1; echo $? >" +
                         tag + ".tmp; mv " + tag + ".tmp " + tag + ".status";
    std::ofstream(dir.File(tag + ".sh"), std::ios::binary) << script;
    std::string line = "/bin/sh " + dir.UnixPath() + "/" + tag + ".sh";
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (!PumpUntil([&] { return GetFileAttributesA(status.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs))
        return -1;
    if (output)
        *output = ReadFileBytes(dir.File(tag + ".out"));
    return atoi(ReadFileBytes(status).c_str());
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ExeFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.rfind('\\'));
}

double UnixSeconds()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - 116444736000000000ull) / 1e7; // 100 ns ticks since 1601
}
