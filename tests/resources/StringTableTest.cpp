// The string table and the English translation built from it.
#include "resources/strings/StringTable.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTranslator>

#include <gtest/gtest.h>

#include <set>

namespace {

QStringList formatSpecifiers(const QString& text) {
    static const QRegularExpression conversion(
        QStringLiteral("%[-+ #0]*[0-9]*(\\.[0-9]+)?[a-zA-Z%]"));
    QStringList found;
    auto it = conversion.globalMatch(text);
    while (it.hasNext()) {
        found << it.next().captured(0);
    }
    return found;
}

TEST(StringTable, EveryEntryIsUniqueCompleteAndFormatsAlike) {
    std::set<int> seen;
    for (auto* e = veltra::stringTableBegin(); e != veltra::stringTableEnd(); ++e) {
        EXPECT_TRUE(seen.insert(e->id).second) << "string " << e->id << " appears twice";
        EXPECT_STRNE(e->german, "") << "string " << e->id;
        EXPECT_STRNE(e->english, "") << "string " << e->id;
        // A translation with other printf conversions would crash or garble the formatted text.
        EXPECT_EQ(formatSpecifiers(QString::fromUtf8(e->german)),
                  formatSpecifiers(QString::fromUtf8(e->english)))
            << "string " << e->id;
    }
}

TEST(StringTable, GermanWithoutTranslationAndEnglishFromTheTranslationFile) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    EXPECT_EQ(veltra::str(57344), QStringLiteral("Quarnel Veltra"));
    EXPECT_EQ(veltra::strf(167, 1, 7), QStringLiteral("FW V1.07"));
    EXPECT_TRUE(veltra::str(-42).isEmpty());
    EXPECT_EQ(veltra::germanString(-42), nullptr);

    QTranslator english;
    ASSERT_TRUE(english.load(QStringLiteral(VELTRA_TRANSLATION_FILE)));
    QCoreApplication::installTranslator(&english);
    for (auto* e = veltra::stringTableBegin(); e != veltra::stringTableEnd(); ++e) {
        EXPECT_EQ(veltra::str(e->id), QString::fromUtf8(e->english)) << "string " << e->id;
    }
    QCoreApplication::removeTranslator(&english);
    EXPECT_EQ(veltra::str(290), QString::fromUtf8(veltra::germanString(290)));
}

} // namespace
