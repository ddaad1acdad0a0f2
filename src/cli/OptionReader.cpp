// SPDX-License-Identifier: MIT
#include "cli/OptionReader.h"

#include <cstdio>
#include <utility>

#include "cli/Messages.h"
#include "cli/OptionParsers.h"

namespace kov::cli {
namespace {

bool named(const Option& option, const std::string& name) {
    return name == option.name || (!option.shortName.empty() && name == option.shortName);
}

// The option an argument names, and the value written into it ("--size=640x480"); none when
// the argument names no option.
const Option* optionOf(const std::string& arg, const std::vector<Option>& options,
                       std::optional<std::string>& attached) {
    for (const Option& option : options)
        if (named(option, arg)) return &option;
    const size_t equals = arg.find('=');
    if (arg.rfind("--", 0) != 0 || equals == std::string::npos) return nullptr;
    for (const Option& option : options) {
        if (!named(option, arg.substr(0, equals))) continue;
        attached = arg.substr(equals + 1);
        return &option;
    }
    return nullptr;
}

ArgumentError badValue(const Option& option, const std::string& value, std::string why) {
    if (why.empty())
        why = formatted(localText("bad value for %s: \"%s\"", "%s の値が正しくありません: \"%s\""),
                        option.name.c_str(), value.c_str());
    return {std::move(why)};
}

std::optional<ArgumentError> readValue(const Option& option,
                                       const std::optional<std::string>& attached,
                                       const Arguments& args, size_t& i) {
    if (!attached && i + 1 >= args.size()) {
        if (!option.missing.empty()) return ArgumentError{option.missing};
        return ArgumentError{
            formatted(localText("%s needs a value", "%s には値が必要です"), option.name.c_str())};
    }
    const std::string& value = attached ? *attached : args[++i];
    std::string why;
    if (!option.take(value, why)) return badValue(option, value, why);
    return std::nullopt;
}

std::optional<ArgumentError> readWords(const Option& option,
                                       const std::optional<std::string>& attached,
                                       const Arguments& args, size_t& i) {
    // A word written into the option ("--line=E,N E,N") must be one of its own.
    std::string why;
    size_t count = 0;
    if (attached && !option.take(*attached, why)) return badValue(option, *attached, {});
    count += attached ? 1 : 0;
    for (; i + 1 < args.size() && args[i + 1] != "--" && option.take(args[i + 1], why); ++i)
        ++count;
    const std::string next = i + 1 < args.size() ? args[i + 1] : std::string();
    if (option.end && !option.end(count, next, why)) return ArgumentError{why};
    return std::nullopt;
}

// The names and the value of an option as --help shows them: "-f, --format NAME".
std::string usageOf(const Option& option) {
    std::string text =
        option.shortName.empty() ? option.name : option.shortName + ", " + option.name;
    return option.valueName.empty() ? text : text + " " + option.valueName;
}

// The columns a terminal gives UTF-8 text: two for a character of three bytes or more (the
// Japanese ones), one for the others.
size_t columns(const std::string& text) {
    size_t count = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) count += byte >= 0xE0 ? 2 : 1;
    }
    return count;
}

// The text in lines of at most width columns, broken at blanks and where it has "\n" (a word
// longer than the width stands alone).
std::vector<std::string> wrapped(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    for (const std::string& paragraph : split(text, '\n')) {
        std::string line;
        for (const std::string& word : split(paragraph, ' ')) {
            if (!line.empty() && columns(line) + 1 + columns(word) > width) {
                lines.push_back(line);
                line.clear();
            }
            line += (line.empty() ? "" : " ") + word;
        }
        lines.push_back(line);
    }
    return lines;
}

// The lines of text after the head, from column `indent` (on the next line after a longer head),
// the following ones indented alike, within 79 columns.
std::string indented(std::string head, size_t indent, const std::string& text) {
    constexpr size_t kWidth = 79;
    if (columns(head) <= indent) {
        head += std::string(indent - columns(head), ' ');
    } else {
        head.erase(head.find_last_not_of(' ') + 1);
        head += "\n" + std::string(indent, ' ');
    }
    const std::vector<std::string> lines = wrapped(text, kWidth - indent);
    for (size_t i = 0; i < lines.size(); ++i)
        head += (i > 0 ? "\n" + std::string(indent, ' ') : "") + lines[i];
    return head + "\n";
}

// "  NAMES  HELP": the help from column 26, or on the next line after long names.
std::string helpLine(const std::string& names, const std::string& help) {
    return indented("  " + names + "  ", 26, help);
}

}  // namespace

Option Option::explained(std::string value, std::string text) && {
    valueName = std::move(value);
    help = std::move(text);
    return std::move(*this);
}

