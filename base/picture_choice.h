// Which of a window's pictures to show at the screen's DPI. The dialog's area grows with its
// font, not exactly with the DPI, so the choice is by the area measured in the window's pixels.
#pragma once

#include <optional>
#include <span>

struct PictureSize {
    int id;
    int width;
    int height;
};

// The id of the largest picture that fits width x height; empty when none does, and the
// window keeps the picture its template names.
std::optional<int> LargestPictureThatFits(std::span<const PictureSize> pictures, int width,
                                          int height);
