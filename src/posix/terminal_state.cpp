#include "terminal_state.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "ending_signals.h"

namespace {

// Input processing switched off for the run.  Everything here acts on keys
// only; the output flags and the signal keys (ISIG) stay as found, apart
// from the quit character (below).
constexpr tcflag_t kLocalFlagsOff =
    ICANON    // each key on its own, not a line at a time
    | ECHO    // keys not echoed
    | ECHONL  // not even a line feed
    | IEXTEN; // Ctrl+V, and on BSD Ctrl+O (discards output) and Ctrl+Y, are plain keys
constexpr tcflag_t kInputFlagsOff =
    ICRNL     // Enter arrives as 13, not translated to 10
    | INLCR | IGNCR
    | IXON    // Ctrl+S / Ctrl+Q are keys; output can never be frozen
    | IXOFF
    | ISTRIP  // all 8 bits, so UTF-8 characters arrive intact
    | PARMRK  // a byte 0xFF arrives once, not doubled
#ifdef IUCLC
    | IUCLC   // letters untranslated (Linux only)
#endif
    ;
constexpr cc_t kReadOneByte = 1;
// Ctrl+\ is a key, as on a Windows console: a quit character that raised
// SIGQUIT would end the run with the receiver left powered.  Ctrl+C (VINTR)
// and Ctrl+Z (VSUSP) keep their signals.
constexpr cc_t kNoCharacter = _POSIX_VDISABLE;
constexpr cc_t kNoInterByteTimer = 0;

// The terminal in key mode, and its settings as found and for the run.
// Written only while the handlers cannot run (not yet installed, or
// blocked); read by the handlers.
int keyModeFd = -1;
termios foundSettings{};
termios keySettings{};
// Key mode is on: between EnterKeyMode and LeaveKeyMode.
volatile sig_atomic_t keyModeWanted = 0;
// The terminal holds the run's settings now (not while suspended).
volatile sig_atomic_t keySettingsActive = 0;

void StopOnSignal(int signalNumber);
void ResumeOnSignal(int signalNumber);

struct HandledSignal {
    int signalNumber;
    void (*handler)(int);
};

// The signals that end the process are handled in ending_signals.cpp.
const HandledSignal kHandledSignals[] = {
    {SIGTSTP, StopOnSignal}, // Ctrl+Z
    {SIGCONT, ResumeOnSignal},
};
constexpr size_t kHandledSignalCount = sizeof(kHandledSignals) / sizeof(kHandledSignals[0]);

struct SavedAction {
    bool replaced;
    struct sigaction previous;
};
SavedAction savedActions[kHandledSignalCount];

// Async-signal-safe: tcsetattr only.  TCSANOW: waiting for the output to
// drain could hang on a terminal nobody reads any more.
void PutFoundSettingsBack()
{
    if (keySettingsActive) {
        tcsetattr(keyModeFd, TCSANOW, &foundSettings);
        keySettingsActive = 0;
    }
}

void PutKeySettingsOnInForeground()
{
    if (keyModeWanted && !keySettingsActive && IsInForegroundOf(keyModeFd)) {
        keySettingsActive = 1;
        tcsetattr(keyModeFd, TCSANOW, &keySettings);
    }
}

void SetDefaultAction(int signalNumber)
{
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signalNumber, &byDefault, nullptr);
}

// The signals of key mode and the ending signals, which read its state,
// and SIGTTOU: a handler that puts settings back must not be stopped for it
// when the process is not in the foreground.
void FillKeyModeSignals(sigset_t* signals)
{
    sigemptyset(signals);
    for (const HandledSignal& handled : kHandledSignals) sigaddset(signals, handled.signalNumber);
    AddEndingSignals(signals);
    sigaddset(signals, SIGTTOU);
}

void InstallHandler(size_t index)
{
    const HandledSignal& handled = kHandledSignals[index];
    SavedAction& saved = savedActions[index];
    saved.replaced = false;
    if (sigaction(handled.signalNumber, nullptr, &saved.previous) != 0) return;
    // A signal the caller has set to be ignored (nohup, a background job of
    // a shell without job control) stays ignored.
    const bool ignored = (saved.previous.sa_flags & SA_SIGINFO) == 0 &&
                         saved.previous.sa_handler == SIG_IGN;
    if (ignored && handled.signalNumber != SIGCONT) return;

    struct sigaction ours {};
    ours.sa_handler = handled.handler;
    FillKeyModeSignals(&ours.sa_mask);
    ours.sa_flags = SA_RESTART;
    saved.replaced = sigaction(handled.signalNumber, &ours, nullptr) == 0;
}

void InstallHandlers()
{
    for (size_t i = 0; i < kHandledSignalCount; ++i) InstallHandler(i);
}

