#include "base/picture_choice.h"

#include <gtest/gtest.h>

namespace {

constexpr PictureSize kPictures[] = {{200, 306, 242}, {150, 230, 182}};

TEST(PictureChoiceTest, TheLargestPictureThatFitsBothWays) {
    struct Case {
        int width;
        int height;
        std::optional<int> id;
    };
    const Case cases[] = {
        {159, 133, std::nullopt},                   // 100 %: the template's own picture
        {229, 400, std::nullopt},                   // one pixel too narrow
        {400, 181, std::nullopt},                   // one pixel too low
        {230, 182, 150},                            // exactly 150 %
        {305, 400, 150},                            // tall enough for 200 %, not wide enough
        {400, 241, 150},                            // wide enough for 200 %, not tall enough
        {306, 242, 200},          {640, 480, 200},  // beyond the largest: still the largest
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.id, LargestPictureThatFits(kPictures, c.width, c.height))
            << c.width << " x " << c.height;
    }
}

TEST(PictureChoiceTest, TheListsOrderDoesNotMatter) {
    constexpr PictureSize kSmallestFirst[] = {{150, 230, 182}, {200, 306, 242}};
    EXPECT_EQ(200, LargestPictureThatFits(kSmallestFirst, 306, 242));
    EXPECT_EQ(std::nullopt, LargestPictureThatFits({}, 1000, 1000));
}

}  // namespace
