#include "protocol/ScanRule.h"

namespace provix {

bool ScanRule::Start() {
    if (!scan_ready) {
        return false;
    }
    scan_ready = false;
    scan_ticks = 0;
    scan_last_count = 0;
    return true;
}

ScanRule::Action ScanRule::Tick(int current_count) {
    if (scan_ready) {
        return Action::Continue;
    }
    ++scan_ticks;
    if (scan_ticks == 1) {
        scan_last_count = current_count;
    }
    if (scan_ticks % 4 != 0) {
        return Action::Continue;
    }
    if (current_count == scan_last_count) {
        scan_ready = true;
        scan_ticks = 0;
        scan_last_count = 0;
        return Action::End;
    }
    scan_last_count = current_count;
    return scan_ticks % 6 == 0 ? Action::SendDiscover : Action::Continue;
}

}  // namespace provix
