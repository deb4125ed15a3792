// A module's bitmap resources, decoded once, by the ids its elements name.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "host/bitmap.h"
#include "host/module_resources.h"

namespace gauge_preview {

class GaugePictures {
public:
    // Decodes every bitmap resource of the module in the language the host looks for (1033); one
    // that does not decode is left out, so an element naming it finds no picture (the checks
    // before installing name the fault).
    explicit GaugePictures(const gauge_host::ModuleResources& resources);

    // The bitmap with that resource id, or null.
    const gauge_host::Bitmap* Find(std::uint32_t resource_id) const;

    // Picture `index` of an icon whose first picture is `first_id`: the icon's pictures are the
    // module's bitmaps from `first_id` upward in id order, so the ids need not follow one another
    // (the ammeter's switch shows bitmap 500, then 503). Null where the module has too few.
    const gauge_host::Bitmap* IconPicture(std::uint32_t first_id, std::uint32_t index) const;
    // The resource id of that picture, or nothing where the module has too few.
    std::optional<std::uint32_t> IconPictureId(std::uint32_t first_id, std::uint32_t index) const;

private:
    std::map<std::uint32_t, gauge_host::Bitmap> bitmaps_;
};

}  // namespace gauge_preview
