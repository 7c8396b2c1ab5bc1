#include "viewer/UArchiveScheme.h"

#include "platform/UPaths.h"
#include "platform/UText.h"

#include <QBuffer>
#include <QMimeDatabase>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace vlm::viewer {

namespace {

// Text members are read this far before they are answered, to find their character set;
// nearly every page is read whole.
constexpr qint64 TextSniffBytes = 1 << 20;

QString FormatSizeLimit() {
    return QString::number(MaxServedMember >> 20) + QStringLiteral(" MB");
}

} // namespace

void RegisterSiteScheme() {
    QWebEngineUrlScheme scheme(SiteScheme);
    // A host part makes relative references resolve as they do on a web server.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setDefaultPort(QWebEngineUrlScheme::PortUnspecified);
    // Secure and CORS-enabled only, without any access to local files: a page of an
    // archive must never read the reader's files.
    QWebEngineUrlScheme::Flags flags =
        QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled;
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    flags |= QWebEngineUrlScheme::FetchApiAllowed;
#endif
    scheme.setFlags(flags);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl SiteUrl(const std::string& address) {
    QUrl url;
    url.setScheme(QString::fromLatin1(SiteScheme));
    url.setHost(QString::fromLatin1(SiteHost));
    const QString path = QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size()));
    url.setPath(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path,
                QUrl::DecodedMode);
    return url;
}

std::string PathOfUrl(const QUrl& url) {
    // The encoded form keeps every byte of the name, also those that are not UTF-8.
    return PercentDecode(url.path(QUrl::FullyEncoded).toStdString());
}

std::optional<size_t> MemberOfUrl(const TArchiveSite& site, const QUrl& url) {
    if (url.scheme() != QLatin1String(SiteScheme))
        return std::nullopt;
    return site.Find(PathOfUrl(url));
}

bool IsInsideUrl(const QUrl& url) {
    const QString scheme = url.scheme();
    return scheme == QLatin1String(SiteScheme) || scheme == QLatin1String("data") ||
           scheme == QLatin1String("blob") || scheme == QLatin1String("about");
}

TMemberDevice::TMemberDevice(std::unique_ptr<TMemberReader> reader, QByteArray start,
                             QObject* parent)
    : QIODevice(parent), FReader(std::move(reader)), FStart(std::move(start)) {
    open(QIODevice::ReadOnly);
}

TMemberDevice::~TMemberDevice() = default;

qint64 TMemberDevice::bytesAvailable() const {
    return static_cast<qint64>(FReader->Size() - FReader->Position()) +
           (FStart.size() - FStartUsed) + QIODevice::bytesAvailable();
}

bool TMemberDevice::atEnd() const {
    return FStartUsed == FStart.size() && FReader->AtEnd() && QIODevice::bytesAvailable() == 0;
}

qint64 TMemberDevice::readData(char* data, qint64 maxSize) {
    if (FStartUsed < FStart.size()) {
        const qint64 count = std::min(maxSize, FStart.size() - FStartUsed);
        std::copy_n(FStart.constData() + FStartUsed, count, data);
        FStartUsed += count;
        return count;
    }
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

void TArchiveSchemeHandler::NoteNavigation(const QUrl& url) {
    // A page the engine never asks for again (a cancelled load) leaves its note; there are
    // never many.
    if (FNavigations.size() > 1000)
        FNavigations.clear();
    ++FNavigations[url.adjusted(QUrl::RemoveFragment)];
}

bool TArchiveSchemeHandler::TakeNavigation(const QUrl& url) {
    const auto it = FNavigations.find(url.adjusted(QUrl::RemoveFragment));
    if (it == FNavigations.end())
        return false;
    if (--it.value() == 0)
        FNavigations.erase(it);
    return true;
}

// A page or frame shows our error page; a script, style sheet, image, font or data request
// fails as the web fails a missing file, so that the page's own code sees a failure and
// never a page of ours in place of its data.
void TArchiveSchemeHandler::Fail(QWebEngineUrlRequestJob* job, bool navigation,
                                 const QString& text) {
    if (!navigation) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    const QString title = FTexts.Text("MissingTitle");
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
    const bool navigation = TakeNavigation(job->requestUrl());
    const std::string path = PathOfUrl(job->requestUrl());
    const QString shown = QString::fromUtf8(path.c_str());
    const std::optional<size_t> member = FSite.Find(path);
    if (!member) {
        Fail(job, navigation, FTexts.Text("MissingPage").arg(shown));
        return;
    }
    if (FSite.Reader().Members()[*member].UncompressedSize > MaxServedMember) {
        Fail(job, navigation,
             FTexts.Text("BrokenPage")
                 .arg(shown, QStringLiteral("it is larger than ") + FormatSizeLimit() + "."));
        return;
    }
    static const QMimeDatabase mimeTypes;
    const std::string name = FSite.Reader().Members()[*member].Name;
    QByteArray type =
        mimeTypes.mimeTypeForFile(QString::fromUtf8(name.c_str()), QMimeDatabase::MatchExtension)
            .name()
            .toUtf8();
    try {
        std::unique_ptr<TMemberReader> reader = FSite.Open(*member);
        QByteArray start;
        const bool unknown = type == "application/octet-stream";
        if (type.startsWith("text/") || unknown) {
            start.resize(static_cast<qsizetype>(
                std::min<uint64_t>(reader->Size(), static_cast<uint64_t>(TextSniffBytes))));
            qsizetype got = 0;
            while (got < start.size())
                got += static_cast<qsizetype>(
                    reader->Read(start.data() + got, static_cast<size_t>(start.size() - got)));
            const std::string_view bytes(start.constData(), static_cast<size_t>(start.size()));
            const bool complete = reader->Position() == reader->Size();
            // A file without a known type that is text is shown as text, not downloaded.
            if (unknown && bytes.find('\0') == std::string_view::npos && IsUtf8(bytes, !complete))
                type = "text/plain";
            if (IsUndeclaredUtf8(bytes, complete, type == "text/html", type == "text/css"))
                type += "; charset=utf-8";
        }
        job->reply(type, new TMemberDevice(std::move(reader), std::move(start), job));
    } catch (const std::exception& e) {
        Fail(job, navigation,
             FTexts.Text("BrokenPage").arg(shown, QString::fromStdString(e.what())));
    }
}

TSiteGuard::TSiteGuard(TArchiveSchemeHandler& handler, QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), FHandler(handler) {}

void TSiteGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QUrl url = info.requestUrl();
    if (!IsInsideUrl(url)) {
        info.block(true);
        return;
    }
    const auto type = info.resourceType();
    if (url.scheme() == QLatin1String(SiteScheme) &&
        (type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame ||
         type == QWebEngineUrlRequestInfo::ResourceTypeSubFrame))
        FHandler.NoteNavigation(url);
}

} // namespace vlm::viewer
