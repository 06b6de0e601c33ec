// IsKeyWaiting and ReadKey on the console this test runs in: the test puts
// input events into the console's input buffer and reads them back through
// the console services.  Without a console (a pipe-only CI job, Wine
// without a terminal) there is nothing to put events into, and the tests
// are skipped.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "app/console.h"
#include "serial_api.h"  // <windows.h>

namespace {

constexpr WORD kScanA = 30;
constexpr WORD kScanEnter = 28;
constexpr WORD kScanLeftShift = 42;
constexpr WORD kScanUp = 72;
constexpr WORD kScanF1 = 59;
constexpr WORD kScanC = 46;

INPUT_RECORD KeyEvent(bool down, WORD scanCode, char character, DWORD controlKeys)
{
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualScanCode = scanCode;
    record.Event.KeyEvent.uChar.AsciiChar = character;
    record.Event.KeyEvent.dwControlKeyState = controlKeys;
    return record;
}

INPUT_RECORD MouseMove()
{
    INPUT_RECORD record = {};
    record.EventType = MOUSE_EVENT;
    record.Event.MouseEvent.dwEventFlags = MOUSE_MOVED;
    return record;
}

INPUT_RECORD FocusGained()
{
    INPUT_RECORD record = {};
    record.EventType = FOCUS_EVENT;
    record.Event.FocusEvent.bSetFocus = TRUE;
    return record;
}

// Events that never count as a key press.
std::vector<INPUT_RECORD> EventsThatAreNoKey()
{
    return {KeyEvent(false, kScanA, 'a', 0), KeyEvent(true, kScanLeftShift, 0, SHIFT_PRESSED),
            KeyEvent(false, kScanLeftShift, 0, 0), MouseMove(), FocusGained()};
}

class Win32ConsoleKeyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD mode = 0;
        if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
            GTEST_SKIP() << "no console to put key events into";
        }
        originalMode = mode;
        FlushConsoleInputBuffer(input);
        RestoreConsole();  // nothing held from an earlier test
    }

    void TearDown() override
    {
        RestoreConsole();
        if (input == INVALID_HANDLE_VALUE) return;
        FlushConsoleInputBuffer(input);
        SetConsoleMode(input, originalMode);
        CloseHandle(input);
    }

    void Put(const std::vector<INPUT_RECORD>& events)
    {
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputA(input, events.data(), static_cast<DWORD>(events.size()),
                                       &written));
    }

    // ReadKey only after a positive IsKeyWaiting, as the monitor calls it:
    // a ReadKey without a key would wait for the keyboard.
    static int ReadWaitingKey() { return IsKeyWaiting() ? ReadKey() : kNothingWaiting; }

    static constexpr int kNothingWaiting = -2;

    DWORD WaitingEvents()
    {
        DWORD count = 0;
        GetNumberOfConsoleInputEvents(input, &count);
        return count;
    }

    HANDLE input = INVALID_HANDLE_VALUE;
    DWORD originalMode = 0;
};

TEST_F(Win32ConsoleKeyboard, EventsThatAreNoKeyAreNotWaitingAndStayInTheInput)
{
    const std::vector<INPUT_RECORD> events = EventsThatAreNoKey();
    Put(events);
    EXPECT_FALSE(IsKeyWaiting());
    EXPECT_FALSE(IsKeyWaiting());
    EXPECT_EQ(WaitingEvents(), events.size());
}

// More events that are no key than one look takes (key releases while a
// key is held, mouse moves): the key behind them is still found, and
// without it no key is waiting.
TEST_F(Win32ConsoleKeyboard, KeyBehindManyEventsThatAreNoKeyIsFound)
{
    constexpr size_t kManyEvents = 300;
    for (const bool keyBehind : {true, false}) {
        SCOPED_TRACE(keyBehind ? "a key behind them" : "no key");
        std::vector<INPUT_RECORD> events;
        for (size_t i = 0; i < kManyEvents; ++i) {
            events.push_back(i % 2 == 0 ? KeyEvent(false, kScanA, 'a', 0) : MouseMove());
        }
        if (keyBehind) events.push_back(KeyEvent(true, kScanA, 'q', 0));
        Put(events);
        for (int poll = 0; poll < 3; ++poll) EXPECT_EQ(IsKeyWaiting(), keyBehind);
        if (keyBehind) EXPECT_EQ(ReadKey(), 'q');
        EXPECT_FALSE(IsKeyWaiting());
        FlushConsoleInputBuffer(input);
    }
}

TEST_F(Win32ConsoleKeyboard, ReadKeyPassesOverEventsThatAreNoKeyAndLeavesTheRest)
{
    std::vector<INPUT_RECORD> events = EventsThatAreNoKey();
    events.push_back(KeyEvent(true, kScanA, 'a', 0));
    events.push_back(KeyEvent(false, kScanA, 'a', 0));
    Put(events);
    EXPECT_EQ(ReadWaitingKey(), 'a');
    // The release behind the key is still there, and is no key.
    EXPECT_EQ(WaitingEvents(), 1u);
    EXPECT_FALSE(IsKeyWaiting());
}

TEST_F(Win32ConsoleKeyboard, ExtendedKeysGiveTwoCodesTheSecondHeldAsWaiting)
{
    Put({KeyEvent(true, kScanUp, 0, ENHANCED_KEY), KeyEvent(true, kScanF1, 0, 0)});
    EXPECT_EQ(ReadWaitingKey(), 224);
    EXPECT_EQ(ReadWaitingKey(), 72);
    EXPECT_EQ(ReadWaitingKey(), 0);
    EXPECT_EQ(ReadWaitingKey(), 59);
    EXPECT_FALSE(IsKeyWaiting());
    EXPECT_EQ(WaitingEvents(), 0u);
}

TEST_F(Win32ConsoleKeyboard, EnterGivesThirteenAndTheConsoleModeIsKept)
{
    const DWORD lineMode = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
    SetConsoleMode(input, lineMode);
    Put({KeyEvent(true, kScanEnter, '\r', 0)});
    EXPECT_EQ(ReadWaitingKey(), 13);
    DWORD mode = 0;
    GetConsoleMode(input, &mode);
    EXPECT_EQ(mode, lineMode);
}

TEST_F(Win32ConsoleKeyboard, ReadKeyRunsInModeZeroAndTakesCtrlCAsThree)
{
    // ReadKey waits in a thread of its own for a key while the test looks at
    // the console's mode, then gives it Ctrl+C: with processed input still
    // on, the console would take Ctrl+C as the interrupt instead of a key.
    const DWORD processedMode = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
    SetConsoleMode(input, processedMode);
    int keyCode = kNothingWaiting;
    std::thread reader([&keyCode] { keyCode = ReadKey(); });
    DWORD modeDuringRead = processedMode;
    // Generous: a loaded machine may start the thread late.
    for (int attempt = 0; attempt < 1000 && modeDuringRead != 0; ++attempt) {
        Sleep(10);
        GetConsoleMode(input, &modeDuringRead);
    }
    EXPECT_EQ(modeDuringRead, 0u);
    if (modeDuringRead == 0) {
        Put({KeyEvent(true, kScanC, 3, LEFT_CTRL_PRESSED)});
    } else {
        Put({KeyEvent(true, kScanA, 'a', 0)});  // ends the read all the same
    }
    reader.join();
    if (modeDuringRead == 0) EXPECT_EQ(keyCode, 3);
    DWORD modeAfter = 0;
    GetConsoleMode(input, &modeAfter);
    EXPECT_EQ(modeAfter, processedMode);
}

}  // namespace
