#include "tools/preview/needle_angle.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace gauge_preview {

namespace {

double Direction(PixelPos from, PixelPos to) { return std::atan2(to.y - from.y, to.x - from.x); }

// The turn from one direction to another the short way round, in (-pi, pi].
double ShortTurn(double from, double to) {
    double turn = std::remainder(to - from, 2 * std::numbers::pi);
    if (turn <= -std::numbers::pi) turn += 2 * std::numbers::pi;
    return turn;
}

}  // namespace

double ScaleDirection(const NeedleElement& needle, double value) {
    const ScalePoint* points = needle.scale_points;
    const std::uint32_t count = needle.scale_point_count;
    const PixelPos pivot = needle.header.position;
    if (count == 0) return Direction(needle.header.offset, needle.needle_tip);
    if (!(value > points[0].value)) return Direction(pivot, points[0].point);
    for (std::uint32_t i = 1; i < count; ++i) {
        if (value > points[i].value) continue;
        const double from = Direction(pivot, points[i - 1].point);
        const double share = (value - points[i - 1].value) / (points[i].value - points[i - 1].value);
        return from + share * ShortTurn(from, Direction(pivot, points[i].point));
    }
    return Direction(pivot, points[count - 1].point);
}

double NeedleTurn(const NeedleElement& needle, double value) {
    return ScaleDirection(needle, value) - Direction(needle.header.offset, needle.needle_tip);
}

}  // namespace gauge_preview
