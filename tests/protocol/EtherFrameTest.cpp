#include "protocol/EtherFrame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace provix {
namespace {

const MacAddress kAdapter{0x00, 0xe0, 0x4c, 0x68, 0x01, 0x02};
const MacAddress kDevice{0xc8, 0x3a, 0x35, 0xa1, 0xb2, 0xc3};

// Expected frame as its non-zero regions: offset -> bytes. Every byte not listed must be zero, so a
// stray write anywhere in the 1286 bytes fails the comparison.
using Regions = std::map<std::size_t, std::vector<std::uint8_t>>;

std::vector<std::uint8_t> Mac(const MacAddress& m) {
    return {m.begin(), m.end()};
}

void ExpectFrame(const ether_frame_stu& frame, const Regions& regions) {
    std::array<std::uint8_t, kFrameSize> expected{};
    for (const auto& [offset, bytes] : regions) {
        ASSERT_LE(offset + bytes.size(), kFrameSize);
        std::copy(bytes.begin(), bytes.end(), expected.begin() + offset);
    }
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        ASSERT_EQ(frame.bytes[i], expected[i]) << "at offset " << i;
    }
}

TEST(EtherFrameLayout, DiscoverRequestHasExactlyFourNonZeroRegions) {
    ExpectFrame(BuildDiscoverRequest(kAdapter), {
                                                    {0, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff}},
                                                    {6, Mac(kAdapter)},
                                                    {12, {0x62, 0x62}},
                                                    {18, {0x00, 0x01}},
                                                });
}

TEST(EtherFrameLayout, DataSegmentsOfBothFileModules) {
    const std::vector<std::uint8_t> payload{0x3c, 0x3f, 0x78, 0x6d, 0x6c};
    auto para = BuildDataSegment(kDevice, kAdapter, MODULE_PARA, 2, 0x0102, SEG_FIRST, payload);
    ASSERT_TRUE(para);
    ExpectFrame(*para, {
                           {0, Mac(kDevice)},
                           {6, Mac(kAdapter)},
                           {12, {0x62, 0x62, 0x00, 0x01, 0x01, 0x02, 0x00, 0x02, 0x00, 0x02}},
                           {222, {0x00, 0x01}},
                           {260, payload},
                           {1284, {0x00, 0x05}},
                       });

    std::vector<std::uint8_t> full(kSegmentSize, 0xab);
    auto logo = BuildDataSegment(kDevice, kAdapter, MODULE_LOGO, 1, kSeqWrap, SEG_LAST, full);
    ASSERT_TRUE(logo);
    ExpectFrame(*logo, {
                           {0, Mac(kDevice)},
                           {6, Mac(kAdapter)},
                           {12, {0x62, 0x62, 0x00, 0x02, 0xff, 0xff, 0x00, 0x03, 0x00, 0x01}},
                           {222, {0x00, 0x02}},
                           {260, full},
                           {1284, {0x04, 0x00}},
                       });
}

TEST(EtherFrameLayout, DataSegmentRefusesWhatCannotBeSent) {
    std::vector<std::uint8_t> too_long(kSegmentSize + 1, 1);
    EXPECT_FALSE(BuildDataSegment(kDevice, kAdapter, MODULE_PARA, 1, 1, SEG_LAST, too_long));
    // Only the two file modules carry data segments.
    for (std::uint16_t module : {0, 3, 4}) {
        EXPECT_FALSE(BuildDataSegment(kDevice, kAdapter, module, 1, 1, SEG_LAST, {})) << module;
    }
}

TEST(EtherFrameLayout, EmptySegmentCarriesOnlyItsHeader) {
    auto frame = BuildDataSegment(kDevice, kAdapter, MODULE_PARA, 1, 1, SEG_LAST, {});
    ASSERT_TRUE(frame);
    ExpectFrame(*frame, {
                            {0, Mac(kDevice)},
                            {6, Mac(kAdapter)},
                            {12, {0x62, 0x62, 0x00, 0x01, 0x00, 0x01, 0x00, 0x02, 0x00, 0x01}},
                            {222, {0x00, 0x02}},
                        });
}

