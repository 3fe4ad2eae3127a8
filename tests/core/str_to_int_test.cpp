#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"
#include "settings/reg_setup.h"

TEST(StrToInt, ConvertsDecimalText) {
    const std::pair<std::string, int> cases[] = {
        {"0", 0},
        {"7", 7},
        {"0010", 10},
        {"-3", -3},
        {"+12", 12},
        {"-0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(StrToInt(text), value) << text;
}

TEST(StrToInt, RefusesAnythingElseNamingTheText) {
    for (const std::string text :
         {"", " ", "-", "+", " 1", "1 ", "1a", "a1", "1.0", "0x10", "$10", "1e3", "2147483648",
          "-2147483649", "99999999999999999999", "--1", "\xB9"}) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const TError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid integer value");
        }
    }
}
