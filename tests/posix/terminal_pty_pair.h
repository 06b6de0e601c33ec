// Pseudo-terminal pairs and child processes for the tests of the console
// layer.  The slave side stands for the user's terminal; the test types on
// the master side and reads there what the program writes.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <string>

struct PtyPair {
    int master = -1;
    int slave = -1;  // opened without becoming a controlling terminal
    std::string slaveName;
};

// Opens a new pair; false on failure.
bool OpenPtyPair(PtyPair* pair);
void ClosePtyPair(PtyPair* pair);

// Writes all of text (to the master: keys typed on the terminal).
bool WriteAll(int fd, const std::string& text);

// Reads what arrives on fd until `wanted` bytes are there or `milliseconds`
// have passed.
std::string ReadFor(int fd, size_t wanted, int milliseconds);

// Waits until fd is readable; false after `milliseconds`.
bool WaitReadable(int fd, int milliseconds);

// The terminal's settings, zero-filled first so that two readings compare
// byte for byte.
termios TerminalSettings(int fd);
bool SameSettings(const termios& first, const termios& second);

// Waits for a child; false (and the child killed) if it has not ended
// within `milliseconds`.
bool WaitForChild(pid_t child, int milliseconds, int* status);

// The run's key settings are on: no line input, no echo.
bool InKeyMode(const termios& settings);

// In a child: a session of its own with the pseudo-terminal as its
// controlling terminal, as a terminal window gives a shell.
bool BecomeSessionOn(int terminal);

// In a child: every signal at its default action, whatever the test process
// was started with.
void DefaultSignalActions();

// In a child: signals that dump core leave no core file; the tests want
// only the status.
void NoCoreDumps();
