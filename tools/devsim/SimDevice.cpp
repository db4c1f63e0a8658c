#include "SimDevice.h"

#include "Sha256.h"

#include <cstring>
#include <fstream>

namespace provix::devsim {

namespace {

// FNV-1a over a segment's position, flag and data: enough to tell a retransmission from new data.
uint64_t SegmentSignature(const uint8_t* frame, uint16_t len) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i)
            h = (h ^ p[i]) * 1099511628211ull;
    };
    mix(frame + kOffModule, 10);  // module, seq, msg, total
    mix(frame + kOffSegFlag, 2);
    mix(frame + kOffDataLen, 2);
    mix(frame + kOffData, len);
    return h;
}

uint64_t SplitMix(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

const char* ModuleFileLabel(uint16_t module) {
    return module == kModulePara ? "para" : "logo";
}

void ReplaceAll(std::string& text, std::string_view key, const std::string& value) {
    for (size_t pos = text.find(key); pos != std::string::npos; pos = text.find(key, pos + value.size())) {
        text.replace(pos, key.size(), value);
    }
}

}  // namespace

SimDevice::SimDevice(const Mac& mac, int index, Behaviour behaviour, uint64_t seed, std::string out_dir)
    : mac_addr(mac),
      device_index(index),
      behave(std::move(behaviour)),
      rng_state(seed ^ MacToInt(mac)),
      out_dir(std::move(out_dir)) {
    // The second answer differs so that a test can tell which one the tool kept.
    std::array<uint8_t, kFrameSize> frame{};
    for (auto* info : {&answer_info, &second_answer_info}) {
        const std::string suffix = info == &second_answer_info ? "#2" : "";
        PutInfoText(frame.data(), kSlotSsid2, Expand(behave.ssid2) + suffix);
        PutInfoText(frame.data(), kSlotSsid5, Expand(behave.ssid5) + suffix);
        PutInfoText(frame.data(), kSlotKey2, Expand(behave.key2) + suffix);
        PutInfoText(frame.data(), kSlotKey5, Expand(behave.key5) + suffix);
        std::memcpy(info->data(), frame.data() + kOffInfo, info->size());
    }
}

bool SimDevice::Drop() {
    if (behave.drop <= 0.0)
        return false;
    if (behave.drop >= 1.0)
        return true;
    const double r = static_cast<double>(SplitMix(rng_state) >> 11) * (1.0 / 9007199254740992.0);
    return r < behave.drop;
}

void SimDevice::Violation(std::string text) {
    ++violations_total;
    if (violation_list.size() < kMaxViolations)
        violation_list.push_back(std::move(text));
}

std::string SimDevice::Expand(const std::string& text) const {
    std::string out = text;
    const std::string hex = MacHex(mac_addr);
    ReplaceAll(out, "{mac}", hex);
    ReplaceAll(out, "{tail}", hex.substr(6));
    ReplaceAll(out, "{n}", std::to_string(device_index));
    return out;
}

void SimDevice::OnFrame(const uint8_t* frame, size_t wire_len, std::vector<Reply>& out) {
    ++counts.frames;
    if (Drop()) {
        ++counts.dropped;
        return;
    }
    if (wire_len != kFrameSize) {
        Violation("frame of " + std::to_string(wire_len) + " bytes, expected " + std::to_string(kFrameSize));
    }
    const uint16_t module = GetU16(frame, kOffModule);
    const uint16_t msg = GetU16(frame, kOffMsg);
    if (module == kModuleDiscover && msg == kMsgDiscover) {
        OnDiscover(frame, out);
    } else if ((module == kModulePara && msg == kMsgParaData) ||
               (module == kModuleLogo && msg == kMsgLogoData)) {
        OnSegment(module, frame, out);
    } else if (module == kModuleJson && msg == kMsgJsonCmd) {
        OnCommand(frame, out);
    } else {
        ++counts.ignored;
        Violation("unexpected module " + std::to_string(module) + " msg " + std::to_string(msg));
    }
}

