#include "tools/preview/command_line.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace gauge_preview {

namespace {

std::int64_t WholeNumber(const std::string& text, const std::string& option) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0)
        throw CommandLineError(option + ": \"" + text + "\" is not a whole number");
    return value;
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
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0) throw CommandLineError(option + ": \"" + text + "\" is not a number");
    return value;
}

std::pair<std::string, std::string> Split(const std::string& text, char separator, const std::string& option) {
    const auto at = text.find(separator);
    if (at == std::string::npos)
        throw CommandLineError(option + ": \"" + text + "\" has no '" + std::string(1, separator) + "'");
    return {text.substr(0, at), text.substr(at + 1)};
}

}  // namespace

PreviewCommand ParseCommandLine(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.size() < 2) throw CommandLineError("a subcommand and a module are needed");
    PreviewCommand command;
    if (words[0] == "render") command.action = PreviewAction::Render;
    else if (words[0] == "sheet") command.action = PreviewAction::Sheet;
    else if (words[0] == "inspect") command.action = PreviewAction::Inspect;
    else throw CommandLineError("unknown subcommand \"" + words[0] + "\"");
    command.module_path = words[1];

    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string& option = words[i];
        if (i + 1 == words.size()) throw CommandLineError(option + " needs a value");
        const std::string& argument = words[++i];
        const bool renders = command.action == PreviewAction::Render;
        if (option == "--out" && command.action != PreviewAction::Inspect) {
            command.out_path = argument;
        } else if (option == "--set" && renders) {
            const auto [var, value] = Split(argument, '=', option);
            command.settings.push_back({Id(var, option), Value(value, option)});
        } else if (option == "--point" && renders) {
            const auto [x, y] = Split(argument, ',', option);
            command.points.push_back({Coordinate(x, option), Coordinate(y, option)});
        } else if (option == "--link" && renders) {
            const auto [event, var] = Split(argument, '=', option);
            command.links.push_back({Id(event, option), Id(var, option)});
        } else {
            throw CommandLineError("\"" + option + "\" is not an option of " + words[0]);
        }
    }
    if (command.action != PreviewAction::Inspect && command.out_path.empty())
        throw CommandLineError(words[0] + " needs --out FILE.png");
    return command;
}

}  // namespace gauge_preview
