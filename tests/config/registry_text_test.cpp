#include "config/registry_text.h"

#include <gtest/gtest.h>

namespace {

TEST(RegistryTextTest, OnlyCharactersWithOneClosingNulAreAText) {
    EXPECT_EQ("abc", TextFromRegistryData("abc", 4));
    EXPECT_EQ("", TextFromRegistryData("", 1));
    EXPECT_EQ("line\nfeed", TextFromRegistryData("line\nfeed", 10));
    EXPECT_FALSE(TextFromRegistryData("abc", 3));  // no NUL: never read past the data
    EXPECT_FALSE(TextFromRegistryData("ab\0cd", 6));
    EXPECT_FALSE(TextFromRegistryData("", 0));
}

}  // namespace
