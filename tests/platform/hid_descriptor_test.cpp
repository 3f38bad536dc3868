#include "platform/hid_descriptor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_catalog.h"

namespace vextar::hid {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Of(std::span<const uint8_t> s) {
    return {s.begin(), s.end()};
}

struct ExpectedCollection {
    uint16_t usagePage;
    uint16_t usage;
    std::vector<uint8_t> reportIds;
    uint32_t input;
    uint32_t output;
    uint32_t feature;
};

struct WellFormed {
    const char* name;
    Bytes descriptor;
    bool usesReportIds;
    std::vector<ExpectedCollection> collections;
};

// A gamepad-like interface without report ids whose feature report is the
// only numbered-free report of its kind.
const Bytes kFeatureOnly = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // vendor page 0xFF00, application
    0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00,  //
    0x75, 0x08, 0x95, 0x20, 0xB1, 0x02,        // 32-byte feature report
    0xC0,
};

class DescriptorTable : public ::testing::TestWithParam<WellFormed> {};

TEST_P(DescriptorTable, ParsesCollectionsIdsAndLengths) {
    const WellFormed& c = GetParam();
    ReportDescriptor d;
    std::string error;
    ASSERT_TRUE(ParseReportDescriptor(c.descriptor, d, error)) << error;
    EXPECT_EQ(d.usesReportIds, c.usesReportIds);
    ASSERT_EQ(d.collections.size(), c.collections.size());
    for (std::size_t i = 0; i < c.collections.size(); ++i) {
        SCOPED_TRACE(i);
        const TopLevelCollection& got = d.collections[i];
        const ExpectedCollection& want = c.collections[i];
        EXPECT_EQ(got.usagePage, want.usagePage);
        EXPECT_EQ(got.usage, want.usage);
        EXPECT_EQ(got.reportIds, want.reportIds);
        EXPECT_EQ(got.ReportByteLength(ReportType::Input), want.input);
        EXPECT_EQ(got.ReportByteLength(ReportType::Output), want.output);
        EXPECT_EQ(got.ReportByteLength(ReportType::Feature), want.feature);
    }
}

INSTANTIATE_TEST_SUITE_P(
    RealWorldShapes, DescriptorTable,
    ::testing::Values(
        WellFormed{
            "boot_mouse", Of(sim::descriptors::BootMouse()), false, {{0x01, 0x02, {}, 5, 0, 0}}},
        WellFormed{"boot_keyboard",
                   Of(sim::descriptors::BootKeyboard()),
                   false,
                   {{0x01, 0x06, {}, 9, 2, 0}}},
        WellFormed{"four_collections_with_vendor_id_4",
                   Of(sim::descriptors::CommandInterface()),
                   true,
                   {{0x01, 0x06, {1}, 9, 0, 0},
                    {0x01, 0x80, {2}, 2, 0, 0},
                    {0x0C, 0x01, {3}, 3, 0, 0},
                    {0xFF1C, 0x92, {4}, 64, 64, 0}}},
        WellFormed{"consumer_control_with_commands_and_leds",
                   Of(sim::descriptors::Headset()),
                   true,
                   {{0x0C, 0x01, {1, 4, 255}, 64, 64, 0}}},
        WellFormed{
            "feature_only_without_ids", kFeatureOnly, false, {{0xFF00, 0x01, {}, 0, 0, 33}}}),
    [](const ::testing::TestParamInfo<WellFormed>& p) { return p.param.name; });

struct Malformed {
    const char* name;
    Bytes descriptor;
};

