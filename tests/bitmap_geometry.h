// Small pixel measurements on decoded bitmaps, shared by the resource and fit suites.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "host/bitmap.h"
#include "host/module_resources.h"

inline gauge_host::Bitmap DecodeOrFail(const gauge_host::Resource* resource) {
    std::string error;
    if (resource == nullptr) {
        ADD_FAILURE() << "bitmap missing";
        return {};
    }
    auto bitmap = gauge_host::DecodeBitmap(resource->bytes, error);
    if (!bitmap) ADD_FAILURE() << "bitmap " << resource->id << ": " << error;
    return bitmap.value_or(gauge_host::Bitmap{});
}

// Whether each 4-connected area of pure-black pixels reaches the bitmap's border, so that no black
// pixel lies enclosed inside a shape.
inline bool EveryBlackAreaTouchesBorder(const gauge_host::Bitmap& bitmap) {
    std::vector<bool> seen(bitmap.indices.size());
    for (std::int32_t start = 0; start < static_cast<std::int32_t>(seen.size()); ++start) {
        if (seen[start] || !bitmap.palette[bitmap.indices[start]].see_through()) continue;
        bool touches_border = false;
        std::vector<std::int32_t> stack{start};
        seen[start] = true;
        while (!stack.empty()) {
            const std::int32_t at = stack.back();
            stack.pop_back();
            const std::int32_t x = at % bitmap.width, y = at / bitmap.width;
            if (x == 0 || y == 0 || x == bitmap.width - 1 || y == bitmap.height - 1) touches_border = true;
            const std::int32_t next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto& [nx, ny] : next) {
                if (nx < 0 || ny < 0 || nx >= bitmap.width || ny >= bitmap.height) continue;
                const std::int32_t n = ny * bitmap.width + nx;
                if (!seen[n] && bitmap.At(nx, ny).see_through()) {
                    seen[n] = true;
                    stack.push_back(n);
                }
            }
        }
        if (!touches_border) return false;
    }
    return true;
}
