#include "tools/preview/bench_requests.h"

#include <cmath>
#include <initializer_list>

#include <nlohmann/json.hpp>

namespace gauge_preview {

namespace {

using nlohmann::json;

// A field's name as the reason quotes it: its first 32 bytes, JSON-escaped in ASCII, so a reason
// stays one short printable line whatever the body held.
std::string Quoted(const std::string& name) {
    constexpr std::size_t kLongest = 32;
    const bool cut = name.size() > kLongest;
    std::string text = json(cut ? name.substr(0, kLongest) : name).dump(-1, ' ', true, json::error_handler_t::replace);
    if (cut) text.insert(text.size() - 1, "...");
    return text;
}

json Object(const std::string& body, std::initializer_list<const char*> fields) {
    if (body.size() > kLargestRequestBody)
        throw RequestRefused("the body is over " + std::to_string(kLargestRequestBody) + " bytes");
    json value = json::parse(body, nullptr, false);
    if (value.is_discarded()) throw RequestRefused("the body is not well-formed JSON");
    if (!value.is_object()) throw RequestRefused("the body must be a JSON object");
    for (const auto& [name, field] : value.items()) {
        bool known = false;
        for (const char* expected : fields) known = known || name == expected;
        if (!known) throw RequestRefused("unknown field " + Quoted(name));
    }
    return value;
}

const json& Required(const json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end()) throw RequestRefused(std::string("the field \"") + name + "\" is missing");
    return *found;
}

// A whole number from `low` to `high`; JSON's 100.0 is a fraction here, not 100.
std::int64_t WholeNumber(const json& field, const char* name, std::int64_t low, std::int64_t high) {
    if (!field.is_number()) throw RequestRefused(std::string(name) + " must be a number");
    if (!field.is_number_integer()) throw RequestRefused(std::string(name) + " must be a whole number");
    const bool too_large = field.is_number_unsigned() && field.get<std::uint64_t>() > static_cast<std::uint64_t>(high);
    const std::int64_t value = too_large ? high : field.get<std::int64_t>();
    if (too_large || value < low || value > high)
        throw RequestRefused(std::string(name) + " " + field.dump() + " is outside " + std::to_string(low) + ".." +
                             std::to_string(high));
    return value;
}

}  // namespace

PointRequest ReadPointRequest(const std::string& body, std::int32_t width, std::int32_t height) {
    const json request = Object(body, {"x", "y", "drag"});
    PointRequest point{};
    point.x = static_cast<std::int32_t>(WholeNumber(Required(request, "x"), "x", 0, width - 1));
    point.y = static_cast<std::int32_t>(WholeNumber(Required(request, "y"), "y", 0, height - 1));
    const auto drag = request.find("drag");
    if (drag != request.end() && !drag->is_boolean()) throw RequestRefused("drag must be true or false");
    point.drag = drag != request.end() && drag->get<bool>();
    return point;
}

VariableRequest ReadVariableRequest(const std::string& body) {
    const json request = Object(body, {"id", "value"});
    VariableRequest variable{};
    variable.id = static_cast<std::uint32_t>(WholeNumber(Required(request, "id"), "id", 1, 0xFFFFFFFFll));
    const json& value = Required(request, "value");
    if (!value.is_number()) throw RequestRefused("value must be a number");
    variable.value = value.get<double>();
    if (!std::isfinite(variable.value) || std::fabs(variable.value) > kLargestVariableValue)
        throw RequestRefused("value " + value.dump() + " is outside -1e9..1e9");
    return variable;
}

}  // namespace gauge_preview
