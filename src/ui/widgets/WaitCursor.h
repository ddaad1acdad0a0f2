// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>

namespace kov {

// The wait cursor for the lifetime of the object, restored however the scope ends.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace kov
