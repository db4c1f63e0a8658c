#pragma once

#include <cstdint>
#include <string>

#include "devices/OperateStatus.h"
#include "protocol/EtherFrame.h"
#include "protocol/PayloadTransfer.h"

namespace provix {

// What one transfer carries, in order: the logo, the configuration file, both, or the command.
enum TransmitKind : std::int32_t {
    KIND_LOGO = 1,
    KIND_PARA = 2,
    KIND_LOGO_PARA = 3,
    KIND_JSON = 4,
};

// One transfer request: the Ethernet header of every frame it sends, the kind, and its payloads.
struct transmit_param_stu {
    MacAddress dst_mac{};  // the device
    MacAddress src_mac{};  // the adapter at the time of the request
    std::uint16_t ether_type = kEtherType;
    std::int32_t kind = 0;
    std::string para_path;  // configuration file
    std::string logo_path;  // logo image file
    std::string command;    // anti-theft JSON text
};

// Where a worker records the outcome of each payload: the device MAC text, the frame module
// (MODULE_PARA, MODULE_LOGO, MODULE_JSON) and TransmitFinish or TransmitFail.
class TransferStatusSink {
public:
    virtual ~TransferStatusSink() = default;
    virtual void RecordTransmitStatus(const std::string& mac, std::uint16_t module, OperateStatus status) = 0;
};

// Runs one request: sends its payloads in order and records a status for each. A logo that fails does
// not keep the configuration file of KIND_LOGO_PARA from being sent. When the worker is told to stop,
// it records nothing more and returns at once. An unknown kind sends nothing.
void TransmitThread(const transmit_param_stu& param, TransferContext& ctx, TransferStatusSink& sink);

}  // namespace provix
