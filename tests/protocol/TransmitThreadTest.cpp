#include "protocol/TransmitThread.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestData.h"
#include "FakeTransfer.h"

namespace provix {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::RandomBytes;
using testing::FakeDevice;
using testing::FakeOpener;
using testing::RecordedStatus;
using testing::RecordingSink;

const MacAddress kDevice{0x02, 0x50, 0x00, 0x00, 0x00, 0x01};
const MacAddress kAdapter{0x00, 0xe0, 0x4c, 0x68, 0x01, 0x02};
const std::string kDeviceText = "02:50:00:00:00:01";

// Acknowledges every frame with its own module and seq after `delay`.
FakeDevice::Responder AckAll(std::chrono::milliseconds delay = 0ms) {
    return [delay](FakeDevice& d, const ether_frame_stu& f) {
        d.Answer(BuildReply(kAdapter, kDevice, f.Module(), f.Seq()), delay);
    };
}

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "provix-transfer-XXXXXX").string();
        path = mkdtemp(tmpl.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }

    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::string file = (path / name).string();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return file;
    }

    std::filesystem::path path;
};

// One entry per distinct segment, in the order first sent.
struct SegmentSeen {
    std::uint16_t seq;
    std::uint16_t seg_flag;
    std::uint16_t data_len;
    bool operator==(const SegmentSeen&) const = default;
};

std::vector<SegmentSeen> DistinctSegments(const std::vector<testing::SentFrame>& sent,
                                          std::vector<std::uint8_t>* payload) {
    std::vector<SegmentSeen> segments;
    const ether_frame_stu* last = nullptr;
    for (const auto& s : sent) {
        if (last && *last == s.frame) {
            continue;  // a retransmission
        }
        last = &s.frame;
        segments.push_back({s.frame.Seq(), s.frame.SegFlag(), s.frame.DataLen()});
        if (payload) {
            auto data = s.frame.Data();
            payload->insert(payload->end(), data.begin(), data.end());
        }
    }
    return segments;
}

struct Harness {
    explicit Harness(FakeDevice::Responder responder) : device(clock, std::move(responder)) {}

    void Run(const transmit_param_stu& param) {
        TransferContext ctx{opener, clock};
        TransmitThread(param, ctx, sink);
    }

    FakeClock clock;
    FakeDevice device;
    FakeOpener opener{device};
    RecordingSink sink;
};

transmit_param_stu Request(std::int32_t kind) {
    transmit_param_stu param;
    param.dst_mac = kDevice;
    param.src_mac = kAdapter;
    param.kind = kind;
    return param;
}

struct SegmentCase {
    std::size_t size;
    std::vector<SegmentSeen> segments;
};

class FileSegments : public ::testing::TestWithParam<SegmentCase> {};

TEST_P(FileSegments, CutsTheFileAndDeliversItByteExact) {
    const SegmentCase& c = GetParam();
    TempDir dir;
    const std::vector<std::uint8_t> content = RandomBytes(c.size, static_cast<unsigned>(c.size));
    Harness h(AckAll());
    transmit_param_stu param = Request(KIND_PARA);
    param.para_path = dir.Write("config.xml", content);
    h.Run(param);

    std::vector<std::uint8_t> delivered;
    EXPECT_EQ(DistinctSegments(h.device.sent, &delivered), c.segments);
    EXPECT_EQ(delivered, content);
    EXPECT_EQ(h.device.sent.size(), c.segments.size())
        << "no retransmission when every segment is acknowledged";
    for (const auto& s : h.device.sent) {
        EXPECT_EQ(s.frame.DstMac(), kDevice);
        EXPECT_EQ(s.frame.SrcMac(), kAdapter);
        EXPECT_EQ(s.frame.EtherType(), kEtherType);
        EXPECT_EQ(s.frame.Module(), MODULE_PARA);
        EXPECT_EQ(s.frame.Msg(), MSG_PARA_DATA);
        EXPECT_EQ(s.frame.Total(), 1);
    }
    EXPECT_EQ(h.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_PARA, TransmitFinish}}));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FileSegments,
    ::testing::Values(SegmentCase{0, {{1, SEG_LAST, 0}}}, SegmentCase{1, {{1, SEG_LAST, 1}}},
                      SegmentCase{1024, {{1, SEG_LAST, 1024}}},
                      SegmentCase{1025, {{1, SEG_FIRST, 1024}, {2, SEG_LAST, 1}}},
                      SegmentCase{2048, {{1, SEG_FIRST, 1024}, {2, SEG_LAST, 1024}}},
                      SegmentCase{3000, {{1, SEG_FIRST, 1024}, {2, SEG_MIDDLE, 1024}, {3, SEG_LAST, 952}}}),
    [](const ::testing::TestParamInfo<SegmentCase>& info) {
        return "Bytes" + std::to_string(info.param.size);
    });

