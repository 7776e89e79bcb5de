// Any texts in every field of an audit-log record: the line must be one JSON object, alone on
// its line, that gives back every text that was valid UTF-8 unchanged.
#include "station/workflow/AuditLog.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Input: a flag byte, a seconds byte, then fields as a length byte followed by that many bytes.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string text() {
        const std::size_t length = byte();
        const std::size_t n = length < size_ - at_ ? length : size_ - at_;
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A text that is valid UTF-8 must come back as it was.
void requireSame(const QJsonValue& value, const std::string& original) {
    require(value.isString());
    const QByteArray bytes = QByteArray::fromStdString(original);
    const QString decoded = QString::fromUtf8(bytes);
    if (decoded.toUtf8() == bytes) {
        require(value.toString() == decoded);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace veltra;
    Reader in(data, size);
    AuditRecord r;
    r.ok = (in.byte() & 1) != 0;
    r.seconds = in.byte() / 8.0;
    std::string* fields[] = {&r.time, &r.port,       &r.model, &r.typeCode, &r.firmware,
                             &r.file, &r.fileSha256, &r.step,  &r.message};
    for (std::string* field : fields) {
        *field = in.text();
    }
    while (in.more()) {
        r.differences.push_back(in.text());
    }

    const std::string line = auditLine(r);
    require(!line.empty() && line.back() == '\n');
    require(line.find('\n') == line.size() - 1);
    require(line.find('\r') == std::string::npos);
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(line.substr(0, line.size() - 1)), &error);
    require(error.error == QJsonParseError::NoError && doc.isObject());
    const QJsonObject o = doc.object();
    const char* names[] = {"time", "port",   "model", "type",   "firmware",
                           "file", "sha256", "step",  "message"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        requireSame(o.value(QLatin1String(names[i])), *fields[i]);
    }
    require(o.value(QLatin1String("result")).toString() == QLatin1String(r.ok ? "ok" : "failed"));
    require(o.value(QLatin1String("seconds")).isDouble());
    const QJsonArray differences = o.value(QLatin1String("differences")).toArray();
    require(static_cast<std::size_t>(differences.size()) == r.differences.size());
    for (std::size_t i = 0; i < r.differences.size(); ++i) {
        requireSame(differences.at(static_cast<qsizetype>(i)), r.differences[i]);
    }
    return 0;
}
