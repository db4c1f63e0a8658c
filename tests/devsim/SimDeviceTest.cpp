#include "SimDevice.h"

#include "Sha256.h"
#include "SimFrame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace provix::devsim {
namespace {

const Mac kDevice{0x02, 0x50, 0x00, 0x00, 0x00, 0x01};
const Mac kTool{0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f};

std::vector<uint8_t> Segment(uint16_t module, uint16_t seq, uint16_t flag, uint16_t len, uint8_t salt = 0,
                             uint16_t total = 1) {
    std::vector<uint8_t> f(kFrameSize);
    BuildHeader(f.data(), kDevice, kTool, module, module == kModulePara ? kMsgParaData : kMsgLogoData, seq,
                total);
    PutU16(f.data(), kOffSegFlag, flag);
    PutU16(f.data(), kOffDataLen, len);
    for (size_t i = 0; i < std::min<size_t>(len, kSegmentSize); ++i) {
        f[kOffData + i] = static_cast<uint8_t>(i * 7 + seq + salt);
    }
    return f;
}

std::vector<uint8_t> CommandFrame(const std::string& text, uint16_t seq = 1, uint16_t flag = kSegLast,
                                  bool nul = true) {
    std::vector<uint8_t> f(kFrameSize);
    BuildHeader(f.data(), kDevice, kTool, kModuleJson, kMsgJsonCmd, seq, 1);
    PutU16(f.data(), kOffSegFlag, flag);
    std::memcpy(f.data() + kOffData, text.data(), std::min(text.size(), kSegmentSize));
    if (!nul && text.size() < kSegmentSize)
        f[kOffData + text.size()] = 'x';
    PutU16(f.data(), kOffDataLen, static_cast<uint16_t>(std::min(text.size(), kSegmentSize)));
    return f;
}

std::vector<Reply> Feed(SimDevice& device, const std::vector<uint8_t>& frame, size_t wire_len = kFrameSize) {
    std::vector<Reply> out;
    device.OnFrame(frame.data(), wire_len, out);
    return out;
}

bool HasViolation(const SimDevice& device, const std::string& text) {
    return std::any_of(device.violations().begin(), device.violations().end(),
                       [&](const std::string& v) { return v.find(text) != std::string::npos; });
}

TEST(Sha256, KnownDigests) {
    struct Case {
        std::string input;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sha256::HexOf(reinterpret_cast<const uint8_t*>(c.input.data()), c.input.size()), c.digest)
            << '"' << c.input << '"';
    }
}

TEST(Sha256, PiecewiseUpdatesMatchOneShot) {
    std::vector<uint8_t> data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 31 + 7);
    const std::string whole = Sha256::HexOf(data.data(), data.size());
    for (size_t piece : {1u, 3u, 55u, 63u, 64u, 65u, 1000u}) {
        Sha256 sha;
        for (size_t pos = 0; pos < data.size(); pos += piece)
            sha.Update(data.data() + pos, std::min(piece, data.size() - pos));
        const auto digest = sha.Finish();
        EXPECT_EQ(ToHex(digest.data(), digest.size()), whole) << "pieces of " << piece;
    }
}

TEST(SeqForSegment, WrapsToFfffNeverZero) {
    const std::pair<uint64_t, uint16_t> cases[] = {
        {1, 1}, {65535, 65535}, {65536, 0xffff}, {65537, 1}, {131072, 0xffff}};
    for (const auto& [n, seq] : cases)
        EXPECT_EQ(SeqForSegment(n), seq) << "segment " << n;
}

struct Step {
    uint16_t seq;
    uint16_t flag;
    uint16_t len;
    bool acked;
    uint8_t salt = 0;
    uint16_t total = 1;
};

struct Scenario {
    const char* name;
    std::vector<Step> steps;
    size_t files;
    uint64_t last_size;  // size of the last finished payload
    uint64_t retransmissions;
    uint64_t duplicates;
    size_t reports;
    std::vector<std::string> violations;  // each must appear; none other allowed when empty
};

class Reassembly : public ::testing::TestWithParam<Scenario> {};

