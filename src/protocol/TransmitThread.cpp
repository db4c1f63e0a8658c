#include "protocol/TransmitThread.h"

namespace provix {
namespace {

ether_frame_stu FrameTemplate(const transmit_param_stu& param, std::uint16_t module, std::uint16_t msg,
                              std::uint16_t total) {
    ether_frame_stu frame = BuildHeader(param.dst_mac, param.src_mac, module, msg, total);
    frame.SetEtherType(param.ether_type);
    return frame;
}

// False when the worker was stopped and must record nothing more.
bool Record(TransferStatusSink& sink, const std::string& mac, std::uint16_t module, TransferOutcome outcome) {
    if (outcome == TransferOutcome::Stopped) {
        return false;
    }
    sink.RecordTransmitStatus(mac, module, outcome == TransferOutcome::Sent ? TransmitFinish : TransmitFail);
    return true;
}

bool SendOneFile(const transmit_param_stu& param, TransferContext& ctx, TransferStatusSink& sink,
                 const std::string& mac, std::uint16_t module, std::uint16_t total) {
    const std::string& path = module == MODULE_LOGO ? param.logo_path : param.para_path;
    ether_frame_stu header = FrameTemplate(param, module, DataMsgOf(module), total);
    return Record(sink, mac, module, SendFile(ctx, header, module, path));
}

}  // namespace

void TransmitThread(const transmit_param_stu& param, TransferContext& ctx, TransferStatusSink& sink) {
    const std::string mac = FormatMacUpper(param.dst_mac);
    switch (param.kind) {
        case KIND_LOGO:
            SendOneFile(param, ctx, sink, mac, MODULE_LOGO, 1);
            break;
        case KIND_PARA:
            SendOneFile(param, ctx, sink, mac, MODULE_PARA, 1);
            break;
        case KIND_LOGO_PARA:
            if (SendOneFile(param, ctx, sink, mac, MODULE_LOGO, 2)) {
                SendOneFile(param, ctx, sink, mac, MODULE_PARA, 2);
            }
            break;
        case KIND_JSON: {
            ether_frame_stu header = FrameTemplate(param, MODULE_JSON, MSG_JSON_CMD, 1);
            Record(sink, mac, MODULE_JSON, SendCommand(ctx, header, param.command));
            break;
        }
        default:
            break;
    }
}

}  // namespace provix