// Each kind sends its payloads in order with the right codes and records one status per payload.
struct KindCase {
    const char* name;
    std::int32_t kind;
    std::vector<std::uint16_t> modules_sent;  // module of each frame, in order
    std::vector<std::uint16_t> totals;        // total of each frame
    std::vector<RecordedStatus> statuses;
};

class Kinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(Kinds, SendsItsPayloadsAndRecordsEach) {
    const KindCase& c = GetParam();
    TempDir dir;
    Harness h(AckAll(2ms));
    transmit_param_stu param = Request(c.kind);
    param.logo_path = dir.Write("logo.jpg", RandomBytes(1500, 1));  // two segments
    param.para_path = dir.Write("config.xml", RandomBytes(10, 2));  // one segment
    param.command = R"({"Lockcode":"1234","Enable":"1","ACName":"ac","DNS1":"1.1.1.1","DNS2":"8.8.8.8"})";
    h.Run(param);

    std::vector<std::uint16_t> modules, totals;
    for (const auto& s : h.device.sent) {
        modules.push_back(s.frame.Module());
        totals.push_back(s.frame.Total());
        EXPECT_EQ(s.frame.Msg(), s.frame.Module() == MODULE_JSON ? std::uint16_t{MSG_JSON_CMD}
                                                                 : DataMsgOf(s.frame.Module()));
    }
    EXPECT_EQ(modules, c.modules_sent);
    EXPECT_EQ(totals, c.totals);
    EXPECT_EQ(h.sink.records, c.statuses);
}

INSTANTIATE_TEST_SUITE_P(
    All, Kinds,
    ::testing::Values(
        KindCase{"Logo", KIND_LOGO, {2, 2}, {1, 1}, {{kDeviceText, MODULE_LOGO, TransmitFinish}}},
        KindCase{"Para", KIND_PARA, {1}, {1}, {{kDeviceText, MODULE_PARA, TransmitFinish}}},
        KindCase{"LogoPara",
                 KIND_LOGO_PARA,
                 {2, 2, 1},
                 {2, 2, 2},
                 {{kDeviceText, MODULE_LOGO, TransmitFinish}, {kDeviceText, MODULE_PARA, TransmitFinish}}},
        KindCase{"Json", KIND_JSON, {3}, {1}, {{kDeviceText, MODULE_JSON, TransmitFinish}}},
        KindCase{"Unknown", 9, {}, {}, {}}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

TEST(TransmitThread, CommandFrameCarriesTheTextAndItsNul) {
    Harness h(AckAll());
    transmit_param_stu param = Request(KIND_JSON);
    param.command = R"({"Lockcode":"x","Enable":"0","ACName":"","DNS1":"","DNS2":""})";
    h.Run(param);
    ASSERT_EQ(h.device.sent.size(), 1u);
    const ether_frame_stu& f = h.device.sent[0].frame;
    EXPECT_EQ(f.Seq(), 1);
    EXPECT_EQ(f.SegFlag(), SEG_LAST);
    EXPECT_EQ(f.DataLen(), param.command.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.bytes.data() + kOffData)), param.command);
}

