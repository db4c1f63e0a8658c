// Runs only inside the private namespace that tests/netns/in-netns.sh builds (veth provix0 <-> provix1);
// every capture and send below names one of those two interfaces.
#include "protocol/AdapterList.h"
#include "protocol/CaptureHandle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include <linux/capability.h>
#include <net/if.h>
#include <pcap/pcap.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace provix {
namespace {

class CaptureNetns : public testing::Test {
protected:
    void SetUp() override {
        const char* in_netns = std::getenv("PROVIX_IN_NETNS");
        const char* a = std::getenv("PROVIX_TEST_ADAPTER");
        const char* p = std::getenv("PROVIX_TEST_PEER");
        if (!in_netns || std::string(in_netns) != "1" || !a || !p) {
            GTEST_SKIP() << "not inside the test namespace; run through ctest (tests/netns/in-netns.sh)";
        }
        adapter = a;
        peer = p;
        std::vector<local_adapter_stu> list;
        GetAdapterList(list);
        for (const auto& entry : list) {
            if (entry.name == adapter)
                adapter_mac = entry.mac;
            if (entry.name == peer)
                peer_mac = entry.mac;
        }
        ASSERT_NE(adapter_mac, MacAddress{}) << adapter << " not enumerated";
        ASSERT_NE(peer_mac, MacAddress{}) << peer << " not enumerated";
    }

    // Waits (bounded) for the next frame on a non-blocking handle.
    static CaptureHandle::Read NextWithin(CaptureHandle& h, ether_frame_stu& out,
                                          std::size_t* len = nullptr) {
        for (int i = 0; i < 20; ++i) {
            if (!h.WaitReadable(100))
                continue;
            const auto r = h.Next(out, len);
            if (r != CaptureHandle::Read::Timeout)
                return r;
        }
        return CaptureHandle::Read::Timeout;
    }

    std::string adapter, peer;
    MacAddress adapter_mac{}, peer_mac{};
};

// The address as the kernel reports it through an ioctl, a second source besides the interface list.
std::string KernelAddress(const std::string& name) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return "no socket";
    ifreq req{};
    name.copy(req.ifr_name, IFNAMSIZ - 1);
    const int rc = ioctl(fd, SIOCGIFHWADDR, &req);
    close(fd);
    if (rc != 0)
        return "no address";
    MacAddress mac{};
    std::copy_n(reinterpret_cast<const std::uint8_t*>(req.ifr_hwaddr.sa_data), kMacSize, mac.begin());
    return FormatMacLower(mac);
}

TEST_F(CaptureNetns, EnumerationSeesThePairAndNoLoopback) {
    std::vector<local_adapter_stu> list;
    GetAdapterList(list);
    ASSERT_EQ(list.size(), 2u);  // lo is up but must never be offered
    for (const auto& entry : list) {
        EXPECT_TRUE(entry.name == adapter || entry.name == peer) << entry.name;
        EXPECT_EQ(entry.description, entry.name);  // veth has no library description
        EXPECT_EQ(FormatMacLower(entry.mac), KernelAddress(entry.name));
        EXPECT_EQ(AdapterDisplayText(entry), entry.name + " (" + KernelAddress(entry.name) + ")");

        std::string device = "unchanged";
        std::string list_error = "stale";
        EXPECT_TRUE(FindCaptureDevice(device, entry, &list_error));
        EXPECT_EQ(device, entry.name);
        EXPECT_EQ(list_error, "");
    }

    std::string device = "unchanged";
    EXPECT_FALSE(FindCaptureDevice(device, local_adapter_stu{{}, "x", "provix9"}));
    EXPECT_EQ(device, "unchanged");
}

