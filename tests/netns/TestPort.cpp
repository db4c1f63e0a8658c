#include "TestPort.h"

#include "DevSim.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace provix::test {

namespace {
constexpr uint16_t kEtherType = 0x6262;
}

TestPort::~TestPort() {
    if (sock >= 0)
        close(sock);
}

::testing::AssertionResult TestPort::Open(const std::string& interface_name) {
    const char* in_netns = std::getenv("PROVIX_IN_NETNS");
    if (!in_netns || std::string(in_netns) != "1") {
        return ::testing::AssertionFailure() << "refusing to open a raw socket outside the test namespace";
    }
    const std::string name = interface_name.empty() ? TestAdapter() : interface_name;
    ifindex = static_cast<int>(if_nametoindex(name.c_str()));
    if (ifindex == 0)
        return ::testing::AssertionFailure() << "no interface " << name;
    // Protocol 0 until bound, so nothing from another interface is queued in between.
    sock = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (sock < 0)
        return ::testing::AssertionFailure() << "raw socket: " << std::strerror(errno);
    sockaddr_ll addr{};
    addr.sll_family = AF_PACKET;
    addr.sll_protocol = htons(kEtherType);
    addr.sll_ifindex = ifindex;
    if (bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        return ::testing::AssertionFailure() << "bind " << name << ": " << std::strerror(errno);
    }
    int size = 16 << 20;
    setsockopt(sock, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
    ifreq ifr{};
    std::snprintf(ifr.ifr_name, sizeof ifr.ifr_name, "%s", name.c_str());
    if (ioctl(sock, SIOCGIFHWADDR, &ifr) != 0) {
        return ::testing::AssertionFailure() << "MAC of " << name << ": " << std::strerror(errno);
    }
    std::memcpy(own_mac.data(), ifr.ifr_hwaddr.sa_data, 6);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult TestPort::Send(const std::vector<uint8_t>& frame) {
    if (sock < 0)
        return ::testing::AssertionFailure() << "port not open";
    const ssize_t sent = send(sock, frame.data(), frame.size(), 0);
    if (sent != static_cast<ssize_t>(frame.size())) {
        return ::testing::AssertionFailure() << "send: " << std::strerror(errno);
    }
    return ::testing::AssertionSuccess();
}

bool TestPort::Receive(std::vector<uint8_t>& frame, int wait_ms) {
    if (sock < 0)
        return false;
    frame.resize(2048);
    while (true) {
        pollfd pfd{sock, POLLIN, 0};
        if (poll(&pfd, 1, wait_ms) <= 0)
            return false;
        sockaddr_ll from{};
        socklen_t from_len = sizeof from;
        const ssize_t got =
            recvfrom(sock, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&from), &from_len);
        if (got < 0)
            return false;
        // Our own sends come back on a packet socket; they are not answers.
        if (from.sll_pkttype == PACKET_OUTGOING)
            continue;
        if (got < 6 || std::memcmp(frame.data(), own_mac.data(), 6) != 0)
            continue;
        frame.resize(static_cast<size_t>(got));
        return true;
    }
}

}  // namespace provix::test
