#include "protocol/AdapterList.h"

#include <algorithm>
#include <mutex>

#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netpacket/packet.h>
#include <pcap/pcap.h>

namespace provix {
namespace {

// Serialises enumerations: the capture library's device list is not documented as reentrant.
std::mutex cs_adapter;

std::vector<OsInterface> ReadOsInterfaces() {
    std::vector<OsInterface> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (const ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_PACKET || !it->ifa_name)
            continue;
        const auto* ll = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
        OsInterface entry;
        entry.name = it->ifa_name;
        entry.flags = it->ifa_flags;
        entry.hatype = ll->sll_hatype;
        entry.halen = std::min<std::uint8_t>(ll->sll_halen, sizeof entry.addr);
        std::copy_n(ll->sll_addr, entry.halen, entry.addr);
        out.push_back(std::move(entry));
    }
    freeifaddrs(list);
    return out;
}

// The capture library's devices; false when it cannot list them.
bool ReadCaptureDevices(std::vector<CaptureDeviceInfo>& out) {
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t* devs = nullptr;
    if (pcap_findalldevs(&devs, errbuf) != 0)
        return false;
    for (const pcap_if_t* d = devs; d; d = d->next) {
        out.push_back({d->name ? d->name : "", d->description ? d->description : ""});
    }
    pcap_freealldevs(devs);
    return true;
}

}  // namespace

std::string AdapterDisplayText(const local_adapter_stu& adapter) {
    return adapter.description + " (" + FormatMacLower(adapter.mac) + ")";
}

std::vector<local_adapter_stu> SelectAdapters(const std::vector<OsInterface>& interfaces,
                                              const std::vector<CaptureDeviceInfo>& capture_devices) {
    std::vector<local_adapter_stu> out;
    for (const OsInterface& os : interfaces) {
        if (os.name.empty() || (os.flags & IFF_LOOPBACK) || !(os.flags & IFF_UP))
            continue;
        if (os.hatype != ARPHRD_ETHER || os.halen != kMacSize)
            continue;
        const bool seen =
            std::any_of(out.begin(), out.end(), [&](const auto& a) { return a.name == os.name; });
        if (seen)
            continue;

        local_adapter_stu adapter;
        std::copy_n(os.addr, kMacSize, adapter.mac.begin());
        adapter.name = os.name;
        adapter.description = os.name;
        for (const CaptureDeviceInfo& dev : capture_devices) {
            if (dev.name == os.name && !dev.description.empty()) {
                adapter.description = dev.description;
                break;
            }
        }
        out.push_back(std::move(adapter));
    }
    return out;
}

std::optional<std::string> MatchCaptureDevice(const std::vector<std::string>& device_names,
                                              const std::string& adapter_name) {
    // An empty name is a substring of everything and would pick an arbitrary device.
    if (adapter_name.empty())
        return std::nullopt;
    for (const std::string& name : device_names) {
        if (name == adapter_name)
            return name;
    }
    for (const std::string& name : device_names) {
        if (name.find(adapter_name) != std::string::npos)
            return name;
    }
    return std::nullopt;
}

void GetAdapterList(std::vector<local_adapter_stu>& list) {
    std::lock_guard lock(cs_adapter);
    list.clear();
    std::vector<CaptureDeviceInfo> devices;
    // Without the capture library's list the adapters are still offered, described by their names.
    ReadCaptureDevices(devices);
    list = SelectAdapters(ReadOsInterfaces(), devices);
}

bool FindCaptureDevice(std::string& adapter_name, const local_adapter_stu& adapter, std::string* list_error) {
    if (list_error)
        list_error->clear();
    std::vector<CaptureDeviceInfo> devices;
    {
        std::lock_guard lock(cs_adapter);
        if (!ReadCaptureDevices(devices)) {
            if (list_error)
                *list_error = kFindAllDevsErrorText;
            return false;
        }
    }
    std::vector<std::string> names;
    names.reserve(devices.size());
    for (const CaptureDeviceInfo& d : devices)
        names.push_back(d.name);
    auto match = MatchCaptureDevice(names, adapter.name);
    if (!match)
        return false;
    adapter_name = *match;
    return true;
}

}  // namespace provix
