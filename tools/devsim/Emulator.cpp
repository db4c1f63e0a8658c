#include "Emulator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace provix::devsim {

namespace {

constexpr size_t kRxBatch = 64;
constexpr size_t kRxSlot = 2048;
constexpr size_t kTxBatch = 256;
// Receive bursts per loop pass before timers and signals get their turn.
constexpr int kRxRoundsPerPass = 64;

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", c);
                    out += esc;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

void AppendField(std::string& out, const char* name, uint64_t value) {
    out += '"';
    out += name;
    out += "\":";
    out += std::to_string(value);
    out += ',';
}

}  // namespace

struct RawBatch {
    mmsghdr rx_msgs[kRxBatch];
    iovec rx_iov[kRxBatch];
    sockaddr_ll rx_addr[kRxBatch];
    mmsghdr tx_msgs[kTxBatch];
    iovec tx_iov[kTxBatch];
    sockaddr_ll tx_addr;
};

uint64_t NowMicros() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

Emulator::Emulator(EmulatorConfig cfg) : config(std::move(cfg)), batch(std::make_unique<RawBatch>()) {
    devices.reserve(config.devices.size());
    by_mac.reserve(config.devices.size() * 2);
    for (size_t i = 0; i < config.devices.size(); ++i) {
        const DeviceSetup& setup = config.devices[i];
        devices.emplace_back(setup.mac, static_cast<int>(i + 1), setup.behaviour, config.seed,
                             config.out_dir);
        by_mac.emplace(MacToInt(setup.mac), static_cast<uint32_t>(i));
    }
    rx_pool.assign(kRxBatch * kRxSlot, 0);
    tx_pool.assign(kTxBatch * kFrameSize, 0);
    scratch.reserve(8);
    std::memset(batch.get(), 0, sizeof(RawBatch));
    for (size_t i = 0; i < kRxBatch; ++i) {
        batch->rx_iov[i] = {rx_pool.data() + i * kRxSlot, kRxSlot};
        batch->rx_msgs[i].msg_hdr.msg_iov = &batch->rx_iov[i];
        batch->rx_msgs[i].msg_hdr.msg_iovlen = 1;
        batch->rx_msgs[i].msg_hdr.msg_name = &batch->rx_addr[i];
    }
    for (size_t i = 0; i < kTxBatch; ++i) {
        batch->tx_iov[i] = {tx_pool.data() + i * kFrameSize, kFrameSize};
        batch->tx_msgs[i].msg_hdr.msg_iov = &batch->tx_iov[i];
        batch->tx_msgs[i].msg_hdr.msg_iovlen = 1;
        batch->tx_msgs[i].msg_hdr.msg_name = &batch->tx_addr;
        batch->tx_msgs[i].msg_hdr.msg_namelen = sizeof(sockaddr_ll);
    }
}

Emulator::~Emulator() {
    if (sock >= 0)
        close(sock);
    if (sigfd >= 0)
        close(sigfd);
    if (linkfd >= 0)
        close(linkfd);
}

SimDevice* Emulator::FindDevice(const Mac& mac) {
    const auto it = by_mac.find(MacToInt(mac));
    return it == by_mac.end() ? nullptr : &devices[it->second];
}

