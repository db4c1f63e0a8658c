#pragma once

#include "app/ScanEngine.h"
#include "protocol/AdapterList.h"

#include <functional>
#include <string>
#include <vector>

namespace provix {

// An engine that sends nothing: its adapters are set by the test, and the device count at each
// tick comes from a function of the tick number, standing in for a store that fills up.
class ScriptedScanEngine : public ScanEngine {
public:
    std::vector<local_adapter_stu> adapters;
    std::function<int(int tick)> count_at = [](int) { return 0; };
    ScanStart start_result;  // returned by BeginScan (adapter fields filled from the list)

    int adapter_reads = 0;
    int begin_calls = 0;
    int begin_selected = -1;
    int requests = 0;  // discovery requests, the first included
    int count_reads = 0;
    std::vector<std::string> chosen;  // adapter names given to ChooseAdapter
    std::string list_error_on_choose;

    std::vector<local_adapter_stu> Adapters() override {
        ++adapter_reads;
        return adapters;
    }
    void ChooseAdapter(const local_adapter_stu& adapter, std::string& list_error) override {
        chosen.push_back(adapter.name);
        list_error = list_error_on_choose;
    }
    ScanStart BeginScan(int selected) override {
        ++begin_calls;
        begin_selected = selected;
        count_reads = 0;
        ScanStart start = start_result;
        if (selected >= 0 && static_cast<std::size_t>(selected) < adapters.size()) {
            start.adapter_used = true;
            start.adapter_text = AdapterDisplayText(adapters[static_cast<std::size_t>(selected)]);
            chosen.push_back(adapters[static_cast<std::size_t>(selected)].name);
        }
        if (start.capture_error.text.empty())
            ++requests;
        return start;
    }
    bool SendDiscover() override {
        ++requests;
        return true;
    }
    int DeviceCount() override { return count_at(++count_reads); }
};

inline local_adapter_stu Adapter(const std::string& name, std::uint8_t last,
                                 const std::string& description = {}) {
    local_adapter_stu adapter;
    adapter.mac = {0x02, 0x00, 0x00, 0x00, 0x00, last};
    adapter.name = name;
    adapter.description = description.empty() ? name : description;
    return adapter;
}

}  // namespace provix
