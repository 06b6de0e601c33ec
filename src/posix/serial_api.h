// The serial services the receiver port is written in, for POSIX systems.
//
// The receiver port calls the Win32 serial functions by their Win32 names.
// This header gives those names on Linux: the types and constants it needs
// and functions built on open(), termios, ioctl() and poll() that do what
// the receiver port expects of each Win32 call.  Only what irtick uses is
// here.
#pragma once

#include <cstdint>

typedef void* HANDLE;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int BOOL;
typedef const char* LPCSTR;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

constexpr DWORD MAXDWORD = 0xFFFFFFFFu;

// CreateFileA arguments.
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;

// DCB values of the receiver's line, the only one SetCommState makes.
constexpr BYTE NOPARITY = 0;
constexpr BYTE ONESTOPBIT = 0;
constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_DISABLE = 0;

// EscapeCommFunction requests.
constexpr DWORD SETRTS = 3;
constexpr DWORD CLRRTS = 4;
constexpr DWORD SETDTR = 5;
constexpr DWORD CLRDTR = 6;

// Line settings, with the Win32 field names and layout.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};

// Read and write time-outs in milliseconds.
struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

// Every call below fails with EINVAL (FALSE, GetLastError() == EINVAL) for a
// request beyond what the receiver port makes.
//
// Opens an existing device or file: read and write access, no sharing,
// OPEN_EXISTING, nothing else.  The name may carry the "\\.\" device
// prefix; see MapDevicePath.  A terminal device is taken for this process
// alone (flock and TIOCEXCL); the controlling terminal is refused with
// EBUSY.  A regular file or a FIFO, a recorded stream, is opened read-only
// and shared.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   void* securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// See serial_line.cpp: only the receiver's raw 57600 8N1 line without flow
// control, DTR and RTS disabled (lowered), is made.
BOOL GetCommState(HANDLE file, DCB* dcb);
BOOL SetCommState(HANDLE file, DCB* dcb);
// The read time-outs are kept per handle; an interval of MAXDWORD is
// refused.  The write time-outs are kept but never apply: nothing is
// written.
BOOL GetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts);
BOOL SetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts);
BOOL SetCommMask(HANDLE file, DWORD eventMask);
// SETRTS, CLRRTS, SETDTR and CLRDTR.
BOOL EscapeCommFunction(HANDLE file, DWORD function);
BOOL CloseHandle(HANDLE object);
// Error code of the last failed call of this thread: the errno of the step
// that failed.
DWORD GetLastError();
void Sleep(DWORD milliseconds);
// Reads under the handle's time-outs; see serial_read.cpp.
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
              void* overlapped);
