#include "protocol/CaptureHandle.h"

#include <gtest/gtest.h>

#include <pcap/pcap.h>

namespace provix {
namespace {

const MacAddress kAdapter{0x00, 0xe0, 0x4c, 0x68, 0x01, 0x02};
const MacAddress kDevice{0xc8, 0x3a, 0x35, 0xa1, 0xb2, 0xc3};
const MacAddress kOther{0xc8, 0x3a, 0x35, 0xa1, 0xb2, 0xc4};

TEST(CaptureFilter, TextsJoinMacAndKeywordWithoutBlank) {
    EXPECT_EQ(ReceiveFilterText(kAdapter), "ether dst 00:e0:4c:68:01:02and ether proto 0x6262");
    EXPECT_EQ(TransferFilterText(kDevice), "ether src C8:3A:35:A1:B2:C3and ether proto 0x6262");
    // The filter buffer of the frames' users holds 100 bytes.
    EXPECT_LT(ReceiveFilterText(kBroadcastMac).size(), 100u);
}

// Runs a filter text over frames the way the kernel would, without any interface.
class FilterRun {
public:
    explicit FilterRun(const std::string& text) {
        dead = pcap_open_dead(DLT_EN10MB, 65536);
        compiled = dead && pcap_compile(dead, &program, text.c_str(), 1, PCAP_NETMASK_UNKNOWN) == 0;
    }
    ~FilterRun() {
        if (compiled)
            pcap_freecode(&program);
        if (dead)
            pcap_close(dead);
    }
    bool Passes(const ether_frame_stu& frame) const {
        pcap_pkthdr header{};
        header.caplen = header.len = static_cast<bpf_u_int32>(frame.bytes.size());
        return pcap_offline_filter(&program, &header, frame.bytes.data()) != 0;
    }
    pcap_t* dead = nullptr;
    bpf_program program{};
    bool compiled = false;
};

TEST(CaptureFilter, ReceiveFilterAdmitsOnlyProtocolFramesToTheAdapter) {
    FilterRun run(ReceiveFilterText(kAdapter));
    ASSERT_TRUE(run.compiled) << pcap_geterr(run.dead);
    EXPECT_TRUE(run.Passes(BuildDiscoverAnswer(kAdapter, kDevice, {})));
    EXPECT_TRUE(run.Passes(BuildReport(kAdapter, kDevice, MODULE_LOGO, MSG_LOGO_SUCCESS)));
    EXPECT_FALSE(run.Passes(BuildDiscoverRequest(kAdapter)));  // our own broadcast
    EXPECT_FALSE(run.Passes(BuildReply(kOther, kDevice, MODULE_PARA, 1)));
    ether_frame_stu ipv4 = BuildReply(kAdapter, kDevice, MODULE_PARA, 1);
    ipv4.SetEtherType(0x0800);
    EXPECT_FALSE(run.Passes(ipv4));
}

TEST(CaptureFilter, TransferFilterAdmitsOnlyItsDevice) {
    FilterRun run(TransferFilterText(kDevice));
    ASSERT_TRUE(run.compiled) << pcap_geterr(run.dead);
    EXPECT_TRUE(run.Passes(BuildReply(kAdapter, kDevice, MODULE_PARA, 1)));
    EXPECT_FALSE(run.Passes(BuildReply(kAdapter, kOther, MODULE_PARA, 1)));
    EXPECT_FALSE(run.Passes(*BuildDataSegment(kDevice, kAdapter, MODULE_PARA, 1, 1, SEG_LAST, {})));
    ether_frame_stu arp = BuildReply(kAdapter, kDevice, MODULE_PARA, 1);
    arp.SetEtherType(0x0806);
    EXPECT_FALSE(run.Passes(arp));
}

TEST(CaptureSettings, EachUserGetsItsOwnSetup) {
    const CaptureSettings recv = SettingsFor(CaptureUser::ReceiveThread);
    EXPECT_EQ(recv.snaplen, 65536);
    EXPECT_TRUE(recv.promiscuous);
    EXPECT_EQ(recv.timeout_ms, 1);
    EXPECT_FALSE(recv.nonblocking);

    const CaptureSettings send = SettingsFor(CaptureUser::DiscoverySender);
    EXPECT_EQ(send.timeout_ms, 1);
    EXPECT_FALSE(send.nonblocking);

    const CaptureSettings worker = SettingsFor(CaptureUser::TransferWorker);
    EXPECT_GE(worker.snaplen, 1514);  // a whole frame must fit
    EXPECT_TRUE(worker.promiscuous);
    EXPECT_EQ(worker.timeout_ms, 100);
    EXPECT_TRUE(worker.nonblocking);
    EXPECT_TRUE(worker.immediate);
    EXPECT_EQ(worker.buffer_bytes, 32 * 1024);
}

TEST(CaptureHandle, UnknownDeviceFailsWithAReason) {
    CaptureHandle h;
    EXPECT_FALSE(h.Open("provix-none9", CaptureUser::ReceiveThread));
    EXPECT_FALSE(h.IsOpen());
    EXPECT_NE(h.LastError().text.find("provix-none9"), std::string::npos) << h.LastError().text;
    ether_frame_stu frame;
    EXPECT_FALSE(h.Send(frame));
    EXPECT_EQ(h.Next(frame), CaptureHandle::Read::Error);
    EXPECT_EQ(h.SelectableFd(), -1);
    EXPECT_FALSE(h.SetFilter(ReceiveFilterText(kAdapter)));
}

TEST(CaptureHandle, PermissionFixNamesTheExecutable) {
    EXPECT_EQ(PermissionFixCommand("/opt/provix/provix"),
              "setcap cap_net_raw,cap_net_admin=eip /opt/provix/provix");
}

}  // namespace
}  // namespace provix
