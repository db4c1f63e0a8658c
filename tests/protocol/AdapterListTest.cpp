#include "protocol/AdapterList.h"

#include <gtest/gtest.h>

#include <net/if.h>
#include <net/if_arp.h>

namespace provix {
namespace {

OsInterface Iface(const std::string& name, unsigned flags, std::uint16_t hatype, std::uint8_t halen,
                  std::uint8_t last_byte) {
    OsInterface i;
    i.name = name;
    i.flags = flags;
    i.hatype = hatype;
    i.halen = halen;
    const std::uint8_t addr[8] = {0x00, 0xe0, 0x4c, 0x68, 0x01, last_byte, 0xee, 0xee};
    std::copy(std::begin(addr), std::end(addr), i.addr);
    return i;
}

constexpr unsigned kUp = IFF_UP | IFF_BROADCAST;

TEST(AdapterList, DisplayText) {
    local_adapter_stu a{{0x00, 0xE0, 0x4C, 0x68, 0x01, 0x02}, "USB Ethernet", "enx00e04c680102"};
    EXPECT_EQ(AdapterDisplayText(a), "USB Ethernet (00:e0:4c:68:01:02)");
}

TEST(AdapterList, OnlyUsableEthernetInterfacesInSystemOrder) {
    const std::vector<OsInterface> os{
        Iface("lo", IFF_UP | IFF_LOOPBACK, ARPHRD_LOOPBACK, 6, 0),
        Iface("eth1", kUp, ARPHRD_ETHER, 6, 0x11),
        Iface("wg0", kUp, ARPHRD_NONE, 0, 0),  // no hardware address
        Iface("eth0", kUp, ARPHRD_ETHER, 6, 0x10),
        Iface("eth2", IFF_BROADCAST, ARPHRD_ETHER, 6, 0x12),  // down: cannot be captured on
        Iface("ib0", kUp, ARPHRD_INFINIBAND, 20, 0x13),
        Iface("mon0", kUp, ARPHRD_IEEE80211_RADIOTAP, 6, 0x14),
        Iface("lo2", IFF_UP | IFF_LOOPBACK, ARPHRD_ETHER, 6, 0x15),  // loopback by flag alone
        Iface("eth1", kUp, ARPHRD_ETHER, 6, 0x11),                   // listed twice by the system
    };
    const std::vector<CaptureDeviceInfo> pcap{
        {"eth0", "Intel Ethernet"}, {"any", "Pseudo-device"}, {"eth1", ""}};
    const auto list = SelectAdapters(os, pcap);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], (local_adapter_stu{{0x00, 0xe0, 0x4c, 0x68, 0x01, 0x11}, "eth1", "eth1"}));
    EXPECT_EQ(list[1], (local_adapter_stu{{0x00, 0xe0, 0x4c, 0x68, 0x01, 0x10}, "Intel Ethernet", "eth0"}));
}

TEST(AdapterList, NoInterfacesNoAdapters) {
    EXPECT_TRUE(SelectAdapters({}, {{"eth0", "Intel"}}).empty());
}

TEST(CaptureDeviceMatch, ExactNameFirstThenFirstSubstring) {
    struct Case {
        std::vector<std::string> devices;
        std::string adapter;
        std::optional<std::string> expected;
        const char* why;
    };
    const Case cases[] = {
        {{"eth10", "eth1"}, "eth1", "eth1", "exact name wins over an earlier longer name"},
        {{"eth10", "eth11"}, "eth1", "eth10", "no exact name: the first containing it"},
        {{"eth0", "eth1"}, "eth2", std::nullopt, "no device contains it"},
        {{"\\Device\\NPF_{4A2B-77}", "\\Device\\NPF_{4A2B-78}"},
         "{4A2B-78}",
         "\\Device\\NPF_{4A2B-78}",
         "bracketed identifier after a device-path prefix"},
        {{"usb-eth", "USB-ETH"}, "USB-ETH", "USB-ETH", "case matters"},
        {{"bond0.5", "bond0"}, "bond0", "bond0", "exact name listed second"},
        {{"eth0"}, "", std::nullopt, "an empty name picks nothing"},
        {{}, "eth0", std::nullopt, "empty device list"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchCaptureDevice(c.devices, c.adapter), c.expected) << c.why;
}

}  // namespace
}  // namespace provix
