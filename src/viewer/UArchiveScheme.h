// Serving the archive's members to the browser engine: the URL scheme "vlmsite", whose
// paths are the members' addresses ("vlmsite://site/srv/site/docs/page.htm" is the member
// /srv/site/docs/page.htm), answered from the archive as a stream, never from a file on
// disk. The scheme is the only thing a page of the archive reaches: the guard blocks every
// other request, and the scheme has no access to local files.
#pragma once

#include "site/UArchiveSite.h"
#include "viewer/UViewerTexts.h"

#include <QHash>
#include <QIODevice>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>

#include <memory>
#include <optional>

namespace vlm::viewer {

inline constexpr const char* SiteScheme = "vlmsite";
inline constexpr const char* SiteHost = "site";

// Registers the scheme with the engine; must run before the QApplication is made.
void RegisterSiteScheme();

// The address of a member (TArchiveSite::Address) as a URL of our scheme.
QUrl SiteUrl(const std::string& address);
// The member an address of our scheme names; empty for other addresses and missing members.
std::optional<size_t> MemberOfUrl(const TArchiveSite& site, const QUrl& url);
// The decoded path of an address of our scheme ("/srv/site/a b.htm").
std::string PathOfUrl(const QUrl& url);

// A member as a sequential device: the bytes already read (to decide its type) first, then
// the rest, decrypted and inflated as it is read.
class TMemberDevice : public QIODevice {
public:
    TMemberDevice(std::unique_ptr<TMemberReader> reader, QByteArray start, QObject* parent);
    ~TMemberDevice() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::unique_ptr<TMemberReader> FReader;
    QByteArray FStart;
    qsizetype FStartUsed = 0;
};

class TArchiveSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    TArchiveSchemeHandler(TArchiveSite& site, const TViewerTexts& texts, QObject* parent);
    void requestStarted(QWebEngineUrlRequestJob* job) override;
    // The guard saw a page or frame being loaded from url: a failure shows our error page
    // there. Every other request that fails gets a plain failure ("not found").
    void NoteNavigation(const QUrl& url);

private:
    bool TakeNavigation(const QUrl& url);
    void Fail(QWebEngineUrlRequestJob* job, bool navigation, const QString& text);

    TArchiveSite& FSite;
    const TViewerTexts& FTexts;
    QHash<QUrl, int> FNavigations;
};

// Lets a page load nothing but members of its archive: requests of our scheme pass (and
// navigations are noted for the handler), as do data, blob and about addresses, which
// hold nothing from outside; every other request, of any scheme and any kind (images,
// frames, scripts, fetch, beacons, web sockets, form posts), is blocked.
class TSiteGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    TSiteGuard(TArchiveSchemeHandler& handler, QObject* parent);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    TArchiveSchemeHandler& FHandler;
};

// Whether a page may load url by itself: our scheme, and the in-page schemes data, blob and
// about.
bool IsInsideUrl(const QUrl& url);

} // namespace vlm::viewer
