// A small web server for the update tests, on 127.0.0.1 in a thread of its own. In TLS mode it
// presents a server certificate for "localhost" and 127.0.0.1 signed by a certificate authority
// made for this test run (openssl, in a temporary folder removed at exit; caFile() is that
// authority). Plain mode speaks HTTP without TLS; silent mode accepts connections and never
// answers.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <memory>
#include <mutex>

class QThread;

namespace veltra::test {

class HttpsTestServer {
public:
    enum class Mode { Tls, Plain, Silent };
    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray location;   // Location header of a redirect
        qint64 announced = -1; // Content-Length; -1: the body's length
        int delayMs = 0;       // answer only after this time
    };

    explicit HttpsTestServer(Mode mode = Mode::Tls);
    ~HttpsTestServer();
    HttpsTestServer(const HttpsTestServer&) = delete;
    HttpsTestServer& operator=(const HttpsTestServer&) = delete;

    // Answers requests for `path` ("/rfid/software/RFIDVersionsLF.txt"); others get 404.
    void serve(const QString& path, const Response& response);
    // "https://localhost:PORT" ("http://" in plain mode), no trailing "/".
    QString origin() const;
    // How many requests for `path` arrived.
    int requests(const QString& path) const;

    // The test certificate authority (PEM file) that signed the server's certificate.
    static QString caFile();

private:
    class Core;
    friend class Core;
    Mode mode_;
    int port_ = 0;
    mutable std::mutex lock_;
    QMap<QString, Response> responses_;
    QMap<QString, int> requests_;
    std::unique_ptr<QThread> thread_;
    Core* core_ = nullptr;
};

} // namespace veltra::test
