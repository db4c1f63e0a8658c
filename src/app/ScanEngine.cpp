#include "app/ScanEngine.h"

#include "devices/CSqlManagement.h"
#include "protocol/AcTransmitManage.h"
#include "protocol/AdapterList.h"

namespace provix {

std::vector<local_adapter_stu> EngineScan::Adapters() {
    std::vector<local_adapter_stu> list;
    GetAdapterList(list);
    return list;
}

void EngineScan::ChooseAdapter(const local_adapter_stu& adapter, std::string& list_error) {
    manager.ChooseAdapter(adapter, &list_error);
}

ScanStart EngineScan::BeginScan(int selected) {
    return provix::BeginScan(manager, store, selected);
}

bool EngineScan::SendDiscover() {
    return manager.SendDiscover();
}

int EngineScan::DeviceCount() {
    return store.DeviceCount();
}

}  // namespace provix
