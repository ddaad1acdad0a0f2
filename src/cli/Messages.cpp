// SPDX-License-Identifier: MIT
#include "cli/Messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace kov::cli {

namespace {

// The locale for messages as the C library chooses it: the first of LC_ALL, LC_MESSAGES and
// LANG that is set and not empty.
const char* messagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return "";
}

}  // namespace

bool japaneseMessages() {
    static const bool japanese = std::strncmp(messagesLocale(), "ja", 2) == 0;
    return japanese;
}

std::string formatted(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

}  // namespace kov::cli