TEST_P(Reassembly, AcksCountsAndViolations) {
    const Scenario& s = GetParam();
    SimDevice device(kDevice, 1, Behaviour{}, 1, "");
    size_t reports = 0;
    for (size_t i = 0; i < s.steps.size(); ++i) {
        const Step& step = s.steps[i];
        const auto out =
            Feed(device, Segment(kModulePara, step.seq, step.flag, step.len, step.salt, step.total));
        const bool acked = std::any_of(out.begin(), out.end(), [&](const Reply& r) {
            return r.kind == Reply::kAck && r.module == kModulePara && r.msg == kMsgReply &&
                   r.seq == step.seq && r.dst == kTool;
        });
        EXPECT_EQ(acked, step.acked) << "step " << i;
        reports +=
            std::count_if(out.begin(), out.end(), [](const Reply& r) { return r.kind == Reply::kReport; });
    }
    ASSERT_EQ(device.files().size(), s.files);
    if (s.files) {
        EXPECT_EQ(device.files().back().size, s.last_size);
    }
    EXPECT_EQ(device.counters().retransmissions, s.retransmissions);
    EXPECT_EQ(device.counters().duplicates, s.duplicates);
    EXPECT_EQ(reports, s.reports);
    if (s.violations.empty()) {
        EXPECT_TRUE(device.violations().empty()) << device.violations().front();
    }
    for (const std::string& v : s.violations)
        EXPECT_TRUE(HasViolation(device, v)) << "missing: " << v;
}

