#include "app/formatted_text.h"

#include <cstdio>
#include <cstdlib>

FormattedText FormatText(char* shortBuffer, size_t shortSize, const char* format,
                         va_list arguments)
{
    FormattedText formatted = {nullptr, 0, nullptr};
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(shortBuffer, shortSize, format, arguments);
    if (length >= 0 && static_cast<size_t>(length) < shortSize) {
        formatted.text = shortBuffer;
        formatted.length = static_cast<size_t>(length);
    } else if (length >= 0) {
        const size_t size = static_cast<size_t>(length) + 1;
        formatted.ownBuffer = static_cast<char*>(std::malloc(size));
        if (formatted.ownBuffer != nullptr) {
            std::vsnprintf(formatted.ownBuffer, size, format, again);
            formatted.text = formatted.ownBuffer;
            formatted.length = static_cast<size_t>(length);
        }
    }
    va_end(again);
    return formatted;
}

void ReleaseFormattedText(FormattedText* formatted)
{
    std::free(formatted->ownBuffer);
    formatted->ownBuffer = nullptr;
    formatted->text = nullptr;
}
