// The Windows console services in a process of their own: output to a file
// and a run without any console.  The probe program beside this test does
// the printing and reading; the test gives it its standard output and
// judges its exit status and what it wrote.

#include <gtest/gtest.h>

#include <string>

#include "serial_api.h"  // <windows.h>

namespace {

constexpr DWORD kProbeTimeoutMilliseconds = 60000;
constexpr DWORD kProbeDidNotEnd = 0xFFFFFFFFu;

std::string ProbePath()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string probe(path, length);
    probe.erase(probe.find_last_of("\\/") + 1);
    return probe + "console_probe.exe";
}

// A temporary file that the probe inherits as its standard output.
struct OutputFile {
    std::string path;
    HANDLE handle;
};

OutputFile CreateOutputFile()
{
    char folder[MAX_PATH];
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "irt", 0, path);
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inheritable, CREATE_ALWAYS, 0, nullptr);
    return {path, handle};
}

std::string ReadWholeFile(const std::string& path)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<cannot open " + path + ">";
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
    CloseHandle(file);
    return content;
}

// Runs the probe with the given mode and standard output; gives its exit
// status, or kProbeDidNotEnd.
DWORD RunProbe(const char* mode, HANDLE standardOutput, DWORD creationFlags)
{
    std::string commandLine = "\"" + ProbePath() + "\" " + mode;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = standardOutput;
    startup.hStdError = standardOutput;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, creationFlags, nullptr,
                        nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start " << commandLine << " (" << GetLastError() << ")";
        return kProbeDidNotEnd;
    }
    DWORD status = kProbeDidNotEnd;
    if (WaitForSingleObject(process.hProcess, kProbeTimeoutMilliseconds) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &status);
    } else {
        TerminateProcess(process.hProcess, kProbeDidNotEnd);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

TEST(Win32ConsoleOutput, ToAFileHeldUntilRestoredThenCompleteWithCrLf)
{
    const OutputFile output = CreateOutputFile();
    ASSERT_NE(output.handle, INVALID_HANDLE_VALUE);
    const DWORD status = RunProbe("output", output.handle, 0);
    CloseHandle(output.handle);
    const std::string written = ReadWholeFile(output.path);
    DeleteFileA(output.path.c_str());

    // Status 3: something reached the file before RestoreConsole.
    EXPECT_EQ(status, 0u);
    const std::string expected = std::string("  7 ") + "  16512 " + std::string(1, '\0') +
                                 "\r\nNEC Code: BA45FF00\r\n" + std::string(599, 'x') + "|";
    EXPECT_EQ(written, expected);
}

TEST(Win32ConsoleOutput, WithoutAConsoleNoKeyIsWaitingAndReadKeyGivesMinusOne)
{
    const OutputFile output = CreateOutputFile();
    ASSERT_NE(output.handle, INVALID_HANDLE_VALUE);
    // DETACHED_PROCESS: the probe has no console at all.
    const DWORD status = RunProbe("no-console", output.handle, DETACHED_PROCESS);
    CloseHandle(output.handle);
    DeleteFileA(output.path.c_str());
    EXPECT_EQ(status, 0u);
}

}  // namespace
