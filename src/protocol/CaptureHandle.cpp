#include "protocol/CaptureHandle.h"

#include <utility>

#include <poll.h>
#include <pcap/pcap.h>

namespace provix {
namespace {

constexpr const char* kProtoClause = "and ether proto ";
constexpr const char* kProtoValue = "0x6262";

}  // namespace

CaptureSettings SettingsFor(CaptureUser user) {
    CaptureSettings s;
    switch (user) {
        case CaptureUser::DiscoverySender:
        case CaptureUser::ReceiveThread:
            break;
        case CaptureUser::TransferWorker:
            // One device per handle, one segment in flight, a thousand handles at once: a
            // frame-sized snapshot and a 32 KiB buffer (about 40 KiB of locked ring, twenty frame
            // slots) keep an operation's kernel memory low; immediate mode makes poll() wake per frame.
            s.snaplen = 1518;
            s.timeout_ms = 100;
            s.nonblocking = true;
            s.immediate = true;
            s.buffer_bytes = 32 * 1024;
            break;
    }
    return s;
}

std::string ReceiveFilterText(const MacAddress& adapter_mac) {
    return std::string("ether dst ") + FormatMacLower(adapter_mac) + kProtoClause + kProtoValue;
}

std::string TransferFilterText(const MacAddress& device_mac) {
    return std::string("ether src ") + FormatMacUpper(device_mac) + kProtoClause + kProtoValue;
}

std::string PermissionFixCommand(const std::string& executable) {
    return "setcap cap_net_raw,cap_net_admin=eip " + executable;
}

CaptureHandle::~CaptureHandle() {
    Close();
}

CaptureHandle::CaptureHandle(CaptureHandle&& other) noexcept
    : handle(std::exchange(other.handle, nullptr)),
      device_name(std::move(other.device_name)),
      error(std::move(other.error)) {}

CaptureHandle& CaptureHandle::operator=(CaptureHandle&& other) noexcept {
    if (this != &other) {
        Close();
        handle = std::exchange(other.handle, nullptr);
        device_name = std::move(other.device_name);
        error = std::move(other.error);
    }
    return *this;
}

void CaptureHandle::Close() {
    if (handle)
        pcap_close(handle);
    handle = nullptr;
}

void CaptureHandle::Fail(const std::string& step, int status) {
    error.permission = status == PCAP_ERROR_PERM_DENIED || status == PCAP_ERROR_PROMISC_PERM_DENIED;
    std::string detail = handle ? pcap_geterr(handle) : "";
    if (detail.empty())
        detail = pcap_statustostr(status);
    error.text = step + " " + device_name + ": " + detail;
}

bool CaptureHandle::Open(const std::string& device, const CaptureSettings& settings) {
    Close();
    device_name = device;
    error = {};
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    handle = pcap_create(device.c_str(), errbuf);
    if (!handle) {
        error.text = "cannot open " + device + ": " + errbuf;
        return false;
    }
    pcap_set_snaplen(handle, settings.snaplen);
    pcap_set_promisc(handle, settings.promiscuous ? 1 : 0);
    pcap_set_timeout(handle, settings.timeout_ms);
    if (settings.immediate)
        pcap_set_immediate_mode(handle, 1);
    if (settings.buffer_bytes > 0)
        pcap_set_buffer_size(handle, settings.buffer_bytes);
    // Positive results are warnings (for example no promiscuous mode); the handle still works.
    const int status = pcap_activate(handle);
    if (status < 0) {
        Fail("cannot open", status);
        Close();
        return false;
    }
    if (settings.nonblocking && !SetNonBlocking(true)) {
        Close();
        return false;
    }
    return true;
}

bool CaptureHandle::SetFilter(const std::string& filter_text) {
    if (!handle)
        return false;
    bpf_u_int32 net = 0;
    bpf_u_int32 mask = 0;
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    // Interfaces without an IPv4 address have no netmask; it only matters for broadcast tests.
    if (pcap_lookupnet(device_name.c_str(), &net, &mask, errbuf) != 0)
        mask = PCAP_NETMASK_UNKNOWN;
    bpf_program program{};
    if (pcap_compile(handle, &program, filter_text.c_str(), 1, mask) != 0) {
        Fail("cannot compile filter \"" + filter_text + "\" on", PCAP_ERROR);
        return false;
    }
    const int status = pcap_setfilter(handle, &program);
    pcap_freecode(&program);
    if (status != 0) {
        Fail("cannot install filter on", status);
        return false;
    }
    return true;
}

bool CaptureHandle::SetNonBlocking(bool on) {
    if (!handle)
        return false;
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    if (pcap_setnonblock(handle, on ? 1 : 0, errbuf) != 0) {
        error.permission = false;
        error.text = "cannot set non-blocking mode on " + device_name + ": " + errbuf;
        return false;
    }
    return true;
}

bool CaptureHandle::Send(const ether_frame_stu& frame) {
    if (!handle)
        return false;
    if (pcap_sendpacket(handle, frame.bytes.data(), static_cast<int>(frame.bytes.size())) != 0) {
        Fail("cannot send on", PCAP_ERROR);
        return false;
    }
    return true;
}

CaptureHandle::Read CaptureHandle::Next(ether_frame_stu& out, std::size_t* wire_len) {
    if (!handle)
        return Read::Error;
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    const int status = pcap_next_ex(handle, &header, &data);
    if (status == 0)
        return Read::Timeout;
    if (status < 0 || !header || !data) {
        if (status < 0)
            Fail("cannot read from", status);
        return Read::Error;
    }
    out = FrameFromBytes({data, header->caplen});
    if (wire_len)
        *wire_len = header->caplen;
    return Read::Frame;
}

int CaptureHandle::SelectableFd() const {
    return handle ? pcap_get_selectable_fd(handle) : -1;
}

bool CaptureHandle::WaitReadable(int timeout_ms) const {
    pollfd pfd{SelectableFd(), POLLIN, 0};
    if (pfd.fd < 0)
        return false;
    return poll(&pfd, 1, timeout_ms) > 0 && (pfd.revents & POLLIN);
}

}  // namespace provix
