// SPDX-License-Identifier: MIT
// kovtool run as a separate process, in a folder of the test's own, its standard error kept for
// the failure messages.
#pragma once

#include <gtest/gtest.h>
#include <QJsonDocument>
#include <QJsonObject>
#include <string>

#include "support/TestSupport.h"

namespace kov::test {

class KovtoolRuns {
public:
    // Runs kovtool with the arguments, after the shell prefix, in the locale, its tile cache in
    // the test's folder (dir.file("cache")/kovview); answers its standard output.
    std::string kovtool(const std::string& args, int* exitCode, const std::string& prefix = {}) {
        // The tile cache in the test's own folder, never the user's.
        return runCommand(prefix + "XDG_CACHE_HOME='" + dir.file("cache") + "' LC_ALL=" + locale +
                              " '" + KOVTOOL_PATH + "' " + args + " 2>'" + dir.file("stderr") + "'",
                          exitCode);
    }
    int exitOf(const std::string& args) {
        int code = -1;
        kovtool(args, &code);
        return code;
    }
    // Runs kovtool, a failure unless it ends with status 0; answers its standard output.
    std::string ok(const std::string& args) {
        int code = -1;
        std::string out = kovtool(args, &code);
        EXPECT_EQ(code, 0) << args << "\n" << lastError();
        return out;
    }
    QJsonObject json(const std::string& args) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(ok(args))).object();
    }
    std::string lastError() const { return readFile(dir.file("stderr")); }

    TempDir dir;
    std::string locale = "C.UTF-8";  // kovtool's messages in English
};

}  // namespace kov::test
