// The terminal's settings for the run: saved as found, switched for reading
// single keys, and put back as found however the run ends.
//
// For the whole run only the input side changes: keys are not echoed, each
// key is read on its own without waiting for Enter, Enter arrives as 13
// (carriage return, untranslated), Ctrl+S / Ctrl+Q are plain keys, so
// output never freezes, and Ctrl+\ is a plain key too (no quit character).
// Output processing stays as found (a line feed still starts a new line),
// and Ctrl+C and Ctrl+Z still raise their signals.
//
// The signals that end the process put the found settings back through
// PutTerminalBackOnEnding (ending_signals.h installs their handlers).
// While key mode is on, SIGTSTP puts them back before the process
// stops, and SIGCONT switches them again when the process is continued in
// the foreground.  A signal that was ignored when key mode began stays
// ignored.
#pragma once

#include <termios.h>

// The run's settings made from the ones found.
termios MakeKeyModeSettings(const termios& found);

// Saves fd's settings, installs the signal handlers and switches the
// terminal to the run's settings, then reads them back to check that they
// took.  A process in the background does not switch the terminal now (a
// background process that changes the terminal is stopped, and it would
// change the settings under the foreground job); it switches when it is
// continued in the foreground.  Gives 0 on success and -1 when fd is no
// terminal or refuses the settings; the terminal is then as found and no
// handler is left installed.  Key mode is on for one terminal at a time.
int EnterKeyMode(int fd);

// From a handler of a signal that ends the process: puts back the settings
// EnterKeyMode found, if the terminal holds the run's settings now.
// Async-signal-safe.
void PutTerminalBackOnEnding();

// Puts back the settings EnterKeyMode found and removes its handlers.
// Safe to call again, and without EnterKeyMode.
void LeaveKeyMode();

// False when fd is this process's controlling terminal and another process
// group is in its foreground; true otherwise (also for a terminal that is
// not the controlling one, which such a process may use freely).
// Async-signal-safe.
bool IsInForegroundOf(int fd);
