#include "VeltraApp.h"

int main(int argc, char** argv) {
    veltra::CVeltraApp app(argc, argv);
    if (!app.initInstance()) {
        return 1;
    }
    return veltra::CVeltraApp::exec();
}
