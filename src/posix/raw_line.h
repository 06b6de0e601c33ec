// A raw serial line from a known state.
//
// A terminal device keeps the settings of the last program that used it,
// and cfmakeraw() leaves hardware flow control, XON/XOFF on output, input
// parity checking and two stop bits as they were.  These functions set
// every flag word from scratch instead.
#pragma once

#include <termios.h>

// Fills the flag words, control characters and speeds of *line: no input,
// output or local processing (every byte 0..255 passes unchanged, none
// acts as a control character), receiver on, modem status lines ignored,
// no flow control, 8 data bits, no parity, 1 stop bit, HUPCL off, reads
// satisfied by one byte (VMIN 1, VTIME 0), both speeds `speed`.
void MakeRawLine(termios* line, speed_t speed);

// Applies MakeRawLine's settings to the terminal `fd`.  Gives 0, or the
// errno of the call that failed.
int ApplyRawLine(int fd, speed_t speed);