Option pointsOption(
    std::string name, std::vector<FPoint>& points,
    std::function<bool(size_t count, const std::string& next, std::string& why)> end) {
    return wordsOption(
        std::move(name),
        [&points](const std::string& word) {
            FPoint p;
            if (!parsePoint(word, p)) return false;
            points.push_back(p);
            return true;
        },
        std::move(end));
}

Option switchOption(std::string name, bool& target, bool value) {
    Option option;
    option.name = std::move(name);
    option.take = [&target, value](const std::string&, std::string&) {
        target = value;
        return true;
    };
    return option;
}

Option textOption(std::string name, std::string& target) {
    return valueOption(std::move(name), [&target](const std::string& value) {
        target = value;
        return true;
    });
}

Option valueOption(std::string name, std::function<bool(const std::string& value)> parse) {
    return valueOption(std::move(name),
                       [parse = std::move(parse)](const std::string& value, std::string&) {
                           return parse(value);
                       });
}

Option valueOption(std::string name,
                   std::function<bool(const std::string& value, std::string& why)> take,
                   std::string missing) {
    Option option;
    option.name = std::move(name);
    option.takes = Takes::Value;
    option.take = std::move(take);
    option.missing = std::move(missing);
    return option;
}

Option wordsOption(
    std::string name, std::function<bool(const std::string& word)> take,
    std::function<bool(size_t count, const std::string& next, std::string& why)> end) {
    Option option;
    option.name = std::move(name);
    option.takes = Takes::Words;
    option.take = [take = std::move(take)](const std::string& word, std::string&) {
        return take(word);
    };
    option.end = std::move(end);
    return option;
}

std::optional<ArgumentError> readArguments(const Arguments& args,
                                           const std::vector<Option>& options,
                                           const Operands& operands) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string why;
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> attached;
        const Option* option = optionsEnded ? nullptr : optionOf(arg, options, attached);
        if (!option) {
            if (optionsEnded || arg.empty() || arg[0] != '-' || operands.dashed(arg)) {
                if (!operands.take(arg, why)) return ArgumentError{why};
                continue;
            }
            return ArgumentError{
                formatted(localText("unknown option '%s'", "不明なオプションです: '%s'"),
                          arg.c_str()),
                true};
        }
        std::optional<ArgumentError> error;
        switch (option->takes) {
            case Takes::Nothing:
                if (attached)
                    return ArgumentError{formatted(
                        localText("%s takes no value (got \"%s\")", "%s は値をとりません (\"%s\")"),
                        option->name.c_str(), attached->c_str())};
                option->take({}, why);
                break;
            case Takes::Value:
                error = readValue(*option, attached, args, i);
                break;
            case Takes::Words:
                error = readWords(*option, attached, args, i);
                break;
        }
        if (error) return error;
    }
    return std::nullopt;
}

bool asksForHelp(const Arguments& args) {
    for (const std::string& arg : args) {
        if (arg == "--") return false;
        if (arg == "-h" || arg == "--help") return true;
    }
    return false;
}

std::string helpText(const CommandHelp& command, const std::vector<Option>& options) {
    const std::string head = localText("usage: kovtool ", "使い方: kovtool ") + command.name + " ";
    std::string text = indented(head, columns(head), command.synopsis) + command.summary + "\n" +
                       localText("\noptions:\n", "\nオプション:\n");
    for (const Option& option : options)
        text += helpLine(usageOf(option), option.help);
    text += helpLine("-h, --help", localText("this help", "この説明"));
    text += helpLine("--", localText("ends the options: the arguments after it are operands "
                                     "(paths that begin with \"-\")",
                                     "オプションの終わり: 以降の引数は \"-\" で始まっても"
                                     "パスなど"));
    return text;
}

int refuseArguments(const std::string& command, const std::string& why) {
    std::fprintf(stderr, "kovtool %s: %s\n", command.c_str(), why.c_str());
    return 2;
}

int refuseWithUsage(const CommandHelp& command, const std::string& why) {
    refuseArguments(command.name, why);
    std::fprintf(stderr, "%s%s %s\n", localText("usage: kovtool ", "使い方: kovtool "),
                 command.name.c_str(), command.synopsis.c_str());
    return 2;
}

std::optional<int> readCommandLine(const CommandHelp& command, const Arguments& args,
                                   const std::vector<Option>& options, const Operands& operands) {
    if (asksForHelp(args)) {
        std::fputs(helpText(command, options).c_str(), stdout);
        return 0;
    }
    const std::optional<ArgumentError> error = readArguments(args, options, operands);
    if (!error) return std::nullopt;
    return error->unknownOption ? refuseWithUsage(command, error->text)
                                : refuseArguments(command.name, error->text);
}

}  // namespace kov::cli
