#include "ending_signals.h"

#include <cerrno>
#include <cstddef>

#include "app/console_output.h"
#include "terminal_state.h"

namespace {

struct EndingSignal {
    int signalNumber;
    bool writeOutOutput;  // whether the held output is written out first
};

// Every signal whose default action ends the process (Linux signal(7)),
// the real-time signals aside (added by number below).
const EndingSignal kEndingSignals[] = {
    {SIGHUP, true},   // the terminal or its window went away
    {SIGINT, true},   // Ctrl+C
    {SIGQUIT, true},  // kill -QUIT (Ctrl+\ is a key during the run)
    {SIGTERM, true},  // kill, timeout
    {SIGILL, true},   // the faults: the held output lives in static memory
    {SIGTRAP, true},  // and its counts are checked, so writing it out is
    {SIGABRT, true},  // safe however the program failed
    {SIGBUS, true},
    {SIGFPE, true},
    {SIGSEGV, true},
    {SIGSYS, true},
    {SIGUSR1, true},
    {SIGUSR2, true},
    {SIGALRM, true},
    {SIGVTALRM, true},
    {SIGPROF, true},
    {SIGXCPU, true},
    // The output file has reached its size limit: a write beyond it fails
    // and raises SIGXFSZ again.
    {SIGXFSZ, false},
#ifdef SIGSTKFLT
    {SIGSTKFLT, true},
#endif
#ifdef SIGPOLL
    {SIGPOLL, true},
#endif
#ifdef SIGPWR
    {SIGPWR, true},
#endif
};
constexpr size_t kEndingSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];

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

bool WritesOutOutput(int signalNumber)
{
    for (const EndingSignal& ending : kEndingSignals) {
        if (ending.signalNumber == signalNumber) return ending.writeOutOutput;
    }
    return true;  // a real-time signal
}

void EndBySignal(int signalNumber)
{
    const int savedErrno = errno;
    PutTerminalBackOnEnding();
    if (!endingStarted) {
        endingStarted = 1;
        if (WritesOutOutput(signalNumber)) WriteOutHeldOutputOnEnding();
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
    for (const EndingSignal& ending : kEndingSignals) visit(ending.signalNumber);
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