TEST(TransmitThread, CommandTheFrameCannotCarryFailsWithoutSending) {
    for (const std::string& command : {std::string(512, 'a'), std::string("{\"Lockcode\":\"a\0b\"}", 18)}) {
        Harness h(AckAll());
        transmit_param_stu param = Request(KIND_JSON);
        param.command = command;
        h.Run(param);
        EXPECT_TRUE(h.device.sent.empty());
        EXPECT_EQ(h.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_JSON, TransmitFail}}));
    }
    Harness h(AckAll());
    transmit_param_stu param = Request(KIND_JSON);
    param.command = std::string(511, 'a');
    h.Run(param);
    EXPECT_EQ(h.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_JSON, TransmitFinish}}));
}

// A silent device sees the segment at 0, 1, 2, 3 and 4 s and the transfer fails at 5 s; with both files,
// the configuration file still gets its own 5 s after the logo failed.
TEST(TransmitThread, SilentDeviceGetsFiveSendingsPerPayloadThenFails) {
    TempDir dir;
    Harness h(nullptr);
    transmit_param_stu param = Request(KIND_LOGO_PARA);
    param.logo_path = dir.Write("logo.jpg", RandomBytes(3000, 3));
    param.para_path = dir.Write("config.xml", RandomBytes(10, 4));
    h.Run(param);

    std::vector<double> times;
    for (const auto& s : h.device.sent) {
        times.push_back(s.at);
        EXPECT_EQ(s.frame.Seq(), 1) << "nothing past the first segment without an acknowledgement";
        EXPECT_EQ(s.frame.Total(), 2);
        EXPECT_EQ(s.frame, h.device.sent[s.frame.Module() == MODULE_LOGO ? 0 : 5].frame)
            << "resent unchanged";
    }
    EXPECT_EQ(times, (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(h.device.sent[0].frame.Module(), MODULE_LOGO);
    EXPECT_EQ(h.device.sent[5].frame.Module(), MODULE_PARA);
    EXPECT_DOUBLE_EQ(h.clock.Seconds(), 10);
    EXPECT_EQ(h.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_LOGO, TransmitFail},
                                                           {kDeviceText, MODULE_PARA, TransmitFail}}));
}

// Each acknowledgement restarts the idle time: a device that always needs 3 s never fails.
TEST(TransmitThread, SlowButSteadyDeviceNeverFails) {
    TempDir dir;
    std::uint16_t last_seq = 0;
    Harness h([&last_seq](FakeDevice& d, const ether_frame_stu& f) {
        // Acknowledge 3 s after first seeing a segment; retransmissions are not answered.
        if (f.Seq() != last_seq) {
            last_seq = f.Seq();
            d.Answer(BuildReply(kAdapter, kDevice, f.Module(), f.Seq()), 3000ms);
        }
    });
    transmit_param_stu param = Request(KIND_LOGO);
    param.logo_path = dir.Write("logo.jpg", RandomBytes(5 * 1024, 5));
    h.Run(param);
    EXPECT_EQ(h.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_LOGO, TransmitFinish}}));
    EXPECT_DOUBLE_EQ(h.clock.Seconds(), 15);
    EXPECT_EQ(h.device.sent.size(), 5u * 3u) << "each segment sent at 0, 1 and 2 s of its wait";
}

// Frames from the device that are not the awaited acknowledgement: an older segment's acknowledgement,
// another module's, a discovery answer, a report. They never advance the transfer.
TEST(TransmitThread, ForeignFramesDoNotAcknowledge) {
    const std::vector<ether_frame_stu> foreign = {
        BuildReply(kAdapter, kDevice, MODULE_PARA, 0),  // an older segment
        BuildReply(kAdapter, kDevice, MODULE_LOGO, 1),  // the other file module
        BuildReport(kAdapter, kDevice, MODULE_PARA, MSG_PARA_SUCCESS),
        BuildDiscoverAnswer(kAdapter, kDevice, {}),
    };
    for (const auto& frame : foreign) {
        Harness h([&frame](FakeDevice& d, const ether_frame_stu&) { d.Answer(frame, 10ms); });
        transmit_param_stu param = Request(KIND_PARA);
        TempDir dir;
        param.para_path = dir.Write("config.xml", RandomBytes(100, 6));
        h.Run(param);
        EXPECT_EQ(h.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_PARA, TransmitFail}}));
        EXPECT_EQ(h.device.sent.size(), 5u);
    }
}