class MalformedTable : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedTable, IsRejectedWithAReason) {
    ReportDescriptor d;
    std::string error;
    EXPECT_FALSE(ParseReportDescriptor(GetParam().descriptor, d, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(d.collections.empty());
}

// Opens an application collection, then the given items, then closes it.
Bytes InCollection(const Bytes& items) {
    Bytes d = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01};
    d.insert(d.end(), items.begin(), items.end());
    d.push_back(0xC0);
    return d;
}

INSTANTIATE_TEST_SUITE_P(
    Rejected, MalformedTable,
    ::testing::Values(
        Malformed{"empty", {}},
        Malformed{"truncated_item", {0x05}},
        Malformed{"truncated_four_byte_item", {0x07, 0x01, 0x02}},
        Malformed{"truncated_long_item", {0xFE, 0x05, 0x00, 0x01}},
        Malformed{"pop_without_push", {0xB4}},
        Malformed{"unclosed_collection", {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01}},
        Malformed{"end_without_open", {0xC0}},
        Malformed{"main_item_outside_collection", {0x75, 0x08, 0x95, 0x01, 0x81, 0x02}},
        Malformed{"absurd_report_count",
                  InCollection({0x75, 0x08, 0x97, 0xFF, 0xFF, 0xFF, 0x7F, 0x81, 0x02})},
        Malformed{"report_size_beyond_256_bits",
                  InCollection({0x76, 0x00, 0x10, 0x95, 0x01, 0x81, 0x02})},
        Malformed{"report_longer_than_a_device_may_send",
                  InCollection({0x76, 0x00, 0x01, 0x96, 0xE8, 0x03, 0x81, 0x02})},
        Malformed{"report_id_zero", InCollection({0x85, 0x00})},
        Malformed{"numbered_and_unnumbered_reports",
                  InCollection({0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0x85, 0x01, 0x81, 0x02})},
        Malformed{"report_id_in_two_collections",
                  [] {
                      Bytes a = InCollection({0x85, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02});
                      Bytes b = InCollection({0x81, 0x02});
                      a.insert(a.end(), b.begin(), b.end());
                      return a;
                  }()},
        Malformed{"usage_maximum_below_minimum", InCollection({0x19, 0x05, 0x29, 0x01})},
        Malformed{"longer_than_any_device_descriptor", Bytes(kMaxDescriptorBytes + 1, 0x00)},
        Malformed{"collections_nested_without_end", Bytes(200, 0xA1)}),
    [](const ::testing::TestParamInfo<Malformed>& p) { return p.param.name; });

TEST(HidDescriptor, DecodesBootMouseButtonsAndSignedAxes) {
    ReportDescriptor d;
    std::string error;
    ASSERT_TRUE(ParseReportDescriptor(sim::descriptors::BootMouse(), d, error)) << error;
    const TopLevelCollection& mouse = d.collections[0];
    ASSERT_EQ(mouse.ButtonCaps(ReportType::Input).size(), 1U);
    const ButtonCap& buttons = mouse.ButtonCaps(ReportType::Input)[0];
    EXPECT_EQ(buttons.usagePage, 0x09);
    EXPECT_EQ(buttons.usageMin, 1);
    EXPECT_EQ(buttons.usageMax, 5);
    EXPECT_EQ(mouse.ValueCaps(ReportType::Input).size(), 3U);  // X, Y, wheel
    EXPECT_EQ(mouse.MaxUsageListLength(ReportType::Input, 0x09), 5U);

    // Report id byte 0, buttons 1 and 3, X = -3, Y = 100, wheel = -1.
    const Bytes report = {0x00, 0x05, 0xFD, 0x64, 0xFF};
    std::vector<uint16_t> usages;
    EXPECT_EQ(GetUsages(mouse, ReportType::Input, 0x09, report, usages, 5), HidStatus::Success);
    EXPECT_EQ(usages, (std::vector<uint16_t>{1, 3}));

    uint32_t value = 0;
    int32_t scaled = 0;
    EXPECT_EQ(GetUsageValue(mouse, ReportType::Input, 0x01, 0, 0x30, report, value, scaled),
              HidStatus::Success);
    EXPECT_EQ(value, 0xFDU);
    EXPECT_EQ(scaled, -3);
    EXPECT_EQ(GetUsageValue(mouse, ReportType::Input, 0x01, 0, 0x31, report, value, scaled),
              HidStatus::Success);
    EXPECT_EQ(scaled, 100);
    EXPECT_EQ(GetUsageValue(mouse, ReportType::Input, 0x01, 0, 0x38, report, value, scaled),
              HidStatus::Success);
    EXPECT_EQ(scaled, -1);

    // A report cut short is not read past its end.
    const Bytes cut = {0x00, 0x05, 0xFD};
    EXPECT_EQ(GetUsageValue(mouse, ReportType::Input, 0x01, 0, 0x38, cut, value, scaled),
              HidStatus::InvalidReportLength);
    EXPECT_EQ(GetUsages(mouse, ReportType::Input, 0x09, Bytes{0x00}, usages, 5),
              HidStatus::InvalidReportLength);
}

TEST(HidDescriptor, DecodesConsumerArrayAndSkipsEmptySlots) {
    ReportDescriptor d;
    std::string error;
    ASSERT_TRUE(ParseReportDescriptor(sim::descriptors::CommandInterface(), d, error)) << error;
    const TopLevelCollection& consumer = d.collections[2];
    EXPECT_EQ(consumer.MaxUsageListLength(ReportType::Input, 0x0C), 1U);
    std::vector<uint16_t> usages;
    EXPECT_EQ(GetUsages(consumer, ReportType::Input, 0x0C, Bytes{0x03, 0xE9, 0x00}, usages, 1),
              HidStatus::Success);
    EXPECT_EQ(usages, (std::vector<uint16_t>{0xE9}));
    EXPECT_EQ(GetUsages(consumer, ReportType::Input, 0x0C, Bytes{0x03, 0x00, 0x00}, usages, 1),
              HidStatus::Success);
    EXPECT_TRUE(usages.empty());
    // A value beyond the logical maximum is an empty slot, not a usage.
    EXPECT_EQ(GetUsages(consumer, ReportType::Input, 0x0C, Bytes{0x03, 0x00, 0x20}, usages, 1),
              HidStatus::Success);
    EXPECT_TRUE(usages.empty());
    EXPECT_EQ(GetUsages(consumer, ReportType::Input, 0x0C, Bytes{0x04, 0x01, 0x00}, usages, 1),
              HidStatus::IncompatibleReportId);

    // Keyboard collection: modifiers as bits, keys as an array of six.
    const TopLevelCollection& keyboard = d.collections[0];
    EXPECT_EQ(keyboard.MaxUsageListLength(ReportType::Input, 0x07), 8U + 6U);
    const Bytes keys = {0x01, 0x02, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00};  // shift, a, b
    EXPECT_EQ(GetUsages(keyboard, ReportType::Input, 0x07, keys, usages, 14), HidStatus::Success);
    EXPECT_EQ(usages, (std::vector<uint16_t>{0xE1, 0x04, 0x05}));
    EXPECT_EQ(GetUsages(keyboard, ReportType::Input, 0x07, keys, usages, 2),
              HidStatus::BufferTooSmall);
    EXPECT_EQ(usages.size(), 2U);
}

TEST(HidDescriptor, ReadsOneByteMaximaAsUnsignedAndExtendedUsages) {
    // Logical maximum 255 written as the single byte 0xFF, and a usage with
    // its page in the item (0xFF1C0092).
    const Bytes d = {0x05, 0x01, 0x0B, 0x92, 0x00, 0x1C, 0xFF, 0xA1, 0x01, 0x15, 0x00,
                     0x25, 0xFF, 0x09, 0x01, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xC0};
    ReportDescriptor parsed;
    std::string error;
    ASSERT_TRUE(ParseReportDescriptor(d, parsed, error)) << error;
    const TopLevelCollection& c = parsed.collections[0];
    EXPECT_EQ(c.usagePage, 0xFF1C);
    EXPECT_EQ(c.usage, 0x92);
    ASSERT_EQ(c.fields.size(), 1U);
    EXPECT_EQ(c.fields[0].logicalMax, 255);
    // One usage over two fields: a value array whose first field is read.
    ASSERT_EQ(c.ValueCaps(ReportType::Input).size(), 1U);
    EXPECT_EQ(c.ValueCaps(ReportType::Input)[0].reportCount, 2);
    uint32_t value = 0;
    int32_t scaled = 0;
    EXPECT_EQ(
        GetUsageValue(c, ReportType::Input, 0x01, 0, 0x01, Bytes{0x00, 0xC8, 0x07}, value, scaled),
        HidStatus::Success);
    EXPECT_EQ(scaled, 200);
}

TEST(HidDescriptor, PushAndPopRestoreGlobals) {
    const Bytes d = InCollection({0x75, 0x08, 0x95, 0x01, 0xA4,  // size 8, count 1, push
                                  0x75, 0x10, 0x95, 0x04, 0xB4,  // size 16, count 4, pop
                                  0x09, 0x30, 0x15, 0x00, 0x25, 0x7F, 0x81, 0x02});
    ReportDescriptor parsed;
    std::string error;
    ASSERT_TRUE(ParseReportDescriptor(d, parsed, error)) << error;
    EXPECT_EQ(parsed.collections[0].ReportByteLength(ReportType::Input), 2U);
}

}  // namespace
}  // namespace vextar::hid
