#include "app/ReaderConnection.h"

#include "app/AppSettings.h"
#include "app/PortSelection.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"

#include <QWidget>

namespace veltra {
namespace {

// A HID reader whose device node the user may not use: names the node and the udev rule.
constexpr int kStrNoPermission = 10140;
constexpr int kStrNoSerialPermission = 10141;

void setTitle(QWidget* window, const QString& title) {
    if (window != nullptr) {
        window->setWindowTitle(title);
    }
}

} // namespace

QString productVersion() {
    return QStringLiteral(VELTRA_PRODUCT_VERSION);
}

QString readerTitle(const ReaderIdentity& identity, const QString& connectionString, bool hid) {
    QString title = str(57344) + QStringLiteral(" V") + productVersion() + QStringLiteral(" <");
    title += QString::fromStdString(identity.modelName) + QLatin1Char(' ');
    if (hid) {
        title += QStringLiteral("USB:");
    }
    title += connectionString + QStringLiteral("  ");
    title += strf(167, 1, static_cast<int>(identity.version)) + QLatin1Char('>');
    return title;
}

OpenResult OpenConfiguredReader(const ConnectionContext& context) {
    // The same corrections to the stored name as when the interface dialog is opened.
    PortSelection selection(context.settings, context.ports);
    const ConnectionTarget target = selection.target();
    const QString connection = selection.connectionString();

    OpenResult result = openReaderConnection(context.link, target);

    if (result.baudCorrected) {
        // The reader answered only at another rate: that rate is what is stored from now on.
        context.settings.setBaudCode(result.baudCode);
        messageBox().show(context.window, strf(290, result.baudCode), IMessageBox::Kind::Warning);
    }
    switch (result.handle) {
    case kOpenFailed:
    case kOpenNoPermission:
        return result;
    case kOpenNoIdentity:
        setTitle(context.window, str(57344) + QLatin1Char(' ') + str(151));
        return result;
    case kOpenUnsupported:
        setTitle(context.window, str(57344) + QLatin1Char(' ') + str(152));
        return result;
    case kOpenNoReaderMode:
        // The reader identified itself before it was refused, so the title names it.
        setTitle(context.window, readerTitle(result.identity, connection,
                                             connection.contains(QLatin1String(" HID"))));
        return result;
    default:
        break;
    }
    if (result.handle < 0) {
        result.handle = kOpenFailed;
        return result;
    }
    setTitle(context.window, readerTitle(result.identity, connection,
                                         context.link.isHidConnection(result.handle) == 1));
    return result;
}

OpenResult ConnectReader(const ConnectionContext& context, bool messages) {
    OpenResult reader = OpenConfiguredReader(context);
    if (reader.handle > 0) {
        reader.baudCode = context.settings.baudCode();
        return reader;
    }
    if (messages) {
        int text = 0;
        switch (reader.handle) {
        case kOpenNoReaderMode:
            text = 205;
            break;
        case kOpenNoIdentity:
            text = 151;
            break;
        case kOpenUnsupported:
            text = 152;
            break;
        case kOpenNoPermission:
            messageBox().show(context.window,
                              strf(reader.serialPort ? kStrNoSerialPermission : kStrNoPermission,
                                   reader.deviceNode.c_str()),
                              IMessageBox::Kind::Warning);
            break;
        default:
            break;
        }
        if (text != 0) {
            messageBox().show(context.window, str(text), IMessageBox::Kind::Warning);
        }
    }
    return OpenResult{};
}

void CloseReader(int& handle, ReaderLink& link) {
    if (handle != 0) {
        closeReaderConnection(link, handle);
        handle = 0;
    }
}

} // namespace veltra