// The 20000th foreign frame resends the segment, the 100000th fails the transfer, however little
// time passes; the count restarts with each acknowledgement.
TEST(TransmitThread, FloodOfForeignFramesResendsAndFails) {
    constexpr int kBurst = 20000;
    struct Case {
        const char* name;
        bool ack_after_fourth_burst;
        std::size_t sends;
        OperateStatus status;
    };
    for (const Case& c :
         {Case{"flood", false, 5, TransmitFail}, Case{"ack in time", true, 5 + 5, TransmitFinish}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Harness h([&c](FakeDevice& d, const ether_frame_stu& f) {
            const ether_frame_stu stale = BuildReply(kAdapter, kDevice, MODULE_PARA, f.Seq() + 7);
            d.Answer(stale, 0ms, kBurst);
            std::size_t sends_of_this_seq = 0;
            for (const auto& s : d.sent) {
                sends_of_this_seq += s.frame.Seq() == f.Seq();
            }
            if (c.ack_after_fourth_burst && sends_of_this_seq == 5) {
                d.pending.clear();
                d.Answer(stale, 0ms, kBurst - 1);
                d.Answer(BuildReply(kAdapter, kDevice, MODULE_PARA, f.Seq()));
            }
        });
        transmit_param_stu param = Request(KIND_PARA);
        param.para_path = dir.Write("config.xml", RandomBytes(1500, 7));
        h.Run(param);
        EXPECT_EQ(h.device.sent.size(), c.sends);
        EXPECT_EQ(h.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_PARA, c.status}}));
        EXPECT_DOUBLE_EQ(h.clock.Seconds(), 0) << "the flood alone decided";
    }
}

// seq 0xFFFF acknowledges any file segment whatever the frame's module and code, never the command.
TEST(TransmitThread, WildcardSequenceAcknowledgesFilesOnly) {
    const FakeDevice::Responder wildcard = [](FakeDevice& d, const ether_frame_stu&) {
        ether_frame_stu f = BuildReport(kAdapter, kDevice, MODULE_DISCOVER, MSG_DISCOVER);
        f.SetSeq(kSeqWrap);
        d.Answer(f);
    };
    TempDir dir;
    Harness file(wildcard);
    transmit_param_stu param = Request(KIND_LOGO);
    param.logo_path = dir.Write("logo.jpg", RandomBytes(4000, 8));
    file.Run(param);
    EXPECT_EQ(file.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_LOGO, TransmitFinish}}));
    EXPECT_EQ(file.device.sent.size(), 4u);

    Harness command(wildcard);
    param = Request(KIND_JSON);
    param.command = "{}";
    command.Run(param);
    EXPECT_EQ(command.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_JSON, TransmitFail}}));
}

