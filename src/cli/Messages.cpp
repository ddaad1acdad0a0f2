// SPDX-License-Identifier: MIT
#include "cli/Messages.h"

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

}  // namespace kov::cli
