// The serial link to the infrared receiver.
#pragma once

#include "link/device_path_prefix.h"  // put in front of every port name
#include "serial_api.h"  // the platform's serial services, Win32 style

// The open serial device, or null while no port is open.
extern HANDLE receiverPort;

// Sets the fields of the receiver's line in a record read from the device:
// 57600 baud, 8N1, no flow control of any kind, no character processing,
// DTR and RTS moved only on request.  Every other field stays as read.
void SetReceiverLine(DCB& dcb);

// Sets the three read time-outs in a record read from the device: a read
// of N bytes returns at N bytes, once more than 20 ms pass after a byte, or
// 2 x N + 100 ms after it began.  The write time-outs stay as read.
void SetReceiverReadTimeouts(COMMTIMEOUTS& timeouts);

// Opens the port exclusively, sets 57600 8N1 raw with the read time-outs,
// holds RTS and DTR low for 500 ms, then raises RTS and after it DTR.
// Gives 0 on success; 1 after printing the open-error message.
int OpenReceiverPort(const char* portName);

// Lowers DTR, then RTS, closes the device and clears receiverPort.
void CloseReceiverPort();
