// Runs the built irtick the way a user does: with a pseudo-terminal as its
// controlling terminal and another pseudo-terminal (or a file) as its port.
//
// The harness plays the shell: a session leader owns the terminal and
// starts irtick as the foreground job in a process group of its own, so the
// terminal's job-control signals (Ctrl+C, Ctrl+Z) reach irtick as they would
// from a shell.  The test process holds both masters: it writes the
// receiver's bytes to the port master, types keys on the terminal master and
// reads what irtick prints from it.  Every wait has a deadline; a run that
// outlives its deadline is killed, so a test never hangs.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

// The harness waits with the timing unit of the POSIX layer.
#include "deadline.h"

// One pseudo-terminal pair; the harness keeps the slave open as well, so
// bytes written to the master wait in the slave's input queue and the
// settings of the slave can be read at any time.
struct PtyPair {
    int master = -1;
    int slave = -1;
    std::string slavePath;
};

// Opens a pair, both ends close-on-exec and the master non-blocking.
// 0 on success, -1 on failure.
int OpenPtyPair(PtyPair* pair);
void ClosePtyPair(PtyPair* pair);

// Makes the line fully raw at 9600 baud.  irtick sets 57600, so the speed shows when it has configured
// the line.  0 on success, -1 on failure.
int MakeLineRaw(int fd);

// How one irtick process is started.
struct IrtickLaunch {
    // Everything after the program name, the port option included.
    std::vector<std::string> arguments;
    // Programs run in front of irtick, which becomes their argument
    // (an unshare wrapper); the first is looked up in PATH.
    std::vector<std::string> commandPrefix;
    // Empty: the current directory of the tests.
    std::string workingDirectory;
    // Empty: standard input is the terminal.
    std::string standardInputFile;
    // Empty and standardOutputFd < 0: standard output is the terminal.
    std::string standardOutputFile;
    int standardOutputFd = -1;
    // Standard descriptors (0, 1, 2) irtick starts with closed, as after
    // `<&- >&-` in a shell.
    std::vector<int> closedStandardDescriptors;
    // Non-empty: irtick runs with the modem-log library preloaded,
    // writing its records to this file.
    std::string modemLogPath;
};

// One started irtick process.
struct IrtickRun {
    pid_t pid = -1;        // irtick itself
    pid_t leaderPid = -1;  // the session leader that waits for it
    int statusPipe = -1;   // the leader reports irtick's wait status here
    PtyPair terminal;
    termios terminalBefore = {};  // the terminal's settings before the start
    std::string output;           // everything read from the terminal so far
    bool ended = false;
    int waitStatus = 0;
};

// Starts irtick; the terminal pair is created here with a fixed, slightly
// unusual starting state, recorded in terminalBefore.  0 on success.
int StartIrtick(const IrtickLaunch& launch, IrtickRun* run);

// Moves what irtick has printed so far into run->output; never waits.
void DrainTerminal(IrtickRun* run);

// Calls condition every few milliseconds (draining the terminal between
// calls when run is given) until it is true or timeoutMs have passed.
bool WaitFor(IrtickRun* run, const std::function<bool()>& condition, int timeoutMs);

// Until run->output contains text.
bool ReadTerminalUntil(IrtickRun* run, const std::string& text, int timeoutMs);

// Keeps draining the terminal for the given time.
void ReadTerminalFor(IrtickRun* run, int milliseconds);

// Types bytes on the terminal as keys.  true when all were written.
bool TypeKeys(IrtickRun* run, const std::string& keys);

// Writes bytes to a master (the receiver's side of the port).
bool WriteAll(int fd, const std::string& bytes);

// true while irtick has not ended; collects the status once it has.
bool IsRunning(IrtickRun* run);

// Waits for irtick to end.  On time-out it is killed and false returned.
bool WaitForExit(IrtickRun* run, int timeoutMs);

// Kills irtick if it still runs, reaps both processes and closes the
// terminal.  Safe to call more than once.
void StopIrtick(IrtickRun* run);

// Until the terminal is in irtick's key mode (echo off).
bool WaitForKeyMode(IrtickRun* run, int timeoutMs);

// Until irtick has applied its line settings to the port (57600 baud).
bool WaitForLineConfigured(IrtickRun* run, int portFd, int timeoutMs);

// Bytes waiting to be read on a terminal (FIONREAD), -1 on failure.
int BytesWaiting(int fd);

// Bytes a process has taken with read() so far (rchar of /proc/<pid>/io),
// -1 on failure.  Unlike the bytes waiting on a pseudo-terminal this shows
// that bytes were taken, not merely that they have not arrived yet: what
// is written to a master reaches the slave's queue a little later.
long long BytesReadByProcess(pid_t pid);

// User plus system CPU time of a process in clock ticks, -1 on failure.
long CpuTicks(pid_t pid);

// The state letter of /proc/<pid>/stat ('R', 'S', 'T', ...), 0 on failure.
char ProcessState(pid_t pid);

// Compares two terminal settings field by field, c_cc and speeds
// included; returns a description of every difference, empty if none.
std::string DescribeTermiosDifferences(const termios& expected, const termios& actual);

// One record of the modem-log library.
struct ModemLogEntry {
    long long milliseconds = 0;
    std::string request;  // MBIS, MBIC, MSET or TERMIOS
    std::string path;     // the descriptor's path
    unsigned value = 0;   // TIOCM_* bits
};

std::vector<ModemLogEntry> ReadModemLog(const std::string& logPath);

// The states RTS and DTR go through by the modem requests on one path,
// starting from both high (Linux raises both when a port opens); each entry
// is a change of state, with the time of the request that made it.
struct LineState {
    long long milliseconds = 0;
    bool rts = true;
    bool dtr = true;
};

std::vector<LineState> LineStateChanges(const std::vector<ModemLogEntry>& log,
                                        const std::string& path);

// "RTS high, DTR low" and the like, for messages.
std::string DescribeLineState(const LineState& state);

// Until the modem log shows the receiver powered up on portPath: both
// lines high again after they were lowered.
bool WaitForPowerUp(IrtickRun* run, const std::string& logPath, const std::string& portPath,
                    int timeoutMs);

// A fresh directory under the system's temporary directory, and its removal
// with the files in it.
std::string MakeTemporaryDirectory();
void RemoveTemporaryDirectory(const std::string& path);

bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);

// Shows control bytes of a terminal transcript readably, for messages.
std::string Printable(const std::string& bytes);
