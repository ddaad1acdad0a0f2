// SPDX-License-Identifier: MIT
// kovtool's own messages and headings are in the reader's language: Japanese when the locale
// for messages is Japanese (LC_ALL, else LC_MESSAGES, else LANG begins with "ja"), English
// otherwise. Texts that come from the data (titles, names) are shown as they are.
#pragma once

#include <string>

namespace kov::cli {

// True when kovtool speaks Japanese; read from the environment once.
bool japaneseMessages();

// The English or the Japanese text of one message, by japaneseMessages(). Both texts are given
// where the message is written, so that each message has one home. Either may be a printf
// format: the compiler checks both against the arguments.
__attribute__((format_arg(1), format_arg(2))) inline const char* localText(const char* english,
                                                                           const char* japanese) {
    return japaneseMessages() ? japanese : english;
}

// The printf format filled in, as a string: a message built from pieces in the order its
// language wants them ("formatted(localText(...), ...)").
__attribute__((format(printf, 1, 2))) std::string formatted(const char* format, ...);

}  // namespace kov::cli