void SimDevice::OnDiscover(const uint8_t* frame, std::vector<Reply>& out) {
    ++counts.discover_requests;
    // A request carries nothing but the addresses, the type and the code.
    for (size_t i = kOffModule; i < kFrameSize; ++i) {
        if (frame[i] != 0 && i != kOffMsg + 1) {
            Violation("discovery request has a non-zero byte at offset " + std::to_string(i));
            break;
        }
    }
    if (behave.silent)
        return;
    Reply reply;
    reply.kind = Reply::kAnswer;
    reply.module = kModuleDiscover;
    reply.msg = kMsgReply;
    reply.dst = GetMac(frame, kOffSrc);
    reply.delay_ms = behave.discover_delay_ms;
    out.push_back(reply);
    if (behave.discover_twice) {
        reply.kind = Reply::kSecondAnswer;
        out.push_back(reply);
    }
}

void SimDevice::Ack(const uint8_t* frame, uint16_t module, uint16_t seq, std::vector<Reply>& out) {
    if (behave.silent)
        return;
    Reply reply;
    reply.kind = Reply::kAck;
    reply.module = module;
    reply.msg = kMsgReply;
    reply.seq = behave.ack_ffff ? 0xffff : seq;
    reply.dst = GetMac(frame, kOffSrc);
    reply.delay_ms = behave.ack_delay_ms;
    out.push_back(reply);
}

void SimDevice::Report(const uint8_t* frame, uint16_t module, uint16_t msg, std::vector<Reply>& out) {
    if (behave.silent || behave.no_report)
        return;
    Reply reply;
    reply.kind = Reply::kReport;
    reply.module = module;
    reply.msg = msg;
    reply.dst = GetMac(frame, kOffSrc);
    // After the acknowledgement, never before it.
    reply.delay_ms = behave.ack_delay_ms + behave.report_delay_ms;
    out.push_back(reply);
}

