// A program that drives the console services the way irtick does, for the
// tests that need them in a process of their own (standard output
// redirected, or no console at all).  Its exit status tells what it found.
//   console_probe output      prints a set of texts to a redirected output
//   console_probe no-console  checks that no key is waiting and none reads

#include <cstring>

#include "app/console.h"
#include "serial_api.h"  // <windows.h>

namespace {

constexpr int kProbeOk = 0;
constexpr int kProbeUsage = 2;
constexpr int kProbeOutputNotHeld = 3;
constexpr int kProbeKeyFromNowhere = 4;

// Bytes that have reached standard output's file so far.
long long WrittenBytes()
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(GetStdHandle(STD_OUTPUT_HANDLE), &size)) return -1;
    return size.QuadPart;
}

int PrintToFile()
{
    PrepareConsole();
    PrintText("%3i ", 7);
    PrintText("  %5i ", 258 * 64);
    PrintText("%c", 0);
    PrintText("\nNEC Code: %08X\n", 0xBA45FF00u);
    // Longer than any text the monitor prints.
    char longText[600];
    std::memset(longText, 'x', sizeof longText - 1);
    longText[sizeof longText - 1] = '\0';
    PrintText("%s|", longText);
    // To a file the output is held until the console is restored.
    if (WrittenBytes() != 0) return kProbeOutputNotHeld;
    RestoreConsole();
    RestoreConsole();
    return kProbeOk;
}

int ReadWithoutConsole()
{
    PrepareConsole();
    const bool waiting = IsKeyWaiting();
    const int key = ReadKey();
    RestoreConsole();
    return (!waiting && key == -1) ? kProbeOk : kProbeKeyFromNowhere;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "output") == 0) return PrintToFile();
    if (argc == 2 && std::strcmp(argv[1], "no-console") == 0) return ReadWithoutConsole();
    return kProbeUsage;
}
