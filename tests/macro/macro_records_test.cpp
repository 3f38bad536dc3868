#include "macro/macro_records.h"

#include <gtest/gtest.h>

#include "profile/file_helpers.h"

namespace vextar {
namespace {

TEST(ToDeviceMacroStep, ConvertsStepsAsStoredByAnyWriter) {
    struct Case {
        const char* step;
        DeviceMacroStep device;
    };
    const Case cases[] = {
        {R"({"Action": "down", "Type": 10, "Button": 4, "Delay": "300"})",
         {0x2C, 0x01, 0x8A, 0x04}},
        {R"({"Action": "up", "Type": 10, "Button": 4, "Delay": "70000"})",
         {0xFF, 0xFF, 0x0A, 0x04}},
        {R"({"Action": "down", "Type": 1, "Button": 1, "Delay": "abc"})", {0x00, 0x00, 0x81, 0x01}},
        {R"({"Action": "down", "Type": 9, "Button": 2, "Delay": 0})", {0x00, 0x00, 0x89, 0x02}},
        {R"({"Action": "up", "Type": 5, "Button": 300, "Delay": "12ms"})",
         {0x0C, 0x00, 0x05, 0x2C}},
        {R"({"Action": "DOWN", "Type": 255, "Delay": "-5"})", {0x00, 0x00, 0x7F, 0x00}},
        {R"({"Type": "10", "Button": [], "Delay": 120.9})", {0x78, 0x00, 0x00, 0x00}},
        {R"(7)", {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Json::Value step;
        ASSERT_TRUE(ParseJsonText(c.step, step)) << c.step;
        EXPECT_EQ(ToDeviceMacroStep(step), c.device) << c.step;
    }
    EXPECT_EQ(ParseMacroDelay("0000000000000000000123"), 123);
    EXPECT_EQ(ParseMacroDelay("99999999999999999999"), 65535);
    EXPECT_EQ(ToDeviceMacroStep(MakeMacroStep(kMacroStepKey, 4, true, 300)),
              (DeviceMacroStep{0x2C, 0x01, 0x8A, 0x04}));
}

}  // namespace
}  // namespace vextar
