#include "fakes/fake_console.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "app/console.h"

std::string fakeConsoleOutput;
std::deque<int> fakeWaitingKeys;

void ResetFakeConsole()
{
    fakeConsoleOutput.clear();
    fakeWaitingKeys.clear();
}

void PrintText(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length > 0) {
        std::vector<char> text(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, arguments);
        fakeConsoleOutput.append(text.data(), static_cast<size_t>(length));
    }
    va_end(arguments);
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
