#pragma once

#include <string>

#include "protocol/EtherFrame.h"

struct pcap;

namespace provix {

// Who opens a handle decides how it is set up.
enum class CaptureUser {
    DiscoverySender,  // sends one broadcast and closes
    ReceiveThread,    // long-lived, blocking reads with a short timeout so a stop is seen quickly
    TransferWorker,   // one device, waits on poll() for acknowledgements
};

struct CaptureSettings {
    int snaplen = 65536;
    bool promiscuous = true;
    int timeout_ms = 1;
    bool nonblocking = false;
    bool immediate = false;  // hand each frame over at once instead of per filled block
    int buffer_bytes = 0;    // kernel ring size; 0 keeps the library's default
};

CaptureSettings SettingsFor(CaptureUser user);

// "ether dst 00:e0:4c:68:01:02and ether proto 0x6262": frames addressed to the adapter.
std::string ReceiveFilterText(const MacAddress& adapter_mac);
// "ether src C8:3A:35:A1:B2:C3and ether proto 0x6262": frames sent by one device.
std::string TransferFilterText(const MacAddress& device_mac);

// Why a capture step failed. permission is set when the process lacks the capabilities for raw
// frames, so the caller can name the fix (PermissionFixCommand) instead of a bare library message.
struct CaptureError {
    std::string text;
    bool permission = false;
};

// The command that lets an ordinary user capture with the given executable.
std::string PermissionFixCommand(const std::string& executable);

// One libpcap handle, private to the thread that opened it. Move-only; closes on destruction.
class CaptureHandle {
public:
    enum class Read {
        Frame,    // the record holds the next frame
        Timeout,  // nothing arrived in time (or nothing waiting, when non-blocking)
        Error,
    };

    CaptureHandle() = default;
    ~CaptureHandle();
    CaptureHandle(CaptureHandle&& other) noexcept;
    CaptureHandle& operator=(CaptureHandle&& other) noexcept;
    CaptureHandle(const CaptureHandle&) = delete;
    CaptureHandle& operator=(const CaptureHandle&) = delete;

    // Creates and activates a handle on device with the settings; closes any previous one first.
    bool Open(const std::string& device, const CaptureSettings& settings);
    bool Open(const std::string& device, CaptureUser user) { return Open(device, SettingsFor(user)); }
    bool IsOpen() const { return handle != nullptr; }
    void Close();

    // Looks up the device's netmask, compiles the text optimised and installs it. A filter that does
    // not compile leaves the handle unfiltered, so callers that rely on it should check the result.
    bool SetFilter(const std::string& filter_text);
    bool SetNonBlocking(bool on);

    // Sends the 1286 bytes of the frame.
    bool Send(const ether_frame_stu& frame);

    // Reads the next frame into a zero-filled record (shorter frames zero-padded, longer cut).
    // wire_len, if given, receives the frame's captured length.
    Read Next(ether_frame_stu& out, std::size_t* wire_len = nullptr);

    // Descriptor that poll() reports readable when a frame may be waiting; -1 when there is none.
    int SelectableFd() const;

    // Waits up to timeout_ms for the descriptor to become readable; false on timeout or error.
    bool WaitReadable(int timeout_ms) const;

    const CaptureError& LastError() const { return error; }
    const std::string& Device() const { return device_name; }

private:
    void Fail(const std::string& step, int status);

    pcap* handle = nullptr;
    std::string device_name;
    CaptureError error;
};

}  // namespace provix
