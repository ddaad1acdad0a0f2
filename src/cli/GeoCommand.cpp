// SPDX-License-Identifier: MIT
// kovtool geo: plane rectangular coordinates (easting, northing in metres) of one zone to latitude
// and longitude on GRS-80. Streams "E N" pairs from stdin when no point is given.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "cli/FixedFormat.h"
#include "cli/Messages.h"
#include "core/base/NumberFormat.h"
#include "core/base/PlaneConverter.h"

namespace kov::cli {

namespace {

constexpr std::size_t kBlock = 1 << 20;

const CommandHelp kGeoHelp{
    "geo", "--zone Z [--dms] [E N]",
    localText("Converts plane rectangular coordinates of zone Z (E: easting, N: northing in\n"
              "metres, the window's Y and X) to \"LATITUDE LONGITUDE\" in degrees on GRS-80.\n"
              "Without E N, reads one \"E N\" pair per line from stdin (blank lines are\n"
              "skipped).",
              "座標系 Z の平面直角座標 (E: 東西、N: 南北、m。画面の Y と X) を GRS-80 の\n"
              "\"緯度 経度\" (度) にします。E N がなければ標準入力の一行に一組の \"E N\" を\n"
              "読みます (空行は飛ばす)。")};

// A negative number is a coordinate, not an option.
bool looksNumeric(const std::string& arg) {
    return arg.size() >= 2 && arg[0] == '-' && ((arg[1] >= '0' && arg[1] <= '9') || arg[1] == '.');
}

// Output collected in big blocks and written with write(2).
class Output {
public:
    Output() { buffer_.resize(kBlock + 2048); }
    ~Output() { flush(); }
    // Room for at least 1 KiB of text.
    char* reserve() {
        if (used_ > kBlock) flush();
        return buffer_.data() + used_;
    }
    void commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }
    void append(std::string_view text) {
        if (used_ + text.size() > buffer_.size()) {
            flush();
            if (text.size() > buffer_.size()) buffer_.resize(text.size());
        }
        std::memcpy(buffer_.data() + used_, text.data(), text.size());
        used_ += text.size();
    }
    bool flush() {
        std::size_t done = 0;
        while (done < used_) {
            const ssize_t n = ::write(STDOUT_FILENO, buffer_.data() + done, used_ - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                failed_ = true;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        used_ = 0;
        return !failed_;
    }
    bool failed() const { return failed_; }

private:
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

class Converter {
public:
    Converter(int zone, bool dms) : dms_(dms) { converter_.setup(zone, kEllipsoidGrs80); }

    void convert(double east, double north, Output& out) const {
        const double in[3] = {east, north, 0.0};
        double geo[3];
        converter_.planeToGeodetic(in, geo);
        if (dms_) {
            std::string line = formatDms(geo[1], 1);
            line += ' ';
            line += formatDms(geo[0], 1);
            line += '\n';
            out.append(line);
            return;
        }
        char* p = out.reserve();
        p = formatFixed10(p, geo[1]);
        *p++ = ' ';
        p = formatFixed10(p, geo[0]);
        *p++ = '\n';
        out.commit(p);
    }

private:
    PlaneConverter converter_;
    bool dms_;
};

int reportUnwritableOutput() {
    std::fprintf(
        stderr, "%s",
        localText("kovtool geo: cannot write the output\n", "kovtool geo: 出力を書き込めません\n"));
    return 1;
}

// Converts every "E N" line of stdin. Returns the exit code.
int streamStdin(const Converter& converter, Output& out) {
    const bool complete = forEachStdinPair("geo", [&](double east, double north) {
        converter.convert(east, north, out);
        return !out.failed();
    });
    if (!out.flush()) return reportUnwritableOutput();
    return complete ? 0 : 1;
}

}  // namespace

int runGeo(const Arguments& args) {
    std::optional<int> zone;
    bool dms = false;
    std::vector<double> point;
    const Option zoneOption =
        valueOption(
            "--zone",
            [&zone](const std::string& value, std::string& why) {
                int z = 0;
                if (!parseNumber(value, z, 1, kZoneCount)) {
                    why = formatted(localText("invalid zone '%s' (must be 1 to 19)",
                                              "座標系 '%s' は正しくありません (1〜19)"),
                                    value.c_str());
                    return false;
                }
                zone = z;
                return true;
            },
            localText("--zone needs a zone number (1 to 19)",
                      "--zone には座標系の番号 (1〜19) が必要です"))
            .explained("Z", localText("the plane rectangular zone, 1..19 (required)",
                                      "平面直角座標系、1〜19 (必須)"));
    const Option dmsOption = switchOption("--dms", dms)
                                 .explained({}, localText("degrees, minutes and seconds: d:mm:ss.s",
                                                          "度分秒で: d:mm:ss.s"));
    Operands numbers;
    numbers.dashed = looksNumeric;
    numbers.take = [&point](const std::string& arg, std::string& why) {
        double value = 0.0;
        if (!parseCoordinate(arg, value)) {
            why = formatted(localText("'%s' is not a number", "'%s' は数値ではありません"),
                            arg.c_str());
            return false;
        }
        point.push_back(value);
        return true;
    };
    if (const std::optional<int> stop =
            readCommandLine(kGeoHelp, args, {zoneOption, dmsOption}, numbers))
        return *stop;
    if (!zone)
        return refuseWithUsage(kGeoHelp, localText("--zone is required", "--zone が必要です"));
    if (!point.empty() && point.size() != 2)
        return refuseWithUsage(kGeoHelp, localText("give a point as two numbers, E N",
                                                   "点は二つの数値 E N で指定してください"));

    const Converter converter(*zone, dms);
    Output out;
    if (point.size() == 2) {
        converter.convert(point[0], point[1], out);
        return out.flush() ? 0 : reportUnwritableOutput();
    }
    return streamStdin(converter, out);
}

}  // namespace kov::cli
