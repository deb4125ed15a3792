#include "tools/preview/gauge_pictures.h"

namespace gauge_preview {

GaugePictures::GaugePictures(const gauge_host::ModuleResources& resources) {
    for (const gauge_host::Resource& resource : resources.all()) {
        if (resource.type != gauge_host::kBitmapResource || resource.language != gauge_host::kEnglishUnitedStates) continue;
        std::string error;
        if (auto bitmap = gauge_host::DecodeBitmap(resource.bytes, error)) bitmaps_.emplace(resource.id, *bitmap);
    }
}

const gauge_host::Bitmap* GaugePictures::Find(std::uint32_t resource_id) const {
    auto found = bitmaps_.find(resource_id);
    return found == bitmaps_.end() ? nullptr : &found->second;
}

std::optional<std::uint32_t> GaugePictures::IconPictureId(std::uint32_t first_id, std::uint32_t index) const {
    auto picture = bitmaps_.lower_bound(first_id);
    if (picture == bitmaps_.end() || picture->first != first_id) return std::nullopt;
    for (std::uint32_t step = 0; step < index; ++step)
        if (++picture == bitmaps_.end()) return std::nullopt;
    return picture->first;
}

const gauge_host::Bitmap* GaugePictures::IconPicture(std::uint32_t first_id, std::uint32_t index) const {
    const std::optional<std::uint32_t> id = IconPictureId(first_id, index);
    return id ? Find(*id) : nullptr;
}

}  // namespace gauge_preview
