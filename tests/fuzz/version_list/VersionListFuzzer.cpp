// Any version list, as a web server can send it, through both update checks: the reader check
// (alias, variant and product rules) and the program check. Input: the reader's type code, its
// connection kind and its firmware version (also the program's version), each ended by a NUL,
// then the list. Every answer must come from the list, and no text may break the version
// arithmetic.
#include "update/VersionList.h"
#include "update/workflow/CUpdateCheck.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace veltra;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The next field up to a NUL; all the rest when there is none.
std::string_view field(std::string_view& rest) {
    const std::size_t end = rest.find('\0');
    const std::string_view text = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return text;
}

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A listed text is part of the list.
void requireListed(const QString& value, const QByteArray& list) {
    require(value.isEmpty() || list.contains(value.toUtf8()) ||
            value.contains(QChar::ReplacementCharacter));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    (void)VersionToNumber(rest);
    const std::string_view typeCode = field(rest);
    const std::string_view kind = field(rest);
    const std::string_view version = field(rest);
    (void)VersionToNumber(version);
    const QByteArray list(rest.data(), static_cast<qsizetype>(rest.size()));

    CUpdateCheck device(QString::fromLatin1(CUpdateCheck::kDeviceList), QString(), UpdateSource{});
    device.setDeviceIdentity(QStringLiteral("QN"), qs(kind), qs(typeCode), qs(version));
    device.useList(list);
    require(device.listArrived() && device.waitForList(0));
    if (device.ResolveAlias()) {
        require(!device.section().isEmpty());
        requireListed(device.section(), list);
    }
    (void)device.IsNewerAvailable();
    requireListed(device.ListedVersion(), list);
    requireListed(device.ListedInstaller(), list);
    requireListed(device.ListedBuild(), list);

    CUpdateCheck program(QString::fromLatin1(CUpdateCheck::kProgramList),
                         QString::fromLatin1(CUpdateCheck::kProgramSection), UpdateSource{});
    program.setProgramVersion(qs(version), QStringLiteral("2025-06-01"));
    program.useList(list);
    const bool newer = program.IsNewerAvailable();
    requireListed(program.ListedVersion(), list);
    requireListed(program.ListedInstaller(), list);
    // Without a version or build listed, nothing is newer.
    require(!newer || !program.ListedVersion().isEmpty() || !program.ListedBuild().isEmpty());
    return 0;
}
