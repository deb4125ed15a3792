#include "tools/preview/needle_angle.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace gauge_preview {

namespace {

double Direction(PixelPos from, PixelPos to) {
    return std::atan2(static_cast<double>(to.y) - static_cast<double>(from.y), static_cast<double>(to.x) - static_cast<double>(from.x));
}

// The turn from one direction to another the short way round, in (-pi, pi].
double ShortTurn(double from, double to) {
    double turn = std::remainder(to - from, 2 * std::numbers::pi);
    if (turn <= -std::numbers::pi) turn += 2 * std::numbers::pi;
    return turn;
}

}  // namespace

double ScaleDirection(const gauge_host::ElementRecord& needle, double value) {
    const std::vector<ScalePoint>& points = needle.scale;
    const PixelPos pivot = needle.record.needle.header.position;
    if (points.empty()) return Direction(needle.record.needle.header.offset, needle.record.needle.needle_tip);
    if (!(value > points[0].value)) return Direction(pivot, points[0].point);
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (value > points[i].value) continue;
        const double from = Direction(pivot, points[i - 1].point);
        const double share = (value - points[i - 1].value) / (points[i].value - points[i - 1].value);
        return from + share * ShortTurn(from, Direction(pivot, points[i].point));
    }
    return Direction(pivot, points.back().point);
}

double NeedleTurn(const gauge_host::ElementRecord& needle, double value) {
    return ScaleDirection(needle, value) - Direction(needle.record.needle.header.offset, needle.record.needle.needle_tip);
}

}  // namespace gauge_preview
