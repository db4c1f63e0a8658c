#include "protocol/ScanRule.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace provix {
namespace {

struct ScanCase {
    std::string name;
    std::function<int(int tick)> count_at;  // rows in the store at a tick
    int end_tick;
    std::vector<int> resend_ticks;
};

struct ScanRun {
    int end_tick = -1;
    std::vector<int> resend_ticks;
};

ScanRun RunScan(ScanRule& rule, const std::function<int(int)>& count_at) {
    ScanRun run;
    for (int tick = 1; tick <= 200; ++tick) {
        switch (rule.Tick(count_at(tick))) {
            case ScanRule::Action::End:
                run.end_tick = tick;
                return run;
            case ScanRule::Action::SendDiscover:
                run.resend_ticks.push_back(tick);
                break;
            case ScanRule::Action::Continue:
                break;
        }
    }
    return run;
}

class ScanRuleCases : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanRuleCases, EndsAndRepeatsTheRequestOnTheRightTicks) {
    const ScanCase& c = GetParam();
    ScanRule rule;
    ASSERT_TRUE(rule.Start());
    ScanRun run = RunScan(rule, c.count_at);
    EXPECT_EQ(run.end_tick, c.end_tick);
    EXPECT_EQ(run.resend_ticks, c.resend_ticks);
    EXPECT_FALSE(rule.Scanning());
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ScanRuleCases,
    ::testing::Values(
        ScanCase{"NoDeviceAnswers", [](int) { return 0; }, 4, {}},
        ScanCase{"TenDevicesInTheFirstSecond", [](int) { return 10; }, 4, {}},
        // The comparison at tick 4 ends the scan before a device that answers at the 6th second.
        ScanCase{"LateDeviceMissed", [](int t) { return t >= 6 ? 1 : 0; }, 4, {}},
        // Growth between tick 1 and tick 4 keeps the scan going for one more period.
        ScanCase{"DeviceAtSecondTwo", [](int t) { return t >= 2 ? 1 : 0; }, 8, {}},
        ScanCase{"GrowthUntilSecond13", [](int t) { return std::min(t, 13); }, 20, {12}},
        ScanCase{"GrowthUntilSecond30", [](int t) { return std::min(t, 30); }, 36, {12, 24}},
        // A count that drops (rows deleted meanwhile) is a change too, not an end.
        ScanCase{"CountDrops", [](int t) { return t < 3 ? 5 : 2; }, 8, {}}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return info.param.name; });

TEST(ScanRule, StartWhileScanningIsRefusedAndTheNextScanStartsAfresh) {
    ScanRule rule;
    EXPECT_EQ(rule.Tick(3), ScanRule::Action::Continue);  // no scan yet: ignored
    EXPECT_EQ(rule.Ticks(), 0);

    ASSERT_TRUE(rule.Start());
    EXPECT_EQ(rule.Tick(0), ScanRule::Action::Continue);
    EXPECT_EQ(rule.Tick(4), ScanRule::Action::Continue);
    EXPECT_FALSE(rule.Start());
    EXPECT_EQ(rule.Ticks(), 2);  // the refused start left the running scan alone
    EXPECT_EQ(rule.Tick(4), ScanRule::Action::Continue);
    EXPECT_EQ(rule.Tick(4), ScanRule::Action::Continue);  // tick 4: 4 against tick 1's 0
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rule.Tick(4), ScanRule::Action::Continue);
    }
    EXPECT_EQ(rule.Tick(4), ScanRule::Action::End);  // tick 8: no growth

    // A second scan with a store that already holds rows: tick 1 is its own baseline.
    ASSERT_TRUE(rule.Start());
    ScanRun run = RunScan(rule, [](int) { return 4; });
    EXPECT_EQ(run.end_tick, 4);
}

}  // namespace
}  // namespace provix
