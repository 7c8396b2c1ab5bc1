// The HTML viewer control of the preview, over a real browser engine: it shows one local
// file with its style sheets, images and frames, and reports clicks on links instead of
// following them when the click is marked handled.
#pragma once

#include <QColor>
#include <QUrl>
#include <QWebEngineView>

#include <functional>

namespace vlm::ui {

class TFrameViewer : public QWebEngineView {
    Q_OBJECT
public:
    explicit TFrameViewer(QWidget* parent = nullptr);

    // The file shown; empty when the control shows nothing.
    const QString& CurrentFile() const { return FCurrentFile; }
    // Shows the HTML file fileName. Raises EVlmError "Can't locate file: " + fileName when
    // no file exists there.
    void LoadFromFile(const QString& fileName);
    // Shows nothing; CurrentFile becomes empty.
    void Clear();

    // The colour where a page sets no background, and of the empty control.
    QColor DefBackground() const;
    void SetDefBackground(const QColor& color);

    // The hot-spot click: the user clicked a link (also one that opens a new window or
    // submits a form). Setting handled keeps the control where it is.
    std::function<void(const QUrl& url, bool& handled)> OnHotSpotTargetClick;

    // Called by the control's pages; true when the click was handled.
    bool HotSpotClick(const QUrl& url);

signals:
    // LoadFromFile has started to show fileName (the engine loads it afterwards).
    void LoadingFile(const QString& fileName);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    void ShowBlank(bool blank);

    QString FCurrentFile;
    // What the empty control shows: a plain panel in DefBackground over the engine, whose
    // own empty page would be drawn in its default white.
    QWidget* FBlank = nullptr;
};

} // namespace vlm::ui
