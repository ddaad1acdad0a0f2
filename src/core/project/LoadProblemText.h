// SPDX-License-Identifier: MIT
// The Japanese words for why a file could not be used: the window's, and kovtool's under a
// Japanese locale. The readers' English texts stay in logs and kovtool's English messages.
#pragma once

#include <QString>

#include "core/project/LoadProblem.h"

namespace kov {

QString loadProblemText(LoadProblem problem);
// The XML parser's error codes (101..110, 201) in the window's words.
QString xmlErrorText(int code);

}  // namespace kov
