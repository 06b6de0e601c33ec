#include "fakes/fake_console.h"

#include <cstdarg>

#include "app/console.h"
#include "app/formatted_text.h"

std::string fakeConsoleOutput;
std::deque<int> fakeWaitingKeys;
void (*fakeBeforePrint)() = nullptr;

void ResetFakeConsole()
{
    fakeConsoleOutput.clear();
    fakeWaitingKeys.clear();
    fakeBeforePrint = nullptr;
}

void PrintText(const char* format, ...)
{
    if (fakeBeforePrint != nullptr) fakeBeforePrint();
    char shortText[kShortTextSize];
    va_list arguments;
    va_start(arguments, format);
    FormattedText formatted = FormatText(shortText, sizeof shortText, format, arguments);
    va_end(arguments);
    if (formatted.text != nullptr) fakeConsoleOutput.append(formatted.text, formatted.length);
    ReleaseFormattedText(&formatted);
}

bool IsKeyWaiting() { return !fakeWaitingKeys.empty(); }

int ReadKey()
{
    if (fakeWaitingKeys.empty()) return -1;
    const int key = fakeWaitingKeys.front();
    fakeWaitingKeys.pop_front();
    return key;
}

void PrepareConsole() {}
void RestoreConsole() {}