TEST(EtherFrameLayout, CommandFrameHoldsTextAndNul) {
    const std::string json = R"({"Lockcode":"a1","Enable":"1"})";
    auto frame = BuildCommandFrame(kDevice, kAdapter, json);
    ASSERT_TRUE(frame);
    ExpectFrame(*frame, {
                            {0, Mac(kDevice)},
                            {6, Mac(kAdapter)},
                            {12, {0x62, 0x62, 0x00, 0x03, 0x00, 0x01, 0x00, 0x0b, 0x00, 0x01}},
                            {222, {0x00, 0x02}},
                            {260, std::vector<std::uint8_t>(json.begin(), json.end())},
                            {1284, {0x00, static_cast<std::uint8_t>(json.size())}},
                        });
}

TEST(EtherFrameLayout, CommandTextLimits) {
    const std::string longest(kMaxCommandLength, 'x');
    auto frame = BuildCommandFrame(kDevice, kAdapter, longest);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->DataLen(), kMaxCommandLength);
    EXPECT_EQ(frame->bytes[kOffData + kMaxCommandLength], 0);  // the NUL the device reads up to

    EXPECT_FALSE(BuildCommandFrame(kDevice, kAdapter, longest + "x"));
    // An embedded NUL would make the device read a shorter command than the one checked.
    EXPECT_FALSE(BuildCommandFrame(kDevice, kAdapter, std::string("{\"a\"\0:1}", 8)));
}

TEST(EtherFrameLayout, DeviceSideFrames) {
    ExpectFrame(BuildReply(kAdapter, kDevice, MODULE_LOGO, 7),
                {
                    {0, Mac(kAdapter)},
                    {6, Mac(kDevice)},
                    {12, {0x62, 0x62, 0x00, 0x02, 0x00, 0x07, 0x00, 0x04}},
                });
    ExpectFrame(BuildReport(kAdapter, kDevice, MODULE_JSON, MSG_LOCKCODE_MISMATCH),
                {
                    {0, Mac(kAdapter)},
                    {6, Mac(kDevice)},
                    {12, {0x62, 0x62, 0x00, 0x03, 0x00, 0x00, 0x00, 0x09}},
                });
    ExpectFrame(BuildDiscoverAnswer(kAdapter, kDevice, {"Home", "Home-5G", "k24", "k5"}),
                {
                    {0, Mac(kAdapter)},
                    {6, Mac(kDevice)},
                    {12, {0x62, 0x62, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04}},
                    {22, {'H', 'o', 'm', 'e'}},
                    {56, {'H', 'o', 'm', 'e', '-', '5', 'G'}},
                    {90, {'k', '2', '4'}},
                    {156, {'k', '5'}},
                });
}

TEST(EtherFrameRead, FieldsOfAReceivedFrame) {
    const ether_frame_stu frame = BuildReply(kAdapter, kDevice, MODULE_PARA, 0x1234);
    EXPECT_EQ(frame.DstMac(), kAdapter);
    EXPECT_EQ(frame.SrcMac(), kDevice);
    EXPECT_EQ(frame.EtherType(), kEtherType);
    EXPECT_EQ(frame.Module(), MODULE_PARA);
    EXPECT_EQ(frame.Seq(), 0x1234);
    EXPECT_EQ(frame.Msg(), MSG_REPLY);
}

TEST(EtherFrameRead, ShortFrameReadsAsZeroPadded) {
    // A discovery answer cut off at offset 80: inside the 5 GHz SSID, before both keys.
    ether_frame_stu full =
        BuildDiscoverAnswer(kAdapter, kDevice, {"Office", "Office-5G-Guest", "secret", "s5"});
    const ether_frame_stu cut = FrameFromBytes(std::span(full.bytes).first(80));
    EXPECT_EQ(cut.SrcMac(), kDevice);
    EXPECT_EQ(cut.Msg(), MSG_REPLY);
    const DeviceInfoTexts info = ReadDeviceInfo(cut);
    EXPECT_EQ(info.ssid24, "Office");
    EXPECT_EQ(info.ssid5, "Office-5G-Guest");
    EXPECT_EQ(info.key24, "");
    EXPECT_EQ(info.key5, "");
    for (std::size_t i = 80; i < kFrameSize; ++i)
        ASSERT_EQ(cut.bytes[i], 0) << i;

    // Too short to carry anything but part of an address.
    const std::uint8_t stub[] = {0xff, 0xff};
    const ether_frame_stu tiny = FrameFromBytes(stub);
    EXPECT_EQ(tiny.Module(), 0);
    EXPECT_EQ(tiny.Msg(), 0);
    EXPECT_FALSE(IsValidModuleMsg(tiny.Module(), tiny.Msg()));
    EXPECT_EQ(FrameFromBytes({}), ether_frame_stu{});
}