INSTANTIATE_TEST_SUITE_P(
    Segments, Reassembly,
    ::testing::Values(
        Scenario{"Clean", {{1, 1, 1024, true}, {2, 0, 1024, true}, {3, 2, 952, true}}, 1, 3000, 0, 0, 1, {}},
        Scenario{"EmptyPayload", {{1, 2, 0, true}}, 1, 0, 0, 0, 1, {}},
        Scenario{"RetransmittedSegment",
                 {{1, 1, 1024, true}, {1, 1, 1024, true}, {2, 2, 5, true}},
                 1,
                 1029,
                 1,
                 0,
                 1,
                 {}},
        Scenario{"RetransmissionWithOtherData",
                 {{1, 1, 1024, true}, {1, 1, 1024, true, 9}},
                 0,
                 0,
                 1,
                 0,
                 0,
                 {"differs"}},
        Scenario{"GapIsNotAcknowledged",
                 {{1, 1, 1024, true}, {3, 0, 1024, false}, {2, 2, 10, true}},
                 1,
                 1034,
                 0,
                 0,
                 1,
                 {"out of order (expected 2)"}},
        Scenario{"OlderSegmentRepeated",
                 {{1, 1, 1024, true}, {2, 0, 1024, true}, {3, 0, 1024, true}, {2, 0, 1024, true}},
                 0,
                 0,
                 0,
                 1,
                 0,
                 {"older segment"}},
        Scenario{"RestartMidPayload",
                 {{1, 1, 1024, true}, {2, 0, 1024, true}, {1, 2, 10, true}},
                 1,
                 10,
                 0,
                 0,
                 1,
                 {"new payload started after 2"}},
        Scenario{"FirstFlaggedMiddle",
                 {{1, 0, 1024, true}, {2, 2, 1, true}},
                 1,
                 1025,
                 0,
                 0,
                 1,
                 {"flagged as middle"}},
        Scenario{"ShortSegmentBeforeTheLast",
                 {{1, 1, 100, true}, {2, 2, 100, true}},
                 1,
                 200,
                 0,
                 0,
                 1,
                 {"not the last"}},
        Scenario{"OversizedDataLen", {{1, 2, 1500, false}}, 0, 0, 0, 0, 0, {"exceeds 1024"}},
        Scenario{
            "FinalSegmentResentAfterCompletion", {{1, 2, 10, true}, {1, 2, 10, true}}, 1, 10, 1, 0, 2, {}},
        Scenario{"SameSmallPayloadWithNewData", {{1, 2, 10, true}, {1, 2, 10, true, 4}}, 2, 10, 0, 0, 2, {}},
        Scenario{"TotalChanges",
                 {{1, 1, 1024, true, 0, 2}, {2, 2, 3, true, 0, 1}},
                 1,
                 1027,
                 0,
                 0,
                 1,
                 {"total changed from 2 to 1"}},
        Scenario{"TotalZero", {{1, 2, 3, true, 0, 0}}, 1, 3, 0, 0, 1, {"total 0"}},
        Scenario{"UnknownFlag", {{1, 7, 3, true}}, 0, 0, 0, 0, 0, {"unknown seg_flag 7"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimDevice, PayloadBeyondSixtyFiveThousandSegmentsWrapsItsSeq) {
    SimDevice device(kDevice, 1, Behaviour{}, 1, "");
    const uint64_t count = 65538;
    Sha256 sha;
    for (uint64_t n = 1; n <= count; ++n) {
        const uint16_t seq = SeqForSegment(n);
        const auto frame = Segment(kModuleLogo, seq,
                                   n == 1       ? kSegFirst
                                   : n == count ? kSegLast
                                                : kSegMiddle,
                                   n == count ? 17 : 1024, static_cast<uint8_t>(n % 251));
        sha.Update(frame.data() + kOffData, n == count ? 17 : 1024);
        const auto out = Feed(device, frame);
        ASSERT_FALSE(out.empty()) << "segment " << n << " not acknowledged";
        ASSERT_EQ(out[0].seq, seq) << "segment " << n;
    }
    ASSERT_EQ(device.files().size(), 1u);
    EXPECT_EQ(device.files()[0].segments, count);
    EXPECT_EQ(device.files()[0].size, (count - 1) * 1024 + 17);
    const auto digest = sha.Finish();
    EXPECT_EQ(device.files()[0].sha256, ToHex(digest.data(), digest.size()));
    EXPECT_TRUE(device.violations().empty()) << device.violations().front();
}

TEST(SimDevice, BehaviourShapesTheReplies) {
    struct Case {
        const char* name;
        Behaviour behaviour;
        std::vector<Reply::Kind> kinds;  // replies to one one-segment logo payload
        uint16_t ack_seq;
        uint16_t report_msg;
        uint32_t ack_delay;
        uint32_t report_delay;
    };
    Behaviour delayed;
    delayed.ack_delay_ms = 40;
    delayed.report_delay_ms = 15;
    Behaviour ffff;
    ffff.ack_ffff = true;
    Behaviour fail;
    fail.fail = true;
    Behaviour quiet;
    quiet.silent = true;
    Behaviour ack_only;
    ack_only.no_report = true;
    const Case cases[] = {
        {"plain", Behaviour{}, {Reply::kAck, Reply::kReport}, 1, kMsgLogoSuccess, 0, 0},
        {"delayed", delayed, {Reply::kAck, Reply::kReport}, 1, kMsgLogoSuccess, 40, 55},
        {"ffff", ffff, {Reply::kAck, Reply::kReport}, 0xffff, kMsgLogoSuccess, 0, 0},
        {"fail", fail, {Reply::kAck, Reply::kReport}, 1, kMsgLogoFail, 0, 0},
        {"silent", quiet, {}, 0, 0, 0, 0},
        {"no-report", ack_only, {Reply::kAck}, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SimDevice device(kDevice, 1, c.behaviour, 1, "");
        const auto out = Feed(device, Segment(kModuleLogo, 1, kSegLast, 20));
        ASSERT_EQ(out.size(), c.kinds.size()) << c.name;
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].kind, c.kinds[i]) << c.name;
            if (out[i].kind == Reply::kAck) {
                EXPECT_EQ(out[i].seq, c.ack_seq) << c.name;
                EXPECT_EQ(out[i].delay_ms, c.ack_delay) << c.name;
            } else {
                EXPECT_EQ(out[i].msg, c.report_msg) << c.name;
                EXPECT_EQ(out[i].delay_ms, c.report_delay) << c.name;
            }
        }
        // Whatever it sends, the device keeps what it received.
        EXPECT_EQ(device.files().size(), 1u) << c.name;
    }
}

TEST(SimDevice, DiscoveryAnswersAndRequestChecks) {
    Behaviour twice;
    twice.discover_twice = true;
    twice.discover_delay_ms = 250;
    twice.ssid2 = "{n}-{tail}";
    SimDevice device(kDevice, 7, twice, 1, "");
    std::vector<uint8_t> request(kFrameSize);
    BuildHeader(request.data(), kBroadcast, kTool, kModuleDiscover, kMsgDiscover, 0, 0);
    auto out = Feed(device, request);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].delay_ms, 250u);
    std::vector<uint8_t> first(kFrameSize), second(kFrameSize);
    device.BuildReply(out[0], first.data());
    device.BuildReply(out[1], second.data());
    EXPECT_EQ(GetMac(first.data(), kOffDst), kTool);
    EXPECT_EQ(GetMac(first.data(), kOffSrc), kDevice);
    EXPECT_EQ(GetU16(first.data(), kOffMsg), kMsgReply);
    EXPECT_EQ(GetInfoText(first.data(), kSlotSsid2), "7-000001");
    EXPECT_EQ(GetInfoText(second.data(), kSlotSsid2), "7-000001#2");
    EXPECT_TRUE(device.violations().empty());

    // Stray bytes in a request mean the tool built it wrongly.
    request[kOffTotal + 1] = 1;
    Feed(device, request);
    EXPECT_TRUE(HasViolation(device, "non-zero byte at offset 21"));
}

