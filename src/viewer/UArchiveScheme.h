// Serving the archive's members to the browser engine: the URL scheme "vlmsite"
// ("vlmsite://site/docs/page.htm" is the member docs/page.htm under the home root),
// answered from the archive as a stream, never from a file on disk.
#pragma once

#include "pipeline/UArchiveSite.h"
#include "viewer/UViewerTexts.h"

#include <QIODevice>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <memory>
#include <optional>

namespace vlm::viewer {

inline constexpr const char* SiteScheme = "vlmsite";
inline constexpr const char* SiteHost = "site";

// Registers the scheme with the engine; must run before the QApplication is made.
void RegisterSiteScheme();

// The address of a path relative to the home root.
QUrl SiteUrl(const std::string& relativePath);
// The member an address of our scheme names; empty for other addresses, for a path that
// leaves the home root and for a missing member.
std::optional<size_t> MemberOfUrl(const TArchiveSite& site, const QUrl& url);
// The decoded path of an address of our scheme, relative to the home root.
std::string PathOfUrl(const QUrl& url);

// A member as a sequential device: data are decrypted and inflated as they are read.
class TMemberDevice : public QIODevice {
public:
    TMemberDevice(std::unique_ptr<TMemberReader> reader, QObject* parent);
    ~TMemberDevice() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool atEnd() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::unique_ptr<TMemberReader> FReader;
};

class TArchiveSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    TArchiveSchemeHandler(TArchiveSite& site, const TViewerTexts& texts, QObject* parent);
    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    void ReplyPage(QWebEngineUrlRequestJob* job, const QString& title, const QString& text);

    TArchiveSite& FSite;
    const TViewerTexts& FTexts;
};

} // namespace vlm::viewer