void SimDevice::OnSegment(uint16_t module, const uint8_t* frame, std::vector<Reply>& out) {
    Transfer& t = transfers[module - 1];
    const uint16_t seq = GetU16(frame, kOffSeq);
    const uint16_t flag = GetU16(frame, kOffSegFlag);
    const uint16_t total = GetU16(frame, kOffTotal);
    const uint16_t len = GetU16(frame, kOffDataLen);
    // Built only when something is wrong: the common path allocates nothing.
    const auto where = [&] { return std::string(ModuleFileLabel(module)) + " seq " + std::to_string(seq); };
    if (len > kSegmentSize) {
        ++counts.ignored;
        Violation(where() + ": data_len " + std::to_string(len) + " exceeds " + std::to_string(kSegmentSize));
        return;
    }
    const uint64_t sig = SegmentSignature(frame, len);

    // Segments 65535 and 65536 of a payload both carry 0xFFFF, so at that point only the data tells a
    // retransmission from the next segment.
    const bool next_has_same_seq = t.count > 0 && seq == SeqForSegment(t.count + 1) && seq == t.last_seq;
    if (next_has_same_seq && sig == t.last_sig) {
        Violation(where() +
                  ": the next segment repeats the last one's seq and data; taken as a retransmission");
    }
    // The tool resends the segment it is waiting on when an acknowledgement is late or lost.
    if (t.has_last && seq == t.last_seq && (t.count > 0 || (t.last_final && sig == t.last_sig)) &&
        !(next_has_same_seq && sig != t.last_sig)) {
        ++counts.retransmissions;
        if (sig != t.last_sig)
            Violation(where() + ": retransmission differs from the first sending");
        Ack(frame, module, seq, out);
        if (t.count == 0)
            Report(frame, module, t.last_result, out);
        return;
    }

    uint16_t expected = SeqForSegment(t.count + 1);
    if (seq != expected && t.count > 0 && seq == 1 && (flag == kSegFirst || flag == kSegLast)) {
        Violation(where() + ": new payload started after " + std::to_string(t.count) +
                  " segments of an unfinished one");
        t.count = 0;
        t.bytes.clear();
        expected = 1;
    }
    if (seq != expected) {
        const bool older = t.count > 0 && (t.count > 0xffff || (seq != 0 && seq < t.count));
        if (older) {
            ++counts.duplicates;
            Violation(where() + ": repeats an older segment (expected " + std::to_string(expected) + ")");
            Ack(frame, module, seq, out);
        } else {
            ++counts.ignored;
            Violation(where() + ": out of order (expected " + std::to_string(expected) + ")");
        }
        return;
    }

    if (t.count == 0) {
        if (flag == kSegMiddle)
            Violation(where() + ": first segment flagged as middle");
        if (total != 1 && total != 2)
            Violation(where() + ": total " + std::to_string(total));
        t.total = total;
    } else {
        if (flag == kSegFirst)
            Violation(where() + ": flagged first after " + std::to_string(t.count) + " segments");
        if (total != t.total) {
            Violation(where() + ": total changed from " + std::to_string(t.total) + " to " +
                      std::to_string(total));
        }
    }
    if (flag > kSegLast)
        Violation(where() + ": unknown seg_flag " + std::to_string(flag));
    if (flag != kSegLast && len != kSegmentSize) {
        Violation(where() + ": " + std::to_string(len) + " bytes in a segment that is not the last");
    }
    if (t.bytes.size() + len > kMaxPayload) {
        Violation(where() + ": payload exceeds " + std::to_string(kMaxPayload) + " bytes, dropped");
        t.count = 0;
        t.bytes.clear();
        t.bytes.shrink_to_fit();
        return;
    }

    ++counts.segments;
    t.bytes.insert(t.bytes.end(), frame + kOffData, frame + kOffData + len);
    ++t.count;
    t.last_seq = seq;
    t.last_sig = sig;
    t.has_last = true;
    t.last_final = flag == kSegLast;
    Ack(frame, module, seq, out);
    if (flag == kSegLast) {
        Complete(module, t);
        Report(frame, module, t.last_result, out);
    }
}

void SimDevice::Complete(uint16_t module, Transfer& t) {
    ReceivedFile file;
    file.module = module;
    file.total = t.total;
    file.segments = t.count;
    file.size = t.bytes.size();
    file.sha256 = Sha256::HexOf(t.bytes.data(), t.bytes.size());
    if (t.bytes.size() <= kSmallPayload)
        file.hex = ToHex(t.bytes.data(), t.bytes.size());
    if (module == kModulePara) {
        file.result = behave.fail ? kMsgParaFail : kMsgParaSuccess;
    } else {
        file.result = behave.fail ? kMsgLogoFail : kMsgLogoSuccess;
    }
    if (!out_dir.empty()) {
        const std::string path = out_dir + "/" + MacHex(mac_addr) + "-" +
                                 std::to_string(received_files.size() + 1) + "-" + ModuleFileLabel(module) +
                                 ".bin";
        std::ofstream stream(path, std::ios::binary | std::ios::trunc);
        stream.write(reinterpret_cast<const char*>(t.bytes.data()),
                     static_cast<std::streamsize>(t.bytes.size()));
        if (stream.good()) {
            file.path = path;
        } else {
            Violation("cannot save payload to " + path);
        }
    }
    t.last_result = file.result;
    received_files.push_back(std::move(file));
    t.count = 0;
    // Large payloads would otherwise stay resident for every device until exit.
    if (t.bytes.capacity() > (1u << 20)) {
        std::vector<uint8_t>().swap(t.bytes);
    } else {
        t.bytes.clear();
    }
}