bool Emulator::Open(std::string& error) {
    ifindex = static_cast<int>(if_nametoindex(config.interface_name.c_str()));
    if (ifindex == 0) {
        error = "no interface named \"" + config.interface_name + "\"";
        return false;
    }
    // Protocol 0 until bound: a socket opened with a protocol would see every interface's frames
    // between socket() and bind().
    sock = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (sock < 0) {
        error = std::string("cannot open a raw socket: ") + std::strerror(errno) +
                " (needs CAP_NET_RAW; run as root or inside the test namespace)";
        return false;
    }
    int size = config.rcvbuf_bytes;
    if (setsockopt(sock, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
        setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    size = 8 << 20;
    if (setsockopt(sock, SOL_SOCKET, SO_SNDBUFFORCE, &size, sizeof size) != 0) {
        setsockopt(sock, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
#ifdef PACKET_IGNORE_OUTGOING
    int one = 1;
    setsockopt(sock, SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one);
#endif
    sockaddr_ll addr{};
    addr.sll_family = AF_PACKET;
    addr.sll_protocol = htons(kEtherType);
    addr.sll_ifindex = ifindex;
    if (bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = "cannot bind to " + config.interface_name + ": " + std::strerror(errno);
        return false;
    }
    // The devices' addresses are not the interface's own; a real NIC would filter them out.
    packet_mreq mreq{};
    mreq.mr_ifindex = ifindex;
    mreq.mr_type = PACKET_MR_PROMISC;
    setsockopt(sock, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &mreq, sizeof mreq);

    batch->tx_addr.sll_family = AF_PACKET;
    batch->tx_addr.sll_protocol = htons(kEtherType);
    batch->tx_addr.sll_ifindex = ifindex;
    // The destination is in each frame's own header; a raw packet socket ignores sll_addr on send.

    // Link events, so that a deletion is seen even while the interface is down and the packet
    // socket is silent.
    linkfd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    sockaddr_nl link_addr{};
    link_addr.nl_family = AF_NETLINK;
    link_addr.nl_groups = RTMGRP_LINK;
    if (linkfd < 0 || bind(linkfd, reinterpret_cast<sockaddr*>(&link_addr), sizeof link_addr) != 0) {
        error = std::string("cannot follow link events: ") + std::strerror(errno);
        return false;
    }

    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGUSR1);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    sigfd = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    if (sigfd < 0) {
        error = std::string("signalfd: ") + std::strerror(errno);
        return false;
    }
    return true;
}

int Emulator::Run() {
    pollfd fds[3] = {{sock, POLLIN, 0}, {sigfd, POLLIN, 0}, {linkfd, POLLIN, 0}};
    bool stop = false;
    while (!stop) {
        int timeout = -1;
        if (!timers.empty()) {
            const uint64_t now = NowMicros();
            const uint64_t due = timers.top().due_us;
            timeout = due <= now ? 0 : static_cast<int>((due - now + 999) / 1000);
        }
        if (poll(fds, 3, timeout) < 0 && errno != EINTR) {
            std::perror("devsim: poll");
            return 1;
        }
        const bool link_event = (fds[2].revents & POLLIN) && DrainLinkEvents();
        const bool socket_error = fds[0].revents & (POLLERR | POLLHUP | POLLNVAL);
        if ((link_event || socket_error) && InterfaceGone()) {
            std::fprintf(stderr, "devsim: interface %s is gone; stopping\n", config.interface_name.c_str());
            return Finish(1);
        }
        // A pending socket error (ENETDOWN while the interface is down) keeps poll() returning at
        // once until it is read.
        if (socket_error && !ClearSocketError())
            return Finish(1);
        if (fds[0].revents & POLLIN)
            ReceiveBurst(NowMicros());
        if (fds[1].revents & POLLIN)
            stop = HandleSignals();
        FireTimers(NowMicros());
        Flush();
    }
    return Finish(0);
}

int Emulator::Finish(int status) const {
    std::string error;
    if (!WriteDump(error)) {
        std::fprintf(stderr, "devsim: %s\n", error.c_str());
        return 1;
    }
    return status;
}

bool Emulator::DrainLinkEvents() {
    alignas(nlmsghdr) char buffer[8192];
    bool ours = false;
    while (true) {
        const ssize_t got = recv(linkfd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            // ENOBUFS: events were lost, so any of them may have been ours.
            return ours || errno == ENOBUFS;
        }
        if (got == 0)
            return ours;
        size_t left = static_cast<size_t>(got);
        for (auto* msg = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(msg, left);
             msg = NLMSG_NEXT(msg, left)) {
            if (msg->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
                continue;
            const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(msg));
            if (info->ifi_index == ifindex)
                ours = true;
        }
    }
}

bool Emulator::InterfaceGone() const {
    // The kernel unbinds a packet socket whose interface is deleted or moved to another namespace;
    // nothing can arrive on it again.
    sockaddr_ll bound{};
    socklen_t length = sizeof bound;
    if (getsockname(sock, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        return true;
    char name[IF_NAMESIZE];
    return bound.sll_ifindex != ifindex || if_indextoname(static_cast<unsigned>(ifindex), name) == nullptr;
}

bool Emulator::ClearSocketError() {
    int pending = 0;
    socklen_t length = sizeof pending;
    if (getsockopt(sock, SOL_SOCKET, SO_ERROR, &pending, &length) == 0 && pending != 0)
        return true;
    std::fprintf(stderr, "devsim: the socket on %s reports a condition that does not clear; stopping\n",
                 config.interface_name.c_str());
    return false;
}

bool Emulator::HandleSignals() {
    bool stop = false;
    bool dump = false;
    signalfd_siginfo info;
    while (read(sigfd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGUSR1) {
            dump = true;
        } else {
            stop = true;
        }
    }
    if (dump) {
        // Frames already queued on the socket belong to the state being asked for.
        ReceiveBurst(NowMicros());
        FireTimers(NowMicros());
        Flush();
        std::string error;
        if (!WriteDump(error))
            std::fprintf(stderr, "devsim: %s\n", error.c_str());
        std::printf("dumped %llu\n", static_cast<unsigned long long>(++dumps));
        std::fflush(stdout);
    }
    return stop;
}

void Emulator::ReceiveBurst(uint64_t now_us) {
    for (int round = 0; round < kRxRoundsPerPass; ++round) {
        for (size_t i = 0; i < kRxBatch; ++i) {
            batch->rx_msgs[i].msg_hdr.msg_namelen = sizeof(sockaddr_ll);
            batch->rx_msgs[i].msg_hdr.msg_flags = 0;
        }
        const int n = recvmmsg(sock, batch->rx_msgs, kRxBatch, MSG_DONTWAIT | MSG_TRUNC, nullptr);
        if (n <= 0)
            return;
        for (int i = 0; i < n; ++i) {
            if (batch->rx_addr[i].sll_pkttype == PACKET_OUTGOING)
                continue;
            uint8_t* frame = rx_pool.data() + static_cast<size_t>(i) * kRxSlot;
            const size_t wire_len = batch->rx_msgs[i].msg_len;
            // A short frame reads as if padded with zeros; bytes past the frame size are not ours.
            if (wire_len < kFrameSize)
                std::memset(frame + wire_len, 0, kFrameSize - wire_len);
            Dispatch(frame, wire_len, now_us);
        }
        if (static_cast<size_t>(n) < kRxBatch)
            return;
    }
}

void Emulator::Dispatch(const uint8_t* frame, size_t wire_len, uint64_t now_us) {
    ++frames_total;
    if (wire_len < kOffInfo)
        ++frames_short;
    const uint64_t src = MacToInt(GetMac(frame, kOffSrc));
    if (by_mac.count(src))
        return;  // our own devices, seen again on a shared segment
    const Mac dst = GetMac(frame, kOffDst);
    if (dst == kBroadcast) {
        if (GetU16(frame, kOffModule) != kModuleDiscover || GetU16(frame, kOffMsg) != kMsgDiscover) {
            ++frames_unaddressed;
            return;
        }
        for (uint32_t i = 0; i < devices.size(); ++i) {
            scratch.clear();
            devices[i].OnFrame(frame, wire_len, scratch);
            Queue(i, scratch, now_us);
        }
        return;
    }
    const auto it = by_mac.find(MacToInt(dst));
    if (it == by_mac.end()) {
        ++frames_unaddressed;
        return;
    }
    scratch.clear();
    devices[it->second].OnFrame(frame, wire_len, scratch);
    Queue(it->second, scratch, now_us);
}

void Emulator::Queue(uint32_t device, const std::vector<Reply>& replies, uint64_t now_us) {
    for (const Reply& reply : replies) {
        if (reply.delay_ms == 0) {
            Send(device, reply);
        } else {
            timers.push({now_us + uint64_t(reply.delay_ms) * 1000u, timer_order++, device, reply});
        }
    }
}

void Emulator::Send(uint32_t device, const Reply& reply) {
    if (tx_count == kTxBatch)
        Flush();
    devices[device].BuildReply(reply, tx_pool.data() + tx_count * kFrameSize);
    ++tx_count;
}

void Emulator::FireTimers(uint64_t now_us) {
    while (!timers.empty() && timers.top().due_us <= now_us) {
        const Timer timer = timers.top();
        timers.pop();
        Send(timer.device, timer.reply);
    }
}

void Emulator::Flush() {
    size_t sent = 0;
    int retries = 0;
    while (sent < tx_count) {
        const int n = sendmmsg(sock, batch->tx_msgs + sent, static_cast<unsigned>(tx_count - sent), 0);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            retries = 0;
            continue;
        }
        // ENOBUFS: the peer's backlog dropped the frame; it drains within microseconds.
        if ((errno == ENOBUFS || errno == EAGAIN || errno == EINTR) && ++retries < 10000) {
            poll(nullptr, 0, retries > 100 ? 1 : 0);
            continue;
        }
        if (send_errors == 0)
            std::fprintf(stderr, "devsim: send failed: %s\n", std::strerror(errno));
        ++send_errors;
        ++sent;
        retries = 0;
    }
    tx_count = 0;
}

bool Emulator::WriteDump(std::string& error) const {
    if (config.dump_path.empty())
        return true;
    std::string out;
    out.reserve(256 + devices.size() * 512);
    out += "{";
    AppendField(out, "frames", frames_total);
    AppendField(out, "unaddressed", frames_unaddressed);
    AppendField(out, "short_frames", frames_short);
    AppendField(out, "send_errors", send_errors);
    out += "\"interface\":";
    AppendJsonString(out, config.interface_name);
    out += ",\"devices\":[";
    for (size_t d = 0; d < devices.size(); ++d) {
        const SimDevice& dev = devices[d];
        const DeviceCounters& c = dev.counters();
        if (d)
            out += ',';
        out += "\n{\"mac\":";
        AppendJsonString(out, MacText(dev.mac()));
        out += ',';
        AppendField(out, "frames", c.frames);
        AppendField(out, "dropped", c.dropped);
        AppendField(out, "discover_requests", c.discover_requests);
        AppendField(out, "answers_sent", c.answers_sent);
        AppendField(out, "acks_sent", c.acks_sent);
        AppendField(out, "reports_sent", c.reports_sent);
        AppendField(out, "segments", c.segments);
        AppendField(out, "retransmissions", c.retransmissions);
        AppendField(out, "duplicates", c.duplicates);
        AppendField(out, "ignored", c.ignored);
        AppendField(out, "violation_count", dev.violation_count());
        out += "\"files\":[";
        for (size_t i = 0; i < dev.files().size(); ++i) {
            const ReceivedFile& f = dev.files()[i];
            if (i)
                out += ',';
            out += '{';
            AppendField(out, "module", f.module);
            AppendField(out, "total", f.total);
            AppendField(out, "segments", f.segments);
            AppendField(out, "size", f.size);
            AppendField(out, "result", f.result);
            out += "\"sha256\":";
            AppendJsonString(out, f.sha256);
            if (!f.hex.empty() || f.size == 0) {
                out += ",\"hex\":";
                AppendJsonString(out, f.hex);
            }
            out += ",\"path\":";
            AppendJsonString(out, f.path);
            out += '}';
        }
        out += "],\"commands\":[";
        for (size_t i = 0; i < dev.commands().size(); ++i) {
            if (i)
                out += ',';
            out += "{\"text\":";
            AppendJsonString(out, dev.commands()[i].text);
            out += ",\"result\":" + std::to_string(dev.commands()[i].result) + "}";
        }
        out += "],\"reports\":[";
        for (size_t i = 0; i < dev.reports().size(); ++i) {
            if (i)
                out += ',';
            out += "{\"module\":" + std::to_string(dev.reports()[i].module) +
                   ",\"msg\":" + std::to_string(dev.reports()[i].msg) + "}";
        }
        out += "],\"partial\":[";
        const auto partial = dev.Partial();
        for (size_t i = 0; i < partial.size(); ++i) {
            if (i)
                out += ',';
            out += "{\"module\":" + std::to_string(partial[i].module) +
                   ",\"segments\":" + std::to_string(partial[i].segments) +
                   ",\"size\":" + std::to_string(partial[i].size) + "}";
        }
        out += "],\"violations\":[";
        for (size_t i = 0; i < dev.violations().size(); ++i) {
            if (i)
                out += ',';
            AppendJsonString(out, dev.violations()[i]);
        }
        out += "]}";
    }
    out += "\n]}\n";

    const std::string tmp = config.dump_path + ".tmp";
    FILE* file = std::fopen(tmp.c_str(), "wb");
    if (!file) {
        error = "cannot write " + tmp + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(tmp.c_str(), config.dump_path.c_str()) != 0) {
        error = "cannot write " + config.dump_path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace provix::devsim
