#include "ending_signals.h"

#include <cerrno>
#include <cstddef>

#include "app/console_output.h"
#include "terminal_state.h"

namespace {

// Every signal whose default action ends the process (Linux signal(7)),
// the real-time signals aside (added by number below).  Each writes out the
// held output before it ends the process.
const int kEndingSignals[] = {
    SIGHUP,   // the terminal or its window went away
    SIGINT,   // Ctrl+C
    SIGQUIT,  // kill -QUIT (Ctrl+\ is a key during the run)
    SIGTERM,  // kill, timeout
    SIGILL,   // the faults: the held output lives in static memory
    SIGTRAP,  // and its counts are checked, so writing it out is
    SIGABRT,  // safe however the program failed
    SIGBUS,
    SIGFPE,
    SIGSEGV,
    SIGSYS,
    SIGUSR1,
    SIGUSR2,
    SIGALRM,
    SIGVTALRM,
    SIGPROF,
    SIGXCPU,
    // Sent, or the output file has reached its size limit.  Writing out is
    // safe at the limit too: what still fits goes in, the rest fails with
    // EFBIG (the SIGXFSZ that raises waits, blocked in the handler).
    SIGXFSZ,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};

// Room for the previous actions of the table's signals and the real-time
// signals.
constexpr int kMaxSignalNumber = 64;
struct sigaction previousActions[kMaxSignalNumber + 1];
bool replaced[kMaxSignalNumber + 1];
bool installed = false;

// Set by the first ending signal: a second one that comes while the first
// writes out (a reader that does not read) ends the process at once.
volatile sig_atomic_t endingStarted = 0;

// A stack of its own for the handler, so that a stack overflow (SIGSEGV)
// still puts the terminal back.
constexpr size_t kHandlerStackSize = 64 * 1024;
alignas(16) char handlerStack[kHandlerStackSize];

void EndBySignal(int signalNumber)
{
    const int savedErrno = errno;
    PutTerminalBackOnEnding();
    if (!endingStarted) {
        endingStarted = 1;
        WriteOutHeldOutputOnEnding();
    }
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signalNumber, &byDefault, nullptr);
    // Pending while this handler runs (the signal is blocked in it); it
    // ends the process with the signal's status as the handler returns.  A
    // fault (SIGSEGV ...) would also come again from the failed instruction.
    raise(signalNumber);
    errno = savedErrno;
}

void InstallOne(int signalNumber)
{
    if (signalNumber <= 0 || signalNumber > kMaxSignalNumber) return;
    replaced[signalNumber] = false;
    struct sigaction& previous = previousActions[signalNumber];
    if (sigaction(signalNumber, nullptr, &previous) != 0) return;
    // A signal the caller has set to be ignored (nohup, a background job of
    // a shell without job control) stays ignored.
    if ((previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler == SIG_IGN) return;

    struct sigaction ours {};
    ours.sa_handler = EndBySignal;
    // Job control's handlers must not switch the terminal back to the
    // run's settings meanwhile; SIGTTOU would stop a handler that puts the
    // settings back from the background.  Other ending signals may still
    // come: endingStarted lets them end the process at once.
    sigemptyset(&ours.sa_mask);
    sigaddset(&ours.sa_mask, SIGTSTP);
    sigaddset(&ours.sa_mask, SIGCONT);
    sigaddset(&ours.sa_mask, SIGTTOU);
    ours.sa_flags = SA_RESTART | SA_ONSTACK;
    replaced[signalNumber] = sigaction(signalNumber, &ours, nullptr) == 0;
}

template <typename Visit>
void ForEachEndingSignal(Visit visit)
{
    for (const int signalNumber : kEndingSignals) visit(signalNumber);
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) visit(number);
}

}  // namespace

void InstallEndingHandlers()
{
    if (installed) return;
    installed = true;
    endingStarted = 0;
    stack_t alternate{};
    alternate.ss_sp = handlerStack;
    alternate.ss_size = sizeof handlerStack;
    sigaltstack(&alternate, nullptr);
    ForEachEndingSignal(InstallOne);
}

void RemoveEndingHandlers()
{
    if (!installed) return;
    installed = false;
    ForEachEndingSignal([](int signalNumber) {
        if (signalNumber <= 0 || signalNumber > kMaxSignalNumber) return;
        if (replaced[signalNumber]) sigaction(signalNumber, &previousActions[signalNumber], nullptr);
        replaced[signalNumber] = false;
    });
}

void AddEndingSignals(sigset_t* signals)
{
    ForEachEndingSignal([signals](int signalNumber) { sigaddset(signals, signalNumber); });
}
