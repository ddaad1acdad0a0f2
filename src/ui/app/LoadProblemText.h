// SPDX-License-Identifier: MIT
// The window's own words for why a file could not be used; the readers' English texts stay in
// logs and kovtool.
#pragma once

#include <QString>

#include "core/project/LoadProblem.h"

namespace kov {

QString loadProblemText(LoadProblem problem);
// The XML parser's error codes (101..110, 201) in the window's words.
QString xmlErrorText(int code);

}  // namespace kov
