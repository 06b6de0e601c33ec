// irtick-analyze's platform services on Windows.

#include "analyze_terminal.h"

#include <fcntl.h>
#include <io.h>
#include <signal.h>

#include <cstdio>

#include "serial_api.h"  // <windows.h>

namespace {

constexpr int32_t kDefaultColumns = 80;

// Set by the console's control handler, which Windows runs on a thread of
// its own.
volatile sig_atomic_t interruptSeen = 0;
bool interruptCaught = false;

BOOL WINAPI NoteInterrupt(DWORD controlType)
{
    if (controlType != CTRL_C_EVENT && controlType != CTRL_BREAK_EVENT) return FALSE;
    interruptSeen = 1;
    return TRUE;  // handled: the process goes on and ends the run itself
}

}  // namespace

int32_t TerminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
    return kDefaultColumns;
}

void SetStandardInputBinary()
{
    // The C runtime opens standard input in text mode, which would turn
    // 13 10 into 10 and end the stream at a byte 26.
    _setmode(_fileno(stdin), _O_BINARY);
}

void CatchInterrupt()
{
    if (interruptCaught) return;
    interruptSeen = 0;
    interruptCaught = SetConsoleCtrlHandler(NoteInterrupt, TRUE) != 0;
}

bool WasInterrupted()
{
    return interruptSeen != 0;
}

void ReleaseInterrupt()
{
    if (!interruptCaught) return;
    SetConsoleCtrlHandler(NoteInterrupt, FALSE);
    interruptCaught = false;
}
