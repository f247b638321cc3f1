// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/device_table.h"

#include <gtest/gtest.h>

namespace tovimo::media {
namespace {

class CountedDevice final : public Device {
public:
    explicit CountedDevice(int& closed) : closed_(closed) {}
    ~CountedDevice() override { ++closed_; }
    std::uint32_t execute(const Command&, std::string&) override { return 0; }

private:
    int& closed_;
};

TEST(DeviceTable, FindsAliasesIgnoringCaseAndElementsExactly) {
    int closed = 0;
    DeviceTable table;
    table.add("Media", true, std::make_unique<CountedDevice>(closed));
    table.add("/m/Clip.mp4", false, std::make_unique<CountedDevice>(closed));
    EXPECT_TRUE(table.contains("MEDIA"));
    EXPECT_TRUE(table.contains("/m/Clip.mp4"));
    EXPECT_FALSE(table.contains("/m/clip.mp4"));
    EXPECT_FALSE(table.contains("Medi"));
}

TEST(DeviceTable, GivesTheLowestFreeIdAndClosesOnRemoval) {
    int closed = 0;
    DeviceTable table;
    EXPECT_EQ(table.add("a", true, std::make_unique<CountedDevice>(closed)), 1u);
    EXPECT_EQ(table.add("b", true, std::make_unique<CountedDevice>(closed)), 2u);
    EXPECT_TRUE(table.remove("A"));
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(table.remove("a"));
    EXPECT_EQ(table.add("c", true, std::make_unique<CountedDevice>(closed)), 1u);
    table.clear();
    EXPECT_EQ(closed, 3);
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(table.add("d", true, std::make_unique<CountedDevice>(closed)), 1u);
}

} // namespace
} // namespace tovimo::media
