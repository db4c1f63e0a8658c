#include "app/CApplicationApp.h"

int main(int argc, char** argv) {
    provix::CApplicationApp app;
    return app.InitInstance(argc, argv);
}
