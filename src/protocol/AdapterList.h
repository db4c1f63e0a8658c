#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/local_adapter_stu.h"

namespace provix {

// One entry of the operating system's link-level interface list, reduced to what the choice needs.
struct OsInterface {
    std::string name;
    unsigned int flags = 0;     // IFF_* flags
    std::uint16_t hatype = 0;   // ARPHRD_* hardware type
    std::uint8_t halen = 0;     // hardware address length
    std::uint8_t addr[8] = {};  // hardware address, halen bytes valid
};

// One device of the capture library's list.
struct CaptureDeviceInfo {
    std::string name;
    std::string description;  // empty when the library has none
};

// The shown text of an adapter: "USB Ethernet (00:e0:4c:68:01:02)".
std::string AdapterDisplayText(const local_adapter_stu& adapter);

// The adapters worth offering, in the order of the interface list: Ethernet interfaces that are up
// and have a 6-byte address; loopback never (frames sent there reach no device). Each name once.
// The description is the capture library's one for the same name when it has one, else the name.
std::vector<local_adapter_stu> SelectAdapters(const std::vector<OsInterface>& interfaces,
                                              const std::vector<CaptureDeviceInfo>& capture_devices);

// The capture device of an adapter name among the library's device names: the device with exactly
// that name first, else the first whose name contains it ("eth1" must not pick "eth10" when "eth1"
// itself is listed). An empty adapter name matches nothing.
std::optional<std::string> MatchCaptureDevice(const std::vector<std::string>& device_names,
                                              const std::string& adapter_name);

// Fills list with the adapters of this computer (rebuilt on each call). Safe from any thread.
void GetAdapterList(std::vector<local_adapter_stu>& list);

// The text shown when the capture library cannot list its devices.
inline constexpr const char* kFindAllDevsErrorText = "pcap_findalldevs error";

// Sets adapter_name to the capture device of adapter and returns true. On failure adapter_name is
// unchanged; when the library could not list its devices, list_error (if given) is set to
// kFindAllDevsErrorText, else it is cleared.
bool FindCaptureDevice(std::string& adapter_name, const local_adapter_stu& adapter,
                       std::string* list_error = nullptr);

}  // namespace provix
