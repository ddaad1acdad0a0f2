// SPDX-License-Identifier: MIT
// The one QGuiApplication of a core test program that draws text (fonts need one).
#pragma once

namespace kov::test {

// Makes the application on first use; later calls do nothing.
void ensureGuiApplication();

}  // namespace kov::test