TEST(EtherFrameRead, LongFrameIsCutAtRecordSize) {
    std::vector<std::uint8_t> wire(1514, 0x5a);
    const ether_frame_stu frame = FrameFromBytes(wire);
    for (std::uint8_t b : frame.bytes)
        ASSERT_EQ(b, 0x5a);
}

TEST(EtherFrameRead, ClaimedDataLengthNeverReachesPastTheRecord) {
    ether_frame_stu frame;
    frame.Set16(kOffDataLen, 0xffff);
    EXPECT_EQ(frame.Data().size(), kSegmentSize);
    EXPECT_EQ(frame.Data().data(), frame.bytes.data() + kOffData);
}

TEST(EtherFrameRead, InfoSlotsWithoutNulEndAtTheSlot) {
    ether_frame_stu frame;
    std::fill(frame.bytes.begin() + kOffInfo, frame.bytes.begin() + kOffInfo + kInfoSize, 'A');
    frame.bytes[kSlotKey24.offset + 3] = 0;  // only this slot is terminated
    const DeviceInfoTexts info = ReadDeviceInfo(frame);
    EXPECT_EQ(info.ssid24, std::string(34, 'A'));
    EXPECT_EQ(info.ssid5, std::string(34, 'A'));
    EXPECT_EQ(info.key24, "AAA");
    EXPECT_EQ(info.key5, std::string(66, 'A'));
    // A slot lying partly outside the record is read only up to the record's end.
    frame.Set16(kFrameSize - 2, 0x4142);
    EXPECT_EQ(frame.InfoText({kFrameSize - 2, 34}).size(), 2u);
    EXPECT_EQ(frame.InfoText({kFrameSize + 5, 34}), "");
}

TEST(EtherFrameRead, OverlongDeviceTextsStayInsideTheirSlots) {
    const DeviceInfoTexts in{std::string(40, 'a'), std::string(34, 'b'), std::string(70, 'c'),
                             std::string(66, 'd')};
    const DeviceInfoTexts out = ReadDeviceInfo(BuildDiscoverAnswer(kAdapter, kDevice, in));
    EXPECT_EQ(out.ssid24, std::string(33, 'a'));
    EXPECT_EQ(out.ssid5, std::string(33, 'b'));
    EXPECT_EQ(out.key24, std::string(65, 'c'));
    EXPECT_EQ(out.key5, std::string(65, 'd'));
}

TEST(EtherFrameRead, OutOfRangeFieldAccessIsHarmless) {
    ether_frame_stu frame;
    frame.Set16(kFrameSize - 1, 0xffff);
    frame.Set16(kFrameSize + 100, 0xffff);
    EXPECT_EQ(frame, ether_frame_stu{});
    EXPECT_EQ(frame.Get16(kFrameSize - 1), 0);
}

TEST(EtherFrameCodes, ModuleMessagePairs) {
    const std::vector<std::pair<std::uint16_t, std::uint16_t>> defined{
        {0, 1}, {0, 4}, {1, 2}, {1, 4}, {1, 5}, {1, 6},  {2, 3},
        {2, 4}, {2, 7}, {2, 8}, {3, 4}, {3, 9}, {3, 10}, {3, 11},
    };
    for (std::uint16_t module = 0; module < 6; ++module) {
        for (std::uint16_t msg = 0; msg < 14; ++msg) {
            const bool expected =
                std::find(defined.begin(), defined.end(), std::make_pair(module, msg)) != defined.end();
            EXPECT_EQ(IsValidModuleMsg(module, msg), expected) << module << "/" << msg;
        }
    }
    EXPECT_FALSE(IsValidModuleMsg(0xffff, MSG_REPLY));
    EXPECT_FALSE(IsValidModuleMsg(MODULE_PARA, 0x0104));  // a code only matches in full
}

