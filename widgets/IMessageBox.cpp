#include "widgets/IMessageBox.h"

#include "widgets/QtMessageBox.h"

namespace veltra {
namespace {

IMessageBox* g_installed = nullptr;

} // namespace

IMessageBox& messageBox() {
    static QtMessageBox standard;
    return g_installed != nullptr ? *g_installed : standard;
}

void setMessageBox(IMessageBox* box) {
    g_installed = box;
}

} // namespace veltra
