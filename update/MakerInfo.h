// The maker's details that the about box shows and the built-in address of the version lists.
// All of them are set once, at build time, by the cache variables in update/CMakeLists.txt.
#pragma once

#include <QString>
#include <QStringList>

namespace veltra {

struct MakerInfo {
    QString name;
    QStringList address; // postal address, one line each
    QString phone;
    QString fax;
    QString web;  // web address, opened by the about box's link
    QString mail; // mail address, opened by the about box's link
    QString year; // year of the copyright notice
    // HTTPS address of the version folder, ending in "/rfid/software/".
    QString updateBaseUrl;
};

const MakerInfo& makerInfo();

// The program's product version as the build sets it ("1.10").
QString builtProductVersion();

} // namespace veltra
