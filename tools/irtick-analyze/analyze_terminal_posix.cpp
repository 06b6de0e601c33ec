// irtick-analyze's platform services on POSIX systems.
//
// The interrupt: SIGINT's handler only sets a flag.  The console unit
// (src/posix/terminal_state.cpp) installs its own SIGINT handler in
// PrepareConsole, which puts the terminal back and ends the process; the
// live run calls CatchInterrupt after PrepareConsole, so ours replaces it
// for the run, and ReleaseInterrupt puts it back before RestoreConsole
// removes it.  SIGTERM, SIGHUP, SIGQUIT and SIGTSTP stay the console
// unit's.

#include "analyze_terminal.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

namespace {

constexpr int32_t kDefaultColumns = 80;

volatile sig_atomic_t interruptSeen = 0;
bool interruptCaught = false;
struct sigaction previousInterrupt;

void NoteInterrupt(int)
{
    interruptSeen = 1;
}

}  // namespace

int32_t TerminalColumns()
{
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    // A pipe or file: the width the user's shell gives, if any.
    const char* columns = std::getenv("COLUMNS");
    const int32_t fromShell = columns != nullptr ? std::atoi(columns) : 0;
    return fromShell > 0 ? fromShell : kDefaultColumns;
}

void SetStandardInputBinary()
{
    // POSIX streams never translate bytes.
}

void CatchInterrupt()
{
    if (interruptCaught) return;
    interruptSeen = 0;
    struct sigaction current;
    if (sigaction(SIGINT, nullptr, &current) != 0) return;
    if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN) return;
    struct sigaction ours {};
    ours.sa_handler = NoteInterrupt;
    sigemptyset(&ours.sa_mask);
    ours.sa_flags = SA_RESTART;
    interruptCaught = sigaction(SIGINT, &ours, &previousInterrupt) == 0;
}

bool WasInterrupted()
{
    return interruptSeen != 0;
}

void ReleaseInterrupt()
{
    if (!interruptCaught) return;
    sigaction(SIGINT, &previousInterrupt, nullptr);
    interruptCaught = false;
}
