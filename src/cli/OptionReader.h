// SPDX-License-Identifier: MIT
// kovtool's command lines, read by a table of the command's options: each option says what it
// takes after its name, where that goes and, for --help, what it means. Every option with a
// value takes it as "--name value" or "--name=value"; options and operands may come in any order
// and "--" ends the options.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "core/data/HMeshProject.h"

namespace kov::cli {

enum class Takes {
    Nothing,  // a switch: "--legend"
    Value,    // one value: "--size 640x480", "--size=640x480"
    Words,    // the words after it that are its own: "--line E,N E,N ..."
};

struct Option {
    std::string name;       // "--size", "-o"
    std::string shortName;  // another name for it ("-f" for "--format"); may be empty
    Takes takes = Takes::Nothing;
    // Nothing: the option is given (text is empty). Value: the value; false refuses it, with
    // `why` when set, else "bad value for NAME: "VALUE"". Words: one word after the option,
    // taken when it is one of the option's; false ends the words (`why` is not used).
    std::function<bool(const std::string& text, std::string& why)> take;
    // Value: the refusal when no value follows ("NAME needs a value" when empty).
    std::string missing;
    // Words: after the words, with how many there were and the argument after them ("" at the
    // end); false refuses the option with `why`.
    std::function<bool(size_t count, const std::string& next, std::string& why)> end;
    // For --help: what follows the name ("WxH"; empty for a switch) and what the option does.
    std::string valueName;
    std::string help;

    // The option with its help.
    Option explained(std::string value, std::string text) &&;
};

// The options, built: a switch that sets target to value; a value kept as it is; a value read
// by parse, refused as "bad value for NAME: "VALUE"" when parse answers false; a value read by
// take, which sets `why` when it refuses (the refusal without a value: missing); words.
Option switchOption(std::string name, bool& target, bool value = true);
Option textOption(std::string name, std::string& target);
Option valueOption(std::string name, std::function<bool(const std::string& value)> parse);
Option valueOption(std::string name,
                   std::function<bool(const std::string& value, std::string& why)> take,
                   std::string missing = {});
Option wordsOption(
    std::string name, std::function<bool(const std::string& word)> take,
    std::function<bool(size_t count, const std::string& next, std::string& why)> end);
// Words that are points ("E,N" or "E N"), appended to points.
Option pointsOption(
    std::string name, std::vector<FPoint>& points,
    std::function<bool(size_t count, const std::string& next, std::string& why)> end);

// The words of a command line that are no option (data paths, an output folder, numbers).
struct Operands {
    // Whether an argument beginning with "-" is one all the same; "-" alone is by default.
    std::function<bool(const std::string& arg)> dashed = [](const std::string& arg) {
        return arg == "-";
    };
    // Takes one, in the order given; false refuses it with `why`.
    std::function<bool(const std::string& operand, std::string& why)> take;
};

// Why a command line was refused: the message after "kovtool COMMAND: ".
struct ArgumentError {
    std::string text;
    bool unknownOption = false;  // an argument that is no option of the command
};

// Reads the arguments in order by the options and the operands; the first refusal ends it.
// After "--" every argument is an operand.
std::optional<ArgumentError> readArguments(const Arguments& args,
                                           const std::vector<Option>& options,
                                           const Operands& operands);

// True when an argument before "--" asks for the command's help ("-h", "--help").
bool asksForHelp(const Arguments& args);

// What `kovtool COMMAND --help` says besides the options.
struct CommandHelp {
    std::string name;      // "render"
    std::string synopsis;  // what follows the name: "PATH... -o OUT [OPTION]..."
    std::string summary;   // what the command does, lines of at most 78 characters
};

// The command's help: its usage line, its summary and a line or more for every option.
std::string helpText(const CommandHelp& command, const std::vector<Option>& options);

// Says on stderr why the command line was refused ("kovtool COMMAND: WHY"); answers 2, the exit
// status of bad arguments.
int refuseArguments(const std::string& command, const std::string& why);
// refuseArguments, then the command's usage line.
int refuseWithUsage(const CommandHelp& command, const std::string& why);

// Reads a command line by the table: its help on stdout when asked for (exit status 0), or why
// it was refused on stderr (exit status 2). Nothing when the command goes on.
std::optional<int> readCommandLine(const CommandHelp& command, const Arguments& args,
                                   const std::vector<Option>& options, const Operands& operands);

}  // namespace kov::cli
