// send_console_keys: puts key presses into the console of a running
// program, as a keyboard would, for the end-to-end check of irtick.exe
// under Wine (tools/check-windows-e2e.sh).
//
//   send_console_keys PROGRAM.exe KEY...     KEY: enter, space, f1, up, or
//                                            one letter (a..z)
//
// Finds the process by its program name, attaches to its console and
// writes a key-down and a key-up event for every key, in order.  Exit
// status 0 when every event was written, 1 when the process or its console
// was not found or a write failed, 2 for bad usage.

#include <windows.h>
#include <tlhelp32.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadUsage = 2;

struct NamedKey {
    const char* name;
    WORD virtualKey;
    WORD scanCode;
    char character;
    DWORD controlKeys;
};

// The keys by name: what a PC keyboard reports for each.  The arrow of the
// cursor block carries the enhanced flag; F1 and the arrow give no
// character.
const NamedKey kNamedKeys[] = {
    {"enter", VK_RETURN, 28, '\r', 0},
    {"space", VK_SPACE, 57, ' ', 0},
    {"f1", VK_F1, 59, 0, 0},
    {"up", VK_UP, 72, 0, ENHANCED_KEY},
};

bool KeyOfName(const char* name, NamedKey* key)
{
    for (const NamedKey& named : kNamedKeys) {
        if (std::strcmp(named.name, name) == 0) {
            *key = named;
            return true;
        }
    }
    if (std::strlen(name) == 1 && std::islower(static_cast<unsigned char>(name[0]))) {
        const char letter = name[0];
        const SHORT scan = static_cast<SHORT>(MapVirtualKeyA(std::toupper(letter), MAPVK_VK_TO_VSC));
        *key = {name, static_cast<WORD>(std::toupper(letter)), static_cast<WORD>(scan), letter, 0};
        return true;
    }
    return false;
}

DWORD ProcessIdOfProgram(const char* program)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && found == 0;
         more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, program) == 0) found = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return found;
}

INPUT_RECORD KeyRecord(const NamedKey& key, bool down)
{
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = key.virtualKey;
    record.Event.KeyEvent.wVirtualScanCode = key.scanCode;
    record.Event.KeyEvent.uChar.AsciiChar = key.character;
    record.Event.KeyEvent.dwControlKeyState = key.controlKeys;
    return record;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: send_console_keys PROGRAM.exe KEY...\n");
        return kExitBadUsage;
    }
    INPUT_RECORD records[2 * 16];
    const int keyCount = argc - 2;
    if (keyCount > 16) {
        std::fprintf(stderr, "send_console_keys: at most 16 keys\n");
        return kExitBadUsage;
    }
    for (int index = 0; index < keyCount; ++index) {
        NamedKey key;
        if (!KeyOfName(argv[index + 2], &key)) {
            std::fprintf(stderr, "send_console_keys: unknown key %s\n", argv[index + 2]);
            return kExitBadUsage;
        }
        records[2 * index] = KeyRecord(key, true);
        records[2 * index + 1] = KeyRecord(key, false);
    }

    const DWORD processId = ProcessIdOfProgram(argv[1]);
    if (processId == 0) {
        std::fprintf(stderr, "send_console_keys: %s is not running\n", argv[1]);
        return kExitFailed;
    }
    // A process has at most one console: leave our own (if any) first.
    FreeConsole();
    if (!AttachConsole(processId)) {
        std::fprintf(stderr, "send_console_keys: no console of process %lu (%lu)\n",
                     static_cast<unsigned long>(processId),
                     static_cast<unsigned long>(GetLastError()));
        return kExitFailed;
    }
    const HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     0, nullptr);
    if (input == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "send_console_keys: cannot open the console input (%lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        FreeConsole();
        return kExitFailed;
    }
    DWORD written = 0;
    const DWORD recordCount = static_cast<DWORD>(2 * keyCount);
    const BOOL wrote = WriteConsoleInputA(input, records, recordCount, &written);
    CloseHandle(input);
    FreeConsole();
    if (!wrote || written != recordCount) {
        std::fprintf(stderr, "send_console_keys: %lu of %lu events written\n",
                     static_cast<unsigned long>(written), static_cast<unsigned long>(recordCount));
        return kExitFailed;
    }
    return kExitDone;
}
