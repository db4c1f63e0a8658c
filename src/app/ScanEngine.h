#pragma once

#include "protocol/DeviceScan.h"
#include "protocol/local_adapter_stu.h"

#include <string>
#include <vector>

namespace provix {

class AcTransmitManage;
class CSqlManagement;

// What the adapter screen asks of the engine and the results store. The desktop uses
// EngineScan; tests put a scripted engine in its place so that no frame leaves the machine.
class ScanEngine {
public:
    virtual ~ScanEngine() = default;

    // The adapters of this computer, read afresh.
    virtual std::vector<local_adapter_stu> Adapters() = 0;
    // Makes the adapter the engine's one without restarting its threads. list_error is set when
    // the capture library could not list its devices.
    virtual void ChooseAdapter(const local_adapter_stu& adapter, std::string& list_error) = 0;
    // Restarts discovery on the adapter at `selected` of a fresh list, empties the results and
    // broadcasts one request.
    virtual ScanStart BeginScan(int selected) = 0;
    virtual bool SendDiscover() = 0;
    virtual int DeviceCount() = 0;
};

class EngineScan : public ScanEngine {
public:
    EngineScan(AcTransmitManage& manager, CSqlManagement& store) : manager(manager), store(store) {}

    std::vector<local_adapter_stu> Adapters() override;
    void ChooseAdapter(const local_adapter_stu& adapter, std::string& list_error) override;
    ScanStart BeginScan(int selected) override;
    bool SendDiscover() override;
    int DeviceCount() override;

private:
    AcTransmitManage& manager;
    CSqlManagement& store;
};

}  // namespace provix
