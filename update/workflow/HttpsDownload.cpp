#include "update/workflow/HttpsDownload.h"

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace veltra {
namespace {

constexpr int kMaxRedirects = 5;
constexpr int kCancelPollMs = 50;

bool isHttps(const QUrl& url) {
    return url.isValid() &&
           url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
           !url.host().isEmpty();
}

} // namespace

HttpsDownload::HttpsDownload(UpdateSource source) : source_(std::move(source)) {}

HttpsDownload::Outcome HttpsDownload::fetch(const QUrl& url, QIODevice& sink, qint64 maxBytes,
                                            const std::function<bool()>& cancelled) const {
    Outcome outcome;
    if (!isHttps(url)) {
        outcome.error = QStringLiteral("not an HTTPS address: ") + url.toString();
        return outcome;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!source_.caFile.isEmpty()) {
        const QList<QSslCertificate> own = QSslCertificate::fromPath(source_.caFile, QSsl::Pem);
        tls.addCaCertificates(own);
    }

    QNetworkRequest request(url);
    request.setSslConfiguration(tls);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setTransferTimeout(source_.stallTimeoutMs);
    // The body arrives as the server stores it, so its length can be checked against the
    // announced one.
    request.setRawHeader("Accept-Encoding", "identity");

    QNetworkAccessManager manager;
    manager.setCache(nullptr);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QEventLoop loop;
    QString refused;
    QNetworkReply* r = reply.get();
    QObject::connect(r, &QNetworkReply::redirected, r, [&refused, r](const QUrl& target) {
        if (isHttps(target)) {
            emit r->redirectAllowed();
        } else {
            refused =
                QStringLiteral("redirect to a non-HTTPS address refused: ") + target.toString();
            r->abort();
        }
    });
    // Only the body of the final answer is kept; redirect and error pages are dropped.
    auto take = [&] {
        if (!r->isOpen()) {
            return;
        }
        const QByteArray chunk = r->readAll();
        if (chunk.isEmpty() || !refused.isEmpty() ||
            r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200) {
            return;
        }
        if (outcome.bytes + chunk.size() > maxBytes) {
            refused = QStringLiteral("answer larger than expected");
            r->abort();
            return;
        }
        if (sink.write(chunk) != chunk.size()) {
            refused = QStringLiteral("cannot write: ") + sink.errorString();
            r->abort();
            return;
        }
        outcome.bytes += chunk.size();
    };
    QObject::connect(r, &QNetworkReply::readyRead, r, take);
    QObject::connect(r, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer poll;
    if (cancelled) {
        QObject::connect(&poll, &QTimer::timeout, r, [&] {
            if (cancelled()) {
                refused = QStringLiteral("cancelled");
                r->abort();
            }
        });
        poll.start(kCancelPollMs);
    }
    if (!r->isFinished()) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    poll.stop();
    take();

    if (!refused.isEmpty()) {
        outcome.error = refused;
        return outcome;
    }
    if (r->error() != QNetworkReply::NoError) {
        outcome.error = r->errorString();
        return outcome;
    }
    const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200) {
        outcome.error = QStringLiteral("server answered %1").arg(status);
        return outcome;
    }
    const QVariant announced = r->header(QNetworkRequest::ContentLengthHeader);
    if (announced.isValid() && announced.toLongLong() != outcome.bytes) {
        outcome.error = QStringLiteral("transfer ended after %1 of %2 bytes")
                            .arg(outcome.bytes)
                            .arg(announced.toLongLong());
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

} // namespace veltra
