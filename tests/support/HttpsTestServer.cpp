#include "tests/support/HttpsTestServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <stdexcept>

namespace veltra::test {
namespace {

struct Certificates {
    QTemporaryDir dir;
    QString ca;
    QSslCertificate server;
    QSslKey key;
};

void openssl(const QString& folder, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        throw std::runtime_error("openssl " + arguments.join(' ').toStdString() + ": " +
                                 process.readAllStandardError().toStdString());
    }
}

// Made once per test program; the keys never leave the temporary folder.
const Certificates& certificates() {
    static const std::unique_ptr<Certificates> made = [] {
        auto c = std::make_unique<Certificates>();
        const QString d = c->dir.path();
        const QStringList ec = {
            QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
            QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
        openssl(d, QStringList{"req", "-x509", "-days", "2", "-subj", "/CN=Veltra Test CA",
                               "-keyout", "ca.key", "-out", "ca.pem", "-addext",
                               "basicConstraints=critical,CA:TRUE", "-addext",
                               "keyUsage=critical,keyCertSign,cRLSign"} +
                       ec);
        openssl(d, QStringList{"req", "-subj", "/CN=localhost", "-keyout", "server.key", "-out",
                               "server.csr"} +
                       ec);
        QFile ext(d + QStringLiteral("/server.ext"));
        ext.open(QIODevice::WriteOnly);
        ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
                  "extendedKeyUsage=serverAuth\n");
        ext.close();
        openssl(d, {"x509", "-req", "-days", "2", "-in", "server.csr", "-CA", "ca.pem", "-CAkey",
                    "ca.key", "-CAcreateserial", "-extfile", "server.ext", "-out", "server.pem"});
        c->ca = d + QStringLiteral("/ca.pem");
        c->server = QSslCertificate::fromPath(d + QStringLiteral("/server.pem")).value(0);
        QFile key(d + QStringLiteral("/server.key"));
        key.open(QIODevice::ReadOnly);
        c->key = QSslKey(&key, QSsl::Ec);
        return c;
    }();
    return *made;
}

} // namespace

class HttpsTestServer::Core : public QTcpServer {
public:
    explicit Core(HttpsTestServer& owner) : owner_(owner) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        QTcpSocket* socket = nullptr;
        if (owner_.mode_ == Mode::Tls) {
            auto* tls = new QSslSocket(this);
            QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
            conf.setLocalCertificate(certificates().server);
            conf.setPrivateKey(certificates().key);
            conf.setPeerVerifyMode(QSslSocket::VerifyNone);
            tls->setSslConfiguration(conf);
            socket = tls;
        } else {
            socket = new QTcpSocket(this);
        }
        socket->setSocketDescriptor(descriptor);
        if (owner_.mode_ == Mode::Silent) {
            return; // kept open, never answered
        }
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
        if (auto* tls = qobject_cast<QSslSocket*>(socket)) {
            tls->startServerEncryption();
        }
    }

private:
    void read(QTcpSocket* socket) {
        QByteArray& request = pending_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) {
            return;
        }
        const QString path = QString::fromLatin1(request.split(' ').value(1));
        pending_.remove(socket);
        Response response;
        response.status = 404;
        {
            std::lock_guard<std::mutex> lock(owner_.lock_);
            ++owner_.requests_[path];
            response = owner_.responses_.value(path, response);
        }
        QTimer::singleShot(response.delayMs, socket, [socket, response] {
            QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " X\r\n";
            head += "Content-Length: " +
                    QByteArray::number(response.announced >= 0 ? response.announced
                                                               : response.body.size()) +
                    "\r\nConnection: close\r\n";
            if (!response.location.isEmpty()) {
                head += "Location: " + response.location + "\r\n";
            }
            socket->write(head + "\r\n" + response.body);
            socket->disconnectFromHost();
        });
    }

    HttpsTestServer& owner_;
    QMap<QTcpSocket*, QByteArray> pending_;
};

HttpsTestServer::HttpsTestServer(Mode mode) : mode_(mode), thread_(std::make_unique<QThread>()) {
    if (mode_ == Mode::Tls) {
        certificates();
    }
    core_ = new Core(*this);
    core_->moveToThread(thread_.get());
    QObject::connect(thread_.get(), &QThread::finished, core_, &QObject::deleteLater);
    thread_->start();
    QMetaObject::invokeMethod(
        core_,
        [this] {
            core_->listen(QHostAddress::LocalHost);
            port_ = core_->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

HttpsTestServer::~HttpsTestServer() {
    thread_->quit();
    thread_->wait();
}

void HttpsTestServer::serve(const QString& path, const Response& response) {
    std::lock_guard<std::mutex> lock(lock_);
    responses_[path] = response;
}

QString HttpsTestServer::origin() const {
    return QStringLiteral("%1://localhost:%2")
        .arg(mode_ == Mode::Plain ? QStringLiteral("http") : QStringLiteral("https"))
        .arg(port_);
}

int HttpsTestServer::requests(const QString& path) const {
    std::lock_guard<std::mutex> lock(lock_);
    return requests_.value(path, 0);
}

QString HttpsTestServer::caFile() {
    return certificates().ca;
}

} // namespace veltra::test
