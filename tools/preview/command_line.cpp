#include "tools/preview/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace gauge_preview {

namespace {

// Decimal, or hexadecimal after "0x"; a leading zero is a decimal zero, never octal.
std::int64_t WholeNumber(const std::string& text, const std::string& option) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    const bool hexadecimal = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    const std::string body = hexadecimal ? digits.substr(2) : digits;
    const int base = hexadecimal ? 16 : 10;
    errno = 0;
    char* end = nullptr;
    const long long value = body.empty() || body[0] == '+' || body[0] == '-' || body[0] == ' ' ? 0 : std::strtoll(body.c_str(), &end, base);
    if (body.empty() || end == nullptr || *end != '\0' || errno != 0)
        throw CommandLineError(option + ": \"" + text + "\" is not a whole number");
    return negative ? -value : value;
}

std::uint32_t Id(const std::string& text, const std::string& option) {
    const std::int64_t value = WholeNumber(text, option);
    if (value < 0 || value > 0xFFFFFFFFll) throw CommandLineError(option + ": " + text + " is not a 32-bit id");
    return static_cast<std::uint32_t>(value);
}

std::int32_t Coordinate(const std::string& text, const std::string& option) {
    const std::int64_t value = WholeNumber(text, option);
    if (value < INT32_MIN || value > INT32_MAX) throw CommandLineError(option + ": " + text + " is not a 32-bit pixel");
    return static_cast<std::int32_t>(value);
}

double Value(const std::string& text, const std::string& option) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') throw CommandLineError(option + ": \"" + text + "\" is not a number");
    if (!std::isfinite(value)) throw CommandLineError(option + ": \"" + text + "\" is not a finite number");
    return value;
}

std::pair<std::string, std::string> Split(const std::string& text, char separator, const std::string& option) {
    const auto at = text.find(separator);
    if (at == std::string::npos)
        throw CommandLineError(option + ": \"" + text + "\" has no '" + std::string(1, separator) + "'");
    return {text.substr(0, at), text.substr(at + 1)};
}

// An option that takes one value may be given once.
void SetOnce(std::string& field, const std::string& value, const std::string& option) {
    if (!field.empty()) throw CommandLineError(option + " is given twice");
    if (value.empty()) throw CommandLineError(option + " needs a value that is not empty");
    field = value;
}

}  // namespace

PreviewCommand ParseCommandLine(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.size() < 2) throw CommandLineError("a subcommand and a module are needed");
    PreviewCommand command;
    if (words[0] == "render") command.action = PreviewAction::Render;
    else if (words[0] == "sheet") command.action = PreviewAction::Sheet;
    else if (words[0] == "inspect") command.action = PreviewAction::Inspect;
    else if (words[0] == "datasheet") command.action = PreviewAction::Datasheet;
    else if (words[0] == "serve") command.action = PreviewAction::Serve;
    else throw CommandLineError("unknown subcommand \"" + words[0] + "\"");
    command.module_path = words[1];
    if (command.module_path.empty()) throw CommandLineError("the module's path is empty");

    bool time_limit_given = false, port_given = false;
    const bool serves = command.action == PreviewAction::Serve;
    if (serves) command.time_limit_seconds = 0;
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string& option = words[i];
        if (i + 1 == words.size()) throw CommandLineError(option + " needs a value");
        const std::string& argument = words[++i];
        const bool draws = command.action == PreviewAction::Render || command.action == PreviewAction::Sheet ||
                           command.action == PreviewAction::Datasheet;
        const bool renders = command.action == PreviewAction::Render;
        const bool sets = renders || serves;
        if (option == "--time-limit" && !serves) {
            if (time_limit_given) throw CommandLineError(option + " is given twice");
            time_limit_given = true;
            const std::int64_t seconds = WholeNumber(argument, option);
            if (seconds < 1 || seconds > 86400) throw CommandLineError(option + ": " + argument + " is not 1 to 86400 seconds");
            command.time_limit_seconds = static_cast<int>(seconds);
        } else if (option == "--out" && draws) {
            SetOnce(command.out_path, argument, option);
        } else if (option == "--port" && serves) {
            if (port_given) throw CommandLineError(option + " is given twice");
            port_given = true;
            const std::int64_t port = WholeNumber(argument, option);
            if (port < 0 || port > 65535) throw CommandLineError(option + ": " + argument + " is not a port, 0 to 65535");
            command.port = static_cast<int>(port);
        } else if (option == "--gauge" && (draws || serves)) {
            SetOnce(command.gauge_name, argument, option);
        } else if (option == "--set" && sets) {
            const auto [var, value] = Split(argument, '=', option);
            command.settings.push_back({Id(var, option), Value(value, option)});
        } else if (option == "--point" && renders) {
            const auto [x, y] = Split(argument, ',', option);
            command.points.push_back({Coordinate(x, option), Coordinate(y, option)});
        } else if (option == "--link" && sets) {
            const auto [event, var] = Split(argument, '=', option);
            command.links.push_back({Id(event, option), Id(var, option)});
        } else {
            throw CommandLineError("\"" + option + "\" is not an option of " + words[0]);
        }
    }
    if ((command.action == PreviewAction::Render || command.action == PreviewAction::Sheet) && command.out_path.empty())
        throw CommandLineError(words[0] + " needs --out FILE.png");
    return command;
}

}  // namespace gauge_preview