TEST(SimDevice, CommandChecksAndRetransmission) {
    struct Case {
        const char* name;
        std::vector<uint8_t> frame;
        std::string violation;  // empty: none expected
    };
    const std::string json =
        R"({"Lockcode":"abc","Enable":"1","ACName":"AC1","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})";
    const Case cases[] = {
        {"clean", CommandFrame(json), ""},
        {"seq", CommandFrame(json, 2), "seq 2, expected 1"},
        {"flag", CommandFrame(json, 1, kSegFirst), "seg_flag 1"},
        {"no NUL", CommandFrame(json, 1, kSegLast, false), "not followed by a NUL"},
        {"too long", CommandFrame(std::string(600, 'a')), "longer than 511"},
        {"no lock code", CommandFrame(R"({"Enable":"1"})"), "no Lockcode"},
    };
    for (const Case& c : cases) {
        SimDevice device(kDevice, 1, Behaviour{}, 1, "");
        const auto out = Feed(device, c.frame);
        ASSERT_EQ(device.commands().size(), 1u) << c.name;
        ASSERT_FALSE(out.empty()) << c.name;
        EXPECT_EQ(out[0].kind, Reply::kAck) << c.name;
        EXPECT_EQ(out[0].seq, GetU16(c.frame.data(), kOffSeq)) << c.name;
        if (c.violation.empty()) {
            EXPECT_TRUE(device.violations().empty()) << c.name << ": " << device.violations().front();
        } else {
            EXPECT_TRUE(HasViolation(device, c.violation)) << c.name;
        }
    }

    // A resent command is acknowledged and reported again but recorded once.
    Behaviour locked;
    locked.lockcode = "xyz";
    SimDevice device(kDevice, 1, locked, 1, "");
    Feed(device, CommandFrame(json));
    const auto again = Feed(device, CommandFrame(json));
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1].msg, kMsgLockcodeMismatch);
    EXPECT_EQ(device.commands().size(), 1u);
    EXPECT_EQ(device.counters().retransmissions, 1u);
}

TEST(SimDevice, ShortFramesAndForeignCodesAreNoted) {
    SimDevice device(kDevice, 1, Behaviour{}, 1, "");
    auto seg = Segment(kModulePara, 1, kSegLast, 3);
    Feed(device, seg, 300);
    EXPECT_TRUE(HasViolation(device, "frame of 300 bytes"));
    std::vector<uint8_t> foreign(kFrameSize);
    BuildHeader(foreign.data(), kDevice, kTool, kModulePara, kMsgLogoSuccess, 0, 0);
    EXPECT_TRUE(Feed(device, foreign).empty());
    EXPECT_TRUE(HasViolation(device, "unexpected module 1 msg 8"));
    EXPECT_EQ(device.counters().ignored, 1u);
}

TEST(SimDevice, DropShareIsSeededAndNearItsValue) {
    Behaviour lossy;
    lossy.drop = 0.3;
    auto run = [&](uint64_t seed) {
        SimDevice device(kDevice, 1, lossy, seed, "");
        std::vector<bool> pattern;
        std::vector<uint8_t> request(kFrameSize);
        BuildHeader(request.data(), kBroadcast, kTool, kModuleDiscover, kMsgDiscover, 0, 0);
        for (int i = 0; i < 2000; ++i)
            pattern.push_back(Feed(device, request).empty());
        EXPECT_EQ(device.counters().dropped,
                  static_cast<uint64_t>(std::count(pattern.begin(), pattern.end(), true)));
        return pattern;
    };
    const auto a = run(42), b = run(42), c = run(43);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    const auto dropped = std::count(a.begin(), a.end(), true);
    EXPECT_GT(dropped, 500);
    EXPECT_LT(dropped, 700);
}

TEST(ExtractLockcode, Cases) {
    struct Case {
        std::string json;
        bool found;
        std::string lockcode;
    };
    const Case cases[] = {
        {R"({"Lockcode":"abc","Enable":"1"})", true, "abc"},
        {R"({"Lockcode":"","Enable":"1"})", true, ""},
        {R"({ "Lockcode" : "a b" })", true, "a b"},
        {R"({"Lockcode":"a\"b"})", true, "a\"b"},
        {R"({"Lockcode":"abc)", false, ""},
        {R"({"Lockcode":5})", false, ""},
        {R"({"Enable":"1"})", false, ""},
    };
    for (const Case& c : cases) {
        std::string lockcode;
        EXPECT_EQ(ExtractLockcode(c.json, lockcode), c.found) << c.json;
        if (c.found) {
            EXPECT_EQ(lockcode, c.lockcode) << c.json;
        }
    }
}

}  // namespace
}  // namespace provix::devsim
