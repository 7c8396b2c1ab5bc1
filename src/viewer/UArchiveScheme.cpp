#include "viewer/UArchiveScheme.h"

#include <QBuffer>
#include <QMimeDatabase>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace vlm::viewer {

void RegisterSiteScheme() {
    QWebEngineUrlScheme scheme(SiteScheme);
    // A host part makes relative references resolve as they do on a web server.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setDefaultPort(QWebEngineUrlScheme::PortUnspecified);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalAccessAllowed |
                    QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl SiteUrl(const std::string& relativePath) {
    QUrl url;
    url.setScheme(QString::fromLatin1(SiteScheme));
    url.setHost(QString::fromLatin1(SiteHost));
    url.setPath(QLatin1Char('/') + QString::fromUtf8(relativePath.c_str()), QUrl::DecodedMode);
    return url;
}

std::string PathOfUrl(const QUrl& url) {
    // The encoded form keeps every byte of the name, also those that are not UTF-8.
    std::string path = PercentDecode(url.path(QUrl::FullyEncoded).toStdString());
    if (!path.empty() && path.front() == '/')
        path.erase(0, 1);
    return path;
}

std::optional<size_t> MemberOfUrl(const TArchiveSite& site, const QUrl& url) {
    if (url.scheme() != QLatin1String(SiteScheme))
        return std::nullopt;
    return site.Find(PathOfUrl(url));
}

TMemberDevice::TMemberDevice(std::unique_ptr<TMemberReader> reader, QObject* parent)
    : QIODevice(parent), FReader(std::move(reader)) {
    open(QIODevice::ReadOnly);
}

TMemberDevice::~TMemberDevice() = default;

qint64 TMemberDevice::bytesAvailable() const {
    return static_cast<qint64>(FReader->Size() - FReader->Position()) + QIODevice::bytesAvailable();
}

bool TMemberDevice::atEnd() const {
    return FReader->AtEnd() && QIODevice::bytesAvailable() == 0;
}

qint64 TMemberDevice::readData(char* data, qint64 maxSize) {
    try {
        const size_t got = FReader->Read(data, static_cast<size_t>(maxSize));
        return got == 0 && FReader->AtEnd() ? -1 : static_cast<qint64>(got);
    } catch (const std::exception& e) {
        setErrorString(QString::fromStdString(e.what()));
        return -1;
    }
}

TArchiveSchemeHandler::TArchiveSchemeHandler(TArchiveSite& site, const TViewerTexts& texts,
                                             QObject* parent)
    : QWebEngineUrlSchemeHandler(parent), FSite(site), FTexts(texts) {}

void TArchiveSchemeHandler::ReplyPage(QWebEngineUrlRequestJob* job, const QString& title,
                                      const QString& text) {
    const QString html =
        QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title>"
                       "</head><body style=\"font-family:sans-serif\"><h2>%1</h2><p>%2</p>"
                       "</body></html>")
            .arg(title.toHtmlEscaped(), text.toHtmlEscaped());
    auto* buffer = new QBuffer(job);
    buffer->setData(html.toUtf8());
    buffer->open(QIODevice::ReadOnly);
    job->reply("text/html", buffer);
}

void TArchiveSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const std::string path = PathOfUrl(job->requestUrl());
    const QString shown = QString::fromUtf8(path.c_str());
    const std::optional<size_t> member = FSite.Find(path);
    if (!member) {
        ReplyPage(job, FTexts.Text("MissingTitle"), FTexts.Text("MissingPage").arg(shown));
        return;
    }
    try {
        auto* device = new TMemberDevice(FSite.Open(*member), job);
        static const QMimeDatabase mimeTypes;
        const QString mime = mimeTypes.mimeTypeForFile(shown, QMimeDatabase::MatchExtension).name();
        job->reply(mime.toUtf8(), device);
    } catch (const std::exception& e) {
        ReplyPage(job, FTexts.Text("MissingTitle"),
                  FTexts.Text("BrokenPage").arg(shown, QString::fromStdString(e.what())));
    }
}

} // namespace vlm::viewer
