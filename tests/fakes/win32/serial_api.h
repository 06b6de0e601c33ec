// The serial calls for tests on Windows: the real Win32 types and
// constants, with the calls renamed to the recording stand-ins of
// fakes/fake_serial_api.cpp.
//
// The core calls kernel32 through import entries that are bound when it is
// compiled, so on Windows the stand-ins cannot replace the calls by name at
// link time as they do elsewhere.  Instead the tests compile the stand-ins,
// and their own copies of the core units, with this header in front of
// the platform's serial_api.h.
#pragma once

#include "../../../src/win32/serial_api.h"

#define CreateFileA FakeCreateFileA
#define GetCommState FakeGetCommState
#define SetCommState FakeSetCommState
#define GetCommTimeouts FakeGetCommTimeouts
#define SetCommTimeouts FakeSetCommTimeouts
#define SetCommMask FakeSetCommMask
#define EscapeCommFunction FakeEscapeCommFunction
#define CloseHandle FakeCloseHandle
#define GetLastError FakeGetLastError
#define Sleep FakeSleep
#define ReadFile FakeReadFile

// The stand-ins, in the forms that fake_serial_api.cpp defines them.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   void* securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL GetCommState(HANDLE file, DCB* dcb);
BOOL SetCommState(HANDLE file, DCB* dcb);
BOOL GetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts);
BOOL SetCommTimeouts(HANDLE file, COMMTIMEOUTS* timeouts);
BOOL SetCommMask(HANDLE file, DWORD eventMask);
BOOL EscapeCommFunction(HANDLE file, DWORD function);
BOOL CloseHandle(HANDLE object);
DWORD GetLastError();
void Sleep(DWORD milliseconds);
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
              void* overlapped);