void RemoveHandlers()
{
    for (size_t i = 0; i < kHandledSignalCount; ++i) {
        if (savedActions[i].replaced) {
            sigaction(kHandledSignals[i].signalNumber, &savedActions[i].previous, nullptr);
            savedActions[i].replaced = false;
        }
    }
}

// SIGTSTP: the terminal as found, then stop as the default action does.
// Execution goes on here once the process is continued.
void StopOnSignal(int signalNumber)
{
    const int savedErrno = errno;
    PutFoundSettingsBack();
    SetDefaultAction(signalNumber);
    raise(signalNumber);  // pending: blocked while this handler runs
    sigset_t stopSignal;
    sigemptyset(&stopSignal);
    sigaddset(&stopSignal, signalNumber);
    sigprocmask(SIG_UNBLOCK, &stopSignal, nullptr);  // the process stops here

    // Continued (or never stopped: the kernel drops SIGTSTP for a process
    // group that no job-control shell watches).
    struct sigaction ours {};
    ours.sa_handler = StopOnSignal;
    FillKeyModeSignals(&ours.sa_mask);
    ours.sa_flags = SA_RESTART;
    sigaction(signalNumber, &ours, nullptr);
    PutKeySettingsOnInForeground();
    errno = savedErrno;
}

// SIGCONT: back in the foreground (fg), the keys are switched again; in the
// background (bg) the terminal stays as the foreground job has it.
void ResumeOnSignal(int)
{
    const int savedErrno = errno;
    PutKeySettingsOnInForeground();
    errno = savedErrno;
}

bool KeySettingsTook(int fd)
{
    termios now{};
    if (tcgetattr(fd, &now) != 0) return false;
    return (now.c_lflag & kLocalFlagsOff) == 0 && (now.c_iflag & kInputFlagsOff) == 0 &&
           now.c_cc[VMIN] == kReadOneByte && now.c_cc[VTIME] == kNoInterByteTimer &&
           now.c_cc[VQUIT] == kNoCharacter;
}

}  // namespace

termios MakeKeyModeSettings(const termios& found)
{
    termios keys = found;
    keys.c_lflag &= ~kLocalFlagsOff;
    keys.c_iflag &= ~kInputFlagsOff;
    keys.c_cc[VMIN] = kReadOneByte;
    keys.c_cc[VTIME] = kNoInterByteTimer;
    keys.c_cc[VQUIT] = kNoCharacter;
    return keys;
}

void PutTerminalBackOnEnding()
{
    keyModeWanted = 0;
    PutFoundSettingsBack();
}

bool IsInForegroundOf(int fd)
{
    const pid_t foreground = tcgetpgrp(fd);
    // Fails for a terminal that is not the controlling one.
    if (foreground < 0) return true;
    return foreground == getpgrp();
}

int EnterKeyMode(int fd)
{
    if (keyModeFd >= 0) return -1;
    termios found{};
    if (tcgetattr(fd, &found) != 0) return -1;

    // No handler may run between the settings and the flags that say which
    // settings the terminal holds.
    // SIGTTOU is left out here: a process moved to the background in the
    // meantime is stopped until it is in the foreground again.
    sigset_t keyModeSignals;
    sigset_t previousMask;
    FillKeyModeSignals(&keyModeSignals);
    sigdelset(&keyModeSignals, SIGTTOU);
    sigprocmask(SIG_BLOCK, &keyModeSignals, &previousMask);

    foundSettings = found;
    keySettings = MakeKeyModeSettings(found);
    keyModeFd = fd;
    InstallHandlers();
    keyModeWanted = 1;
    int result = 0;
    if (IsInForegroundOf(fd)) {
        keySettingsActive = 1;
        if (tcsetattr(fd, TCSANOW, &keySettings) != 0 || !KeySettingsTook(fd)) {
            // tcsetattr succeeds when any part of the change took: put back
            // what was found and read no keys from this terminal.
            tcsetattr(fd, TCSANOW, &foundSettings);
            keySettingsActive = 0;
            keyModeWanted = 0;
            RemoveHandlers();
            keyModeFd = -1;
            result = -1;
        }
    }
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    return result;
}

void LeaveKeyMode()
{
    if (keyModeFd < 0) return;
    sigset_t keyModeSignals;
    sigset_t previousMask;
    FillKeyModeSignals(&keyModeSignals);
    sigprocmask(SIG_BLOCK, &keyModeSignals, &previousMask);
    keyModeWanted = 0;
    PutFoundSettingsBack();
    RemoveHandlers();
    keyModeFd = -1;
    // Signals that came meanwhile take their previous action now.
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);
}
