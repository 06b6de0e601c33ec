// The entry point's work, apart from the console set-up around it.
#pragma once

// Parses the options, opens the receiver port and runs the monitor.
// Gives 0 after a run that a key ended, -1 when the port cannot be opened.
int RunIrtick(int argumentCount, const char* const* argumentTexts);
