#include "cli/AdapterChoice.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/AdapterList.h"

namespace provix {
namespace {

local_adapter_stu Adapter(std::string name, std::string description, std::uint8_t last) {
    local_adapter_stu a;
    a.mac = {0x00, 0xe0, 0x4c, 0x68, 0x01, last};
    a.name = std::move(name);
    a.description = std::move(description);
    return a;
}

// Two adapters share a description and a MAC (a bond's slaves show so); one is named like an index.
const std::vector<local_adapter_stu> kAdapters = {
    Adapter("eth1", "Onboard", 0x01),  Adapter("eth10", "USB Ethernet", 0x02), Adapter("3", "Odd name", 0x03),
    Adapter("bond0a", "Bonded", 0x04), Adapter("bond0b", "Bonded", 0x04),
};

struct Case {
    const char* label;
    std::string wanted;
    int index;         // -1: refused
    const char* says;  // part of the refusal
};

class AdapterNamed : public ::testing::TestWithParam<Case> {};

TEST_P(AdapterNamed, PicksOneAdapterOrSaysWhyNot) {
    const Case& c = GetParam();
    const AdapterChoice choice = ChooseAdapterNamed(kAdapters, c.wanted);
    if (c.index < 0) {
        EXPECT_FALSE(choice.index);
        EXPECT_NE(choice.error.find(c.says), std::string::npos) << choice.error;
    } else {
        ASSERT_TRUE(choice.index) << choice.error;
        EXPECT_EQ(*choice.index, static_cast<std::size_t>(c.index));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, AdapterNamed,
    ::testing::Values(
        Case{"name_exact", "eth1", 0, ""}, Case{"name_not_a_prefix", "eth", -1, "unknown adapter \"eth\""},
        Case{"display_text", "USB Ethernet (00:e0:4c:68:01:02)", 1, ""},
        Case{"display_text_case_matters", "usb ethernet (00:e0:4c:68:01:02)", -1, "unknown adapter"},
        Case{"index", "1", 1, ""}, Case{"index_zero", "0", 0, ""},
        // An interface called "3" is that interface, not the fourth in the list.
        Case{"name_before_index", "3", 2, ""}, Case{"index_past_end", "5", -1, "unknown adapter"},
        Case{"index_with_sign", "+1", -1, "unknown adapter"},
        Case{"huge_index", "99999999999999999999", -1, "unknown adapter"},
        Case{"ambiguous_text", "Bonded (00:e0:4c:68:01:04)", -1, "more than one adapter"},
        Case{"ambiguous_text_by_name", "bond0b", 4, ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(AdapterChoice, NoAdapterAtAllPointsAtTheNic) {
    const AdapterChoice choice = ChooseAdapterNamed({}, "0");
    EXPECT_FALSE(choice.index);
    EXPECT_NE(choice.error.find("NIC is enabled"), std::string::npos) << choice.error;
}

}  // namespace
}  // namespace provix
