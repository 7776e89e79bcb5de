#include "app/SheetServicesInstall.h"

#include "app/AppSettings.h"
#include "app/ReaderConnection.h"
#include "config/ui/CTestDlg.h"
#include "config/ui/SheetServices.h"

#include <QPointer>

namespace veltra {

void installSheetServices(AppSettings& settings, PortEnumerator& ports, QWidget* window) {
    SheetServices& services = sheetServices();
    QPointer<QWidget> mainWindow(window);
    services.connectReader = [&settings, &ports, mainWindow](QWidget* /*parent*/) {
        const ConnectionContext context{settings, ports, mainWindow.data()};
        return ConnectReader(context, true);
    };
    services.closeReader = [](int& handle) { CloseReader(handle); };
    services.storedBaudCode = [&settings] { return settings.baudCode(); };
    services.storeBaudCode = [&settings](int baudCode) {
        settings.setBaudCode(baudCode);
        settings.sync();
    };
    services.interfaceName = [&settings] { return settings.portName().toStdString(); };
    services.storeInterfaceName = [&settings](const std::string& name) {
        settings.setPortName(QString::fromStdString(name));
        settings.sync();
    };
    // The pages' "Inhalt lesen": the report with a connection of its own at the default rate.
    services.openReport = [](QWidget* parent) {
        OpenResult noReader;
        noReader.baudCode = AppSettings::kDefaultBaudCode;
        CTestDlg dialog(parent, noReader);
        dialog.exec();
    };
}

} // namespace veltra