void SimDevice::OnCommand(const uint8_t* frame, std::vector<Reply>& out) {
    const uint16_t seq = GetU16(frame, kOffSeq);
    const uint16_t flag = GetU16(frame, kOffSegFlag);
    const uint16_t total = GetU16(frame, kOffTotal);
    const uint16_t len = GetU16(frame, kOffDataLen);
    if (len > kSegmentSize) {
        ++counts.ignored;
        Violation("command: data_len " + std::to_string(len) + " exceeds " + std::to_string(kSegmentSize));
        return;
    }
    const uint64_t sig = SegmentSignature(frame, len);
    if (has_command && sig == last_command_sig) {
        // Applying a command twice changes nothing; the tool only resends when it missed the ack.
        ++counts.retransmissions;
        Ack(frame, kModuleJson, seq, out);
        Report(frame, kModuleJson, last_command_result, out);
        return;
    }
    if (seq != 1)
        Violation("command: seq " + std::to_string(seq) + ", expected 1");
    if (flag != kSegLast)
        Violation("command: seg_flag " + std::to_string(flag) + ", expected 2");
    if (total != 1)
        Violation("command: total " + std::to_string(total) + ", expected 1");
    if (len > 511)
        Violation("command: " + std::to_string(len) + " bytes, longer than 511");
    if (len >= kSegmentSize || frame[kOffData + len] != 0)
        Violation("command: text not followed by a NUL");

    const char* text = reinterpret_cast<const char*>(frame + kOffData);
    const void* nul = std::memchr(text, 0, len);
    if (nul)
        Violation("command: NUL inside the text");
    ReceivedCommand command;
    command.text.assign(text, nul ? static_cast<const char*>(nul) - text : len);
    std::string lockcode;
    const bool has_lockcode = ExtractLockcode(command.text, lockcode);
    if (!has_lockcode)
        Violation("command: no Lockcode");
    const bool refused =
        behave.fail || (!behave.lockcode.empty() && (!has_lockcode || lockcode != behave.lockcode));
    command.result = refused ? kMsgLockcodeMismatch : kMsgJsonSuccess;

    ++counts.segments;
    has_command = true;
    last_command_sig = sig;
    last_command_result = command.result;
    received_commands.push_back(std::move(command));
    Ack(frame, kModuleJson, seq, out);
    Report(frame, kModuleJson, last_command_result, out);
}

void SimDevice::BuildReply(const Reply& reply, uint8_t* frame) {
    BuildHeader(frame, reply.dst, mac_addr, reply.module, reply.msg, reply.seq, 0);
    switch (reply.kind) {
        case Reply::kAnswer:
        case Reply::kSecondAnswer: {
            const auto& info = reply.kind == Reply::kAnswer ? answer_info : second_answer_info;
            std::memcpy(frame + kOffInfo, info.data(), info.size());
            ++counts.answers_sent;
            break;
        }
        case Reply::kAck:
            ++counts.acks_sent;
            break;
        case Reply::kReport:
            ++counts.reports_sent;
            reports_sent.push_back({reply.module, reply.msg});
            break;
    }
}

std::vector<PartialPayload> SimDevice::Partial() const {
    std::vector<PartialPayload> partial;
    for (uint16_t module : {kModulePara, kModuleLogo}) {
        const Transfer& t = transfers[module - 1];
        if (t.count > 0)
            partial.push_back({module, t.count, t.bytes.size()});
    }
    return partial;
}

bool ExtractLockcode(const std::string& json, std::string& lockcode) {
    const std::string key = "\"Lockcode\"";
    size_t pos = json.find(key);
    if (pos == std::string::npos)
        return false;
    pos += key.size();
    while (pos < json.size() && (json[pos] == ' ' || json[pos] == '\t'))
        ++pos;
    if (pos >= json.size() || json[pos] != ':')
        return false;
    ++pos;
    while (pos < json.size() && (json[pos] == ' ' || json[pos] == '\t'))
        ++pos;
    if (pos >= json.size() || json[pos] != '"')
        return false;
    lockcode.clear();
    for (++pos; pos < json.size(); ++pos) {
        if (json[pos] == '"')
            return true;
        if (json[pos] == '\\' && pos + 1 < json.size())
            ++pos;
        lockcode += json[pos];
    }
    return false;
}

}  // namespace provix::devsim