TEST(EtherFrameCodes, ResultReportsAndLabels) {
    struct Case {
        std::uint16_t module, msg;
        bool report;
    };
    const Case cases[] = {
        {1, 5, true},  {1, 6, true},  {2, 7, true},  {2, 8, true},  {3, 9, true},   {3, 10, true},
        {1, 8, false},  // a logo code in the configuration module
        {2, 6, false}, {3, 5, false}, {0, 4, false}, {1, 4, false}, {3, 11, false}, {4, 6, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsResultReport(c.module, c.msg), c.report) << c.module << "/" << c.msg;

    EXPECT_STREQ(ModuleLabel(MODULE_PARA), "PARA_DATA");
    EXPECT_STREQ(ModuleLabel(MODULE_LOGO), "LOG_DATA");
    EXPECT_STREQ(ModuleLabel(MODULE_JSON), "JSON_CMD_DATA");
    EXPECT_STREQ(ModuleLabel(MODULE_DISCOVER), "");
    EXPECT_STREQ(ModuleLabel(9), "");
}

TEST(MacText, BothFormsAndRoundTrip) {
    EXPECT_EQ(FormatMacUpper(kAdapter), "00:E0:4C:68:01:02");
    EXPECT_EQ(FormatMacLower(kAdapter), "00:e0:4c:68:01:02");
    const MacAddress edges[] = {
        {0, 0, 0, 0, 0, 0}, kBroadcastMac, kDevice, {0x0a, 0xf0, 0x09, 0x90, 0xa0, 0x0f}};
    for (const MacAddress& mac : edges) {
        EXPECT_EQ(ParseMac(FormatMacUpper(mac)), mac) << FormatMacUpper(mac);
        EXPECT_EQ(ParseMac(FormatMacLower(mac)), mac) << FormatMacLower(mac);
    }
}

TEST(MacText, MalformedTextsAreRejected) {
    const char* bad[] = {
        "",
        "00:E0:4C:68:01",      // five fields
        "00:E0:4C:68:01:0",    // short last field
        "00:E0:4C:68:01:022",  // long last field
        "00:E0:4C:68:01:02:",  // trailing separator
        "00-E0-4C-68-01-02",   // wrong separator
        "00:E0:4C:68:01 02",   // blank separator
        "0:E0:4C:68:01:02:",   // field widths shifted
        "00:E0:4G:68:01:02",   // not hex
        " 00:E0:4C:68:01:0",   // leading blank
        "00:E0:4C:68:01:+2",   // sign accepted by sscanf, not here
        "00E04C680102xxxxx",   // no separators
    };
    for (const char* text : bad)
        EXPECT_FALSE(ParseMac(text)) << '"' << text << '"';
    EXPECT_FALSE(ParseMac(std::string_view("00:E0:4C:68:01:\0002", 17)));
}

struct SegmentCase {
    std::uint64_t payload_len;
    std::vector<std::uint16_t> flags;    // of every segment
    std::vector<std::uint16_t> lengths;  // of every segment
};

class SegmentPlanTest : public testing::TestWithParam<SegmentCase> {};

TEST_P(SegmentPlanTest, FlagsAndLengths) {
    const SegmentCase& c = GetParam();
    ASSERT_EQ(SegmentCount(c.payload_len), c.flags.size());
    std::uint64_t covered = 0;
    for (std::uint64_t n = 1; n <= c.flags.size(); ++n) {
        auto seg = PlanSegment(c.payload_len, n);
        ASSERT_TRUE(seg) << n;
        EXPECT_EQ(seg->number, n);
        EXPECT_EQ(seg->seq, n);
        EXPECT_EQ(seg->seg_flag, c.flags[n - 1]) << "segment " << n;
        EXPECT_EQ(seg->length, c.lengths[n - 1]) << "segment " << n;
        EXPECT_EQ(seg->offset, covered);
        covered += seg->length;
    }
    EXPECT_EQ(covered, c.payload_len);
    EXPECT_FALSE(PlanSegment(c.payload_len, 0));
    EXPECT_FALSE(PlanSegment(c.payload_len, c.flags.size() + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, SegmentPlanTest,
    testing::Values(SegmentCase{0, {SEG_LAST}, {0}}, SegmentCase{1, {SEG_LAST}, {1}},
                    SegmentCase{1024, {SEG_LAST}, {1024}},
                    SegmentCase{1025, {SEG_FIRST, SEG_LAST}, {1024, 1}},
                    SegmentCase{2048, {SEG_FIRST, SEG_LAST}, {1024, 1024}},
                    SegmentCase{2049, {SEG_FIRST, SEG_MIDDLE, SEG_LAST}, {1024, 1024, 1}},
                    SegmentCase{3000, {SEG_FIRST, SEG_MIDDLE, SEG_LAST}, {1024, 1024, 952}}));

TEST(SegmentSequence, WrapsToFFFFInsteadOfZero) {
    struct Case {
        std::uint64_t n;
        std::uint16_t seq;
    };
    const Case cases[] = {{1, 1},          {65534, 65534}, {65535, 65535},
                          {65536, 0xFFFF}, {65537, 1},     {131072, 0xFFFF}};
    for (const Case& c : cases)
        EXPECT_EQ(SegmentSeq(c.n), c.seq) << c.n;

    // A payload of exactly 65535 and 65536 segments: the last one's number and flag.
    const std::uint64_t len65535 = 65535ull * kSegmentSize;
    EXPECT_EQ(SegmentCount(len65535), 65535u);
    EXPECT_EQ(PlanSegment(len65535, 65535)->seq, 65535);
    EXPECT_EQ(PlanSegment(len65535, 65535)->seg_flag, SEG_LAST);
    const std::uint64_t len65536 = 65536ull * kSegmentSize;
    EXPECT_EQ(SegmentCount(len65536), 65536u);
    EXPECT_EQ(PlanSegment(len65536, 65535)->seg_flag, SEG_MIDDLE);
    EXPECT_EQ(PlanSegment(len65536, 65536)->seq, 0xFFFF);
    EXPECT_EQ(PlanSegment(len65536, 65536)->seg_flag, SEG_LAST);
    EXPECT_EQ(PlanSegment(len65536 + 1, 65537)->seq, 1);
}

TEST(Acknowledgement, FileSegmentRules) {
    struct Case {
        ether_frame_stu frame;
        std::uint64_t n;
        bool acknowledges;
        const char* why;
    };
    const Case cases[] = {
        {BuildReply(kAdapter, kDevice, MODULE_PARA, 3), 3, true, "matching reply"},
        {BuildReply(kAdapter, kDevice, MODULE_PARA, 2), 3, false, "older segment"},
        {BuildReply(kAdapter, kDevice, MODULE_LOGO, 3), 3, false, "other module"},
        {BuildReport(kAdapter, kDevice, MODULE_PARA, MSG_PARA_SUCCESS), 3, false, "report is no reply"},
        {BuildReply(kAdapter, kDevice, MODULE_JSON, kSeqWrap), 3, true, "0xFFFF from any module"},
        {BuildReply(kAdapter, kDevice, MODULE_PARA, 1), 65537, false, "low bits alone do not match"},
        {BuildReply(kAdapter, kDevice, MODULE_PARA, kSeqWrap), 65537, true, "0xFFFF past the wrap"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AcknowledgesFileSegment(c.frame, MODULE_PARA, c.n), c.acknowledges) << c.why;
}

TEST(Acknowledgement, CommandRules) {
    EXPECT_TRUE(AcknowledgesCommand(BuildReply(kAdapter, kDevice, MODULE_JSON, 1)));
    EXPECT_FALSE(AcknowledgesCommand(BuildReply(kAdapter, kDevice, MODULE_JSON, kSeqWrap)));
    EXPECT_FALSE(AcknowledgesCommand(BuildReply(kAdapter, kDevice, MODULE_PARA, 1)));
    EXPECT_FALSE(AcknowledgesCommand(BuildReport(kAdapter, kDevice, MODULE_JSON, MSG_JSON_SUCCESS)));
}

}  // namespace
}  // namespace provix