TEST_F(CaptureNetns, WorkerHandleReceivesOnlyItsDevicesFramesThroughPoll) {
    // provix1 plays the tool's adapter, provix0 the device and a stranger.
    CaptureHandle rx;
    ASSERT_TRUE(rx.Open(peer, CaptureUser::TransferWorker)) << rx.LastError().text;
    ASSERT_TRUE(rx.SetFilter(TransferFilterText(adapter_mac))) << rx.LastError().text;
    ASSERT_GE(rx.SelectableFd(), 0);
    CaptureHandle tx;
    ASSERT_TRUE(tx.Open(adapter, CaptureUser::DiscoverySender)) << tx.LastError().text;

    ether_frame_stu got;
    EXPECT_EQ(rx.Next(got), CaptureHandle::Read::Timeout);  // non-blocking: nothing waiting yet

    const MacAddress stranger{0x02, 0, 0, 0, 0, 0x99};
    ASSERT_TRUE(tx.Send(BuildReply(peer_mac, stranger, MODULE_PARA, 1)));
    const ether_frame_stu expected = BuildReply(peer_mac, adapter_mac, MODULE_PARA, 7);
    ASSERT_TRUE(tx.Send(expected));

    std::size_t len = 0;
    ASSERT_EQ(NextWithin(rx, got, &len), CaptureHandle::Read::Frame);
    EXPECT_EQ(len, kFrameSize);
    EXPECT_EQ(got, expected);  // the stranger's frame was filtered out ahead of it
    EXPECT_EQ(rx.Next(got), CaptureHandle::Read::Timeout);
}

TEST_F(CaptureNetns, ReceiveHandleSeesFramesToItsAdapterAtWireLength) {
    CaptureHandle rx;
    ASSERT_TRUE(rx.Open(peer, CaptureUser::ReceiveThread)) << rx.LastError().text;
    ASSERT_TRUE(rx.SetFilter(ReceiveFilterText(peer_mac))) << rx.LastError().text;

    // A raw sender for frame lengths the protocol itself never sends.
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t* raw = pcap_open_live(adapter.c_str(), 65536, 0, 1, errbuf);
    ASSERT_NE(raw, nullptr) << errbuf;
    ether_frame_stu answer = BuildDiscoverAnswer(
        peer_mac, adapter_mac, {"ssid-two", "ssid-five-ghz-radio-name-long", "key-two", "k5"});
    std::vector<std::uint8_t> longer(answer.bytes.begin(), answer.bytes.end());
    longer.resize(1514, 0x77);
    ASSERT_EQ(pcap_sendpacket(raw, answer.bytes.data(), 80), 0);  // ends inside the 5 GHz SSID
    ASSERT_EQ(pcap_sendpacket(raw, longer.data(), static_cast<int>(longer.size())), 0);
    pcap_close(raw);

    ether_frame_stu got;
    std::size_t len = 0;
    CaptureHandle::Read r = CaptureHandle::Read::Timeout;
    for (int i = 0; i < 2000 && r == CaptureHandle::Read::Timeout; ++i)
        r = rx.Next(got, &len);
    ASSERT_EQ(r, CaptureHandle::Read::Frame);
    EXPECT_EQ(len, 80u);
    const DeviceInfoTexts info = ReadDeviceInfo(got);
    EXPECT_EQ(info.ssid24, "ssid-two");
    EXPECT_EQ(info.ssid5, "ssid-five-ghz-radio-name");
    EXPECT_EQ(info.key24, "");

    r = CaptureHandle::Read::Timeout;
    for (int i = 0; i < 2000 && r == CaptureHandle::Read::Timeout; ++i)
        r = rx.Next(got, &len);
    ASSERT_EQ(r, CaptureHandle::Read::Frame);
    EXPECT_EQ(len, 1514u);
    EXPECT_EQ(got.bytes, answer.bytes);  // the tail past 1286 bytes is not in the record
}

TEST_F(CaptureNetns, MissingCapabilityIsReportedAsAPermissionProblem) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        if (syscall(SYS_capget, &header, data) != 0)
            _exit(10);
        for (int cap : {CAP_NET_RAW, CAP_NET_ADMIN})
            data[cap / 32].effective &= ~(1u << (cap % 32));
        if (syscall(SYS_capset, &header, data) != 0)
            _exit(11);
        CaptureHandle h;
        if (h.Open(peer, CaptureUser::ReceiveThread))
            _exit(12);
        if (!h.LastError().permission)
            _exit(13);
        if (h.LastError().text.find(peer) == std::string::npos)
            _exit(14);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10/11: capabilities not dropped, 12: opened anyway, "
                                         "13: not flagged as permission, 14: device not named";
}

}  // namespace
}  // namespace provix
