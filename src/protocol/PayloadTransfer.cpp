#include "protocol/PayloadTransfer.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace provix {
namespace {

// Owns a file descriptor for the length of one transfer.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Length of a regular file; false for anything else (a folder opens but cannot be read).
    bool Length(std::uint64_t& length) const {
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            return false;
        }
        length = static_cast<std::uint64_t>(st.st_size);
        return true;
    }

    // Reads exactly `size` bytes at `offset`; false on an error or an early end of file.
    bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const {
        std::size_t done = 0;
        while (done < size) {
            ssize_t r = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(r);
        }
        return true;
    }

private:
    int fd;
};

TransferOutcome FromAckWait(AckWait wait) {
    switch (wait) {
        case AckWait::Acked:
            return TransferOutcome::Sent;
        case AckWait::Stopped:
            return TransferOutcome::Stopped;
        case AckWait::Failed:
            break;
    }
    return TransferOutcome::Failed;
}

}  // namespace

std::unique_ptr<FrameChannel> OpenChannel(TransferContext& ctx, const MacAddress& device, bool& stopped) {
    stopped = false;
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        std::string error;
        if (auto channel = ctx.opener.Open(device, error)) {
            return channel;
        }
        if (!ctx.clock.SleepFor(kOpenRetryDelay)) {
            stopped = true;
            return nullptr;
        }
    }
    return nullptr;
}

TransferOutcome SendFile(TransferContext& ctx, const ether_frame_stu& header, std::uint16_t module,
                         const std::string& path) {
    bool stopped = false;
    std::unique_ptr<FrameChannel> channel = OpenChannel(ctx, header.DstMac(), stopped);
    if (!channel) {
        return stopped ? TransferOutcome::Stopped : TransferOutcome::Failed;
    }
    ReadOnlyFile file(path);
    std::uint64_t length = 0;
    if (!file.Length(length)) {
        return TransferOutcome::Failed;
    }

    // The device numbers segments with 16 bits; past 65535 only its 0xFFFF answer can acknowledge.
    ether_frame_stu frame = header;
    std::vector<std::uint8_t> chunk(kSegmentSize);
    const std::uint64_t count = SegmentCount(length);
    for (std::uint64_t n = 1; n <= count; ++n) {
        const std::optional<SegmentInfo> segment = PlanSegment(length, n);
        if (!segment || !file.ReadAt(segment->offset, chunk.data(), segment->length)) {
            return TransferOutcome::Failed;
        }
        frame.SetSeq(segment->seq);
        frame.SetSegFlag(segment->seg_flag);
        frame.SetData(std::span<const std::uint8_t>(chunk.data(), segment->length));
        AckWait wait = SendAndAwaitAck(*channel, ctx.clock, frame, [&](const ether_frame_stu& in) {
            return AcknowledgesFileSegment(in, module, n);
        });
        if (wait != AckWait::Acked) {
            return FromAckWait(wait);
        }
    }
    return TransferOutcome::Sent;
}

TransferOutcome SendCommand(TransferContext& ctx, const ether_frame_stu& header, const std::string& command) {
    // A text the frame cannot carry whole would reach the device as a different command.
    if (command.size() > kMaxCommandLength || command.find('\0') != std::string::npos) {
        return TransferOutcome::Failed;
    }
    bool stopped = false;
    std::unique_ptr<FrameChannel> channel = OpenChannel(ctx, header.DstMac(), stopped);
    if (!channel) {
        return stopped ? TransferOutcome::Stopped : TransferOutcome::Failed;
    }
    ether_frame_stu frame = header;
    frame.SetSeq(1);
    frame.SetSegFlag(SEG_LAST);
    frame.SetData(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(command.data()), command.size()));
    return FromAckWait(SendAndAwaitAck(*channel, ctx.clock, frame, AcknowledgesCommand));
}

}  // namespace provix
