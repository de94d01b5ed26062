// Runs a test in a German locale, whose decimal separator is a comma, and puts the C locale
// back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <clocale>

class CommaLocaleTest : public testing::Test {
  protected:
    void SetUp() override {
#ifdef _WIN32
        const char* comma = std::setlocale(LC_ALL, "German_Germany.1252");
#else
        const char* comma = std::setlocale(LC_ALL, "de_DE.UTF-8");
#endif
        ASSERT_NE(nullptr, comma) << "a German locale is needed (scripts/bootstrap installs it)";
        ASSERT_STREQ(",", std::localeconv()->decimal_point);
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
    }
};
