// Helpers shared by the kovtool commands.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kov {
class HMeshProject;
}

namespace kov::cli {

// Loads the data paths into the collection as a new project is composed (DSM point files at
// the given cell size); reports problems on stderr and answers false when any path could not
// be used or nothing was loaded.
bool loadDataPaths(const std::vector<std::string>& paths, HMeshProject& project,
                   double dsmCellSize);

// The arguments of a command that reads data paths: the paths, "--dsm-cell M" and the
// command's own options. ownOption looks at args[i] (and may advance i past a value); it
// answers Taken, NotMine (then args[i] is an unknown option) or Bad after printing why.
enum class OptionResult { Taken, NotMine, Bad };
struct DataArguments {
    std::vector<std::string> paths;
    double dsmCellSize = 5.0;
};
bool parseDataArguments(
    const char* command, const std::vector<std::string>& args, DataArguments& out,
    const std::function<OptionResult(const std::vector<std::string>&, size_t&)>& ownOption);

// Shortest decimal text that reads back as the same double (JSON numbers).
std::string jsonNumber(double value);
// A JSON string literal; text that is not UTF-8 is read as CP932 first.
std::string jsonString(std::string_view text);

// Parses two numbers separated by blanks, tabs or one comma ("E N", "E,N"); false otherwise.
bool parsePair(std::string_view text, double& first, double& second);

}  // namespace kov::cli
