#pragma once

#include "SimFrame.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace provix::devsim {

// How one emulated device misbehaves (or not). Everything off is a well-behaved device.
struct Behaviour {
    uint32_t ack_delay_ms = 0;
    uint32_t report_delay_ms = 0;
    uint32_t discover_delay_ms = 0;
    double drop = 0.0;            // share of incoming frames lost before the device sees them
    bool discover_twice = false;  // the second answer carries different texts
    bool silent = false;          // receives and records, sends nothing
    bool ack_ffff = false;        // every acknowledgement carries seq 0xFFFF
    bool fail = false;            // reports failure (lock-code mismatch for commands)
    bool no_report = false;       // acknowledges, never reports
    std::string lockcode;         // empty: any lock code is accepted
    // Texts of the discovery answer; {mac} (12 hex digits), {tail} (last 6) and {n} (1-based index)
    // are replaced per device.
    std::string ssid2 = "SIM_{tail}_2G";
    std::string ssid5 = "SIM_{tail}_5G";
    std::string key2 = "key{mac}2";
    std::string key5 = "key{mac}5";
};

// A frame the device wants to send, kept small so that thousands can wait in the timer queue.
struct Reply {
    enum Kind : uint8_t { kAnswer, kSecondAnswer, kAck, kReport };
    Kind kind = kAck;
    uint16_t module = 0;
    uint16_t msg = 0;
    uint16_t seq = 0;
    Mac dst{};
    uint32_t delay_ms = 0;
};

struct ReceivedFile {
    uint16_t module = 0;
    uint16_t total = 0;
    uint64_t segments = 0;
    uint64_t size = 0;
    std::string sha256;
    std::string hex;   // the bytes themselves, for small payloads only
    std::string path;  // where the payload was saved, empty without an output folder
    uint16_t result = 0;
};

struct ReceivedCommand {
    std::string text;
    uint16_t result = 0;
};

struct ReportSent {
    uint16_t module = 0;
    uint16_t msg = 0;
};

struct DeviceCounters {
    uint64_t frames = 0;  // every frame addressed to the device, dropped ones included
    uint64_t dropped = 0;
    uint64_t discover_requests = 0;
    uint64_t answers_sent = 0;
    uint64_t acks_sent = 0;
    uint64_t reports_sent = 0;
    uint64_t segments = 0;         // data segments and commands accepted as new
    uint64_t retransmissions = 0;  // repeats of the segment acknowledged last
    uint64_t duplicates = 0;       // repeats of older segments
    uint64_t ignored = 0;          // frames the device has no use for
};

// An unfinished payload, as seen at a dump.
struct PartialPayload {
    uint16_t module = 0;
    uint64_t segments = 0;
    uint64_t size = 0;
};

// One emulated device: reassembles payloads, notes protocol violations, and decides its replies.
// It does no I/O except saving a finished payload into the output folder.
class SimDevice {
public:
    static constexpr size_t kSmallPayload = 256;  // payloads up to this size are dumped as hex
    static constexpr size_t kMaxViolations = 64;  // kept per device; the rest are only counted
    static constexpr uint64_t kMaxPayload = 256u << 20;

    SimDevice(const Mac& mac, int index, Behaviour behaviour, uint64_t seed, std::string out_dir);

    // frame holds kFrameSize bytes, zero-padded past wire_len (the length as received).
    void OnFrame(const uint8_t* frame, size_t wire_len, std::vector<Reply>& out);
    // Fills kFrameSize bytes with the reply and counts it as sent.
    void BuildReply(const Reply& reply, uint8_t* frame);

    const Mac& mac() const { return mac_addr; }
    const Behaviour& behaviour() const { return behave; }
    const DeviceCounters& counters() const { return counts; }
    const std::vector<ReceivedFile>& files() const { return received_files; }
    const std::vector<ReceivedCommand>& commands() const { return received_commands; }
    const std::vector<ReportSent>& reports() const { return reports_sent; }
    const std::vector<std::string>& violations() const { return violation_list; }
    uint64_t violation_count() const { return violations_total; }
    std::vector<PartialPayload> Partial() const;

private:
    // Reassembly state of one file module (configuration or logo).
    struct Transfer {
        uint64_t count = 0;  // segments accepted in the current payload
        uint16_t total = 0;
        std::vector<uint8_t> bytes;
        uint16_t last_seq = 0;
        uint64_t last_sig = 0;
        bool has_last = false;
        bool last_final = false;  // the segment accepted last completed its payload
        uint16_t last_result = 0;
    };

    void OnDiscover(const uint8_t* frame, std::vector<Reply>& out);
    void OnSegment(uint16_t module, const uint8_t* frame, std::vector<Reply>& out);
    void OnCommand(const uint8_t* frame, std::vector<Reply>& out);
    void Complete(uint16_t module, Transfer& t);
    void Ack(const uint8_t* frame, uint16_t module, uint16_t seq, std::vector<Reply>& out);
    void Report(const uint8_t* frame, uint16_t module, uint16_t msg, std::vector<Reply>& out);
    void Violation(std::string text);
    bool Drop();
    std::string Expand(const std::string& text) const;

    Mac mac_addr;
    int device_index;
    Behaviour behave;
    // The discovery answers' info areas, built once: answering a discovery storm allocates nothing.
    std::array<uint8_t, kOffSegFlag - kOffInfo> answer_info{};
    std::array<uint8_t, kOffSegFlag - kOffInfo> second_answer_info{};
    uint64_t rng_state;
    std::string out_dir;
    DeviceCounters counts;
    Transfer transfers[2];
    uint64_t last_command_sig = 0;
    bool has_command = false;
    uint16_t last_command_result = 0;
    std::vector<ReceivedFile> received_files;
    std::vector<ReceivedCommand> received_commands;
    std::vector<ReportSent> reports_sent;
    std::vector<std::string> violation_list;
    uint64_t violations_total = 0;
};

// The Lockcode value of an anti-theft command, or false when the text has none.
bool ExtractLockcode(const std::string& json, std::string& lockcode);

}  // namespace provix::devsim
