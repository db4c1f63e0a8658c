#pragma once

#include "app/SingleInstanceLock.h"

#include <memory>
#include <string>

class QApplication;

namespace provix {

// Brings the desktop program up in its fixed order, runs the main window for the life of the
// program and takes everything down again. Each step is a virtual hook so that the order and the
// single-instance rule can be checked without a display or an engine.
class CApplicationApp {
public:
    CApplicationApp();
    virtual ~CApplicationApp();
    CApplicationApp(const CApplicationApp&) = delete;
    CApplicationApp& operator=(const CApplicationApp&) = delete;

    // The whole start-up and the main window; the process's exit code. A second instance of the
    // same user ends here with 0 before it shows or creates anything.
    int InitInstance(int& argc, char** argv);

protected:
    // The steps, in the order InitInstance runs them.
    virtual void InitWindowFramework(int& argc, char** argv);
    virtual void InitGraphics();
    virtual SingleInstanceLock::Result CreateInstanceLock();
    virtual void InitTranslation(const std::string& folder);
    virtual void ReadSettings();
    virtual void ComposeSkinPaths();
    virtual void ObtainTransmitManager();
    virtual void ObtainResultsStore();
    virtual int RunMainWindow();

    virtual std::string ProgramFolder();

private:
    std::unique_ptr<QApplication> application;
    std::unique_ptr<SingleInstanceLock> instance_lock;
};

}  // namespace provix
