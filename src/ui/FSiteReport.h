// The window that shows a site report: the report's HTML page in a browser view of its
// own, beside the main window.
#pragma once

#include <QString>
#include <QWidget>

#include <string>

class QWebEngineView;

namespace vlm::ui {

class TfmSiteReport : public QWidget {
    Q_OBJECT
public:
    // Shows html, written into the private temporary folder as htmlFile (removed again when
    // the window goes: a page of tens of thousands of rows is too large for setHtml).
    TfmSiteReport(QWidget* owner, const QString& title, const std::string& htmlFile);
    ~TfmSiteReport() override;

    QWebEngineView* View() const { return FView; }
    const std::string& HtmlFile() const { return FHtmlFile; }

private:
    QWebEngineView* FView = nullptr;
    std::string FHtmlFile;
};

} // namespace vlm::ui
