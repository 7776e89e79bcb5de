#include "update/MakerInfo.h"

namespace veltra {

const MakerInfo& makerInfo() {
    static const MakerInfo info{
        QStringLiteral(VELTRA_MAKER_NAME),
        QString::fromUtf8(VELTRA_MAKER_ADDRESS).split(QLatin1Char('|')),
        QStringLiteral(VELTRA_MAKER_PHONE),
        QStringLiteral(VELTRA_MAKER_FAX),
        QStringLiteral(VELTRA_MAKER_WEB),
        QStringLiteral(VELTRA_MAKER_MAIL),
        QStringLiteral(VELTRA_MAKER_YEAR),
        QStringLiteral(VELTRA_UPDATE_BASE_URL),
    };
    return info;
}

QString builtProductVersion() {
    return QStringLiteral(VELTRA_PRODUCT_VERSION);
}

} // namespace veltra