// Past 65535 segments the 16-bit number repeats: segment 65536 carries 0xFFFF, and from 65537 on only a
// 0xFFFF answer can acknowledge, since an echo of seq 1 could belong to segment 1.
TEST(TransmitThread, SegmentNumbersPastSixteenBits) {
    TempDir dir;
    const std::string path = (dir.path / "huge.bin").string();
    {
        std::ofstream(path, std::ios::binary).close();
        std::filesystem::resize_file(path, 65537ull * 1024 + 10);  // 65538 segments, sparse
        // Segments 65535 and 65536 both carry seq 0xFFFF: mark the last few apart so that the fake
        // device can tell a new segment from a retransmission.
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        for (std::uint64_t n = 65530; n <= 65538; ++n) {
            file.seekp(static_cast<std::streamoff>((n - 1) * 1024));
            file.put(static_cast<char>(n));
        }
    }
    struct Case {
        const char* name;
        bool answer_wildcard_past_wrap;
        OperateStatus status;
    };
    for (const Case& c : {Case{"echo", false, TransmitFail}, Case{"wildcard", true, TransmitFinish}}) {
        SCOPED_TRACE(c.name);
        std::uint64_t segment = 0;
        ether_frame_stu previous;
        std::vector<std::uint16_t> seq_of_65536_and_on;
        Harness h([&](FakeDevice& d, const ether_frame_stu& f) {
            if (d.sent_count == 1 || !(previous == f)) {
                ++segment;  // not a retransmission
            }
            previous = f;
            if (segment >= 65536) {
                seq_of_65536_and_on.push_back(f.Seq());
            }
            const bool wildcard = c.answer_wildcard_past_wrap && segment > 65536;
            d.Answer(BuildReply(kAdapter, kDevice, f.Module(), wildcard ? kSeqWrap : f.Seq()));
        });
        h.device.keep_sent = false;
        transmit_param_stu param = Request(KIND_PARA);
        param.para_path = path;
        h.Run(param);
        EXPECT_EQ(h.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_PARA, c.status}}));
        ASSERT_GE(seq_of_65536_and_on.size(), 2u);
        if (c.status == TransmitFinish) {
            EXPECT_EQ(seq_of_65536_and_on, (std::vector<std::uint16_t>{0xFFFF, 1, 2}));
        } else {
            EXPECT_EQ(seq_of_65536_and_on, (std::vector<std::uint16_t>{0xFFFF, 1, 1, 1, 1, 1}));
        }
    }
}

// The capture handle is tried 10 times, 100 ms apart; a missing or unreadable file fails after it.
TEST(TransmitThread, OpenFailures) {
    TempDir dir;
    const std::string good = dir.Write("config.xml", RandomBytes(10, 9));
    struct Case {
        const char* name;
        int open_failures;
        std::string path;
        OperateStatus status;
        std::size_t sends;
        std::size_t sleeps;
    };
    const Case cases[] = {
        {"nine failed opens", 9, good, TransmitFinish, 1, 9},
        {"ten failed opens", 10, good, TransmitFail, 0, 10},
        {"missing file", 0, (dir.path / "missing.xml").string(), TransmitFail, 0, 0},
        {"folder", 0, dir.path.string(), TransmitFail, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h(AckAll());
        h.opener.failures_left = c.open_failures;
        transmit_param_stu param = Request(KIND_PARA);
        param.para_path = c.path;
        h.Run(param);
        EXPECT_EQ(h.sink.records, (std::vector<RecordedStatus>{{kDeviceText, MODULE_PARA, c.status}}));
        EXPECT_EQ(h.device.sent.size(), c.sends);
        EXPECT_EQ(h.clock.sleeps, std::vector<std::chrono::milliseconds>(c.sleeps, 100ms));
        for (const MacAddress& mac : h.opener.opened_for) {
            EXPECT_EQ(mac, kDevice);
        }
    }
}

// A worker told to stop records nothing, not even for the payloads it has not started.
TEST(TransmitThread, StopRecordsNothing) {
    TempDir dir;
    {
        Harness h([](FakeDevice& d, const ether_frame_stu&) { d.stop_now = true; });
        transmit_param_stu param = Request(KIND_LOGO_PARA);
        param.logo_path = dir.Write("logo.jpg", RandomBytes(10, 10));
        param.para_path = dir.Write("config.xml", RandomBytes(10, 11));
        h.Run(param);
        EXPECT_TRUE(h.sink.records.empty());
        EXPECT_EQ(h.device.sent.size(), 1u);
    }
    {
        Harness h(AckAll());
        h.opener.failures_left = 1;
        h.clock.stop_on_sleep = true;
        transmit_param_stu param = Request(KIND_JSON);
        param.command = "{}";
        h.Run(param);
        EXPECT_TRUE(h.sink.records.empty());
        EXPECT_EQ(h.opener.opened_for.size(), 1u);
    }
}

}  // namespace
}  // namespace provix
