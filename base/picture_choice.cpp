#include "base/picture_choice.h"

std::optional<int> LargestPictureThatFits(std::span<const PictureSize> pictures, int width,
                                          int height) {
    const PictureSize* best = nullptr;
    for (const PictureSize& picture : pictures) {
        if (picture.width <= width && picture.height <= height &&
            (best == nullptr || picture.width * picture.height > best->width * best->height)) {
            best = &picture;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return best->id;
}
