#include "update/workflow/UpdateLine.h"

#include "resources/strings/StringTable.h"
#include "update/VersionList.h"
#include "update/workflow/CUpdateCheck.h"

namespace veltra {
namespace {

constexpr int kStrUpdate = 600;
constexpr int kStrIsCurrent = 601;
constexpr int kStrNoConnection = 602;
constexpr int kStrNoFile = 603;
constexpr int kStrTitle = 57344;

} // namespace

UpdateLine programUpdateLine(const CUpdateCheck& check) {
    const VersionList list(check.listText());
    if (!list.parses()) {
        return {str(kStrNoConnection), UpdateLine::State::NoList};
    }
    const std::string section = check.section().toStdString();
    if (list.value(section, "Version").empty() || list.value(section, "Build").empty()) {
        return {str(kStrNoFile), UpdateLine::State::NoEntries};
    }
    if (check.IsNewerAvailable()) {
        return {str(kStrUpdate) + str(kStrTitle) + QStringLiteral(" => V ") +
                    check.ListedVersion() + QStringLiteral(" (") + check.ListedBuild() +
                    QLatin1Char(')'),
                UpdateLine::State::Newer};
    }
    return {str(kStrTitle) + str(kStrIsCurrent), UpdateLine::State::Current};
}

UpdateLine deviceUpdateLine(CUpdateCheck& check) {
    if (check.modelName().isEmpty()) {
        return {QString(), UpdateLine::State::Empty};
    }
    const QString reader = check.modelName() + QStringLiteral(" V") + check.localVersion();
    if (check.ResolveAlias() && check.IsNewerAvailable()) {
        return {QStringLiteral("Update ") + reader + QStringLiteral(" => V") +
                    check.ListedVersion(),
                UpdateLine::State::Newer};
    }
    return {reader + QLatin1Char(' ') + str(kStrIsCurrent), UpdateLine::State::Current};
}

} // namespace veltra
