// SPDX-License-Identifier: MIT
#include "cli/OptionReader.h"

#include <utility>

#include "cli/OptionParsers.h"

namespace kov::cli {
namespace {

// The option an argument names, and the value written into it ("--size=640x480"); none when
// the argument names no option that takes what it carries.
const Option* optionOf(const std::string& arg, const std::vector<Option>& options,
                       std::optional<std::string>& attached) {
    for (const Option& option : options)
        if (arg == option.name) return &option;
    const size_t equals = arg.find('=');
    if (arg.rfind("--", 0) != 0 || equals == std::string::npos) return nullptr;
    for (const Option& option : options) {
        if (option.takes == Takes::Nothing || arg.compare(0, equals, option.name) != 0 ||
            option.name.size() != equals)
            continue;
        attached = arg.substr(equals + 1);
        return &option;
    }
    return nullptr;
}

ArgumentError badValue(const Option& option, const std::string& value, std::string why) {
    if (why.empty()) why = "bad value for " + option.name + ": \"" + value + "\"";
    return {std::move(why)};
}

}  // namespace

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
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::optional<std::string> attached;
        const Option* option = optionOf(arg, options, attached);
        std::string why;
        if (!option) {
            if (arg.empty() || arg[0] != '-' || operands.dashed(arg)) {
                if (!operands.take(arg, why)) return ArgumentError{why};
                continue;
            }
            return ArgumentError{"unknown option '" + arg + "'", true};
        }
        switch (option->takes) {
            case Takes::Nothing:
                option->take({}, why);
                break;
            case Takes::Value: {
                if (!attached && i + 1 >= args.size())
                    return ArgumentError{option->missing.empty() ? option->name + " needs a value"
                                                                 : option->missing};
                const std::string& value = attached ? *attached : args[++i];
                if (!option->take(value, why)) return badValue(*option, value, why);
                break;
            }
            case Takes::Words: {
                // A word written into the option ("--line=E,N E,N") must be one of its own.
                size_t count = 0;
                if (attached && !option->take(*attached, why))
                    return badValue(*option, *attached, {});
                count += attached ? 1 : 0;
                for (; i + 1 < args.size() && option->take(args[i + 1], why); ++i)
                    ++count;
                const std::string next = i + 1 < args.size() ? args[i + 1] : std::string();
                if (option->end && !option->end(count, next, why)) return ArgumentError{why};
                break;
            }
        }
    }
    return std::nullopt;
}

bool asksForHelp(const Arguments& args) {
    for (const std::string& arg : args)
        if (arg == "-h" || arg == "--help") return true;
    return false;
}

}  // namespace kov::cli
