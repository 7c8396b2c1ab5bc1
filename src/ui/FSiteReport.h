// The window that shows a site report: the report's HTML page in a browser view of its
// own, beside the main window, with Save As... for the page and Close.
#pragma once

#include <QString>
#include <QWidget>

#include <string>

class QPushButton;
class QWebEngineView;

namespace vlm::ui {

struct TFileDialogSpec;

class TfmSiteReport : public QWidget {
    Q_OBJECT
public:
    // Shows the page written into the private temporary folder as htmlFile (removed again
    // when the window goes: a page of tens of thousands of rows is too large for setHtml).
    // suggestedName is the file name Save As... offers.
    TfmSiteReport(QWidget* owner, const QString& title, const std::string& htmlFile,
                  const QString& suggestedName = QStringLiteral("Site Report.html"));
    ~TfmSiteReport() override;

    QWebEngineView* View() const { return FView; }
    const std::string& HtmlFile() const { return FHtmlFile; }

    // Asks for a file name and writes the page there, replacing a file only when the page
    // is complete; a failure is shown with the file's name and the reason.
    void btnSaveAsClick();

private:
    QWebEngineView* FView = nullptr;
    QPushButton* btnSaveAs = nullptr;
    QPushButton* btnClose = nullptr;
    std::string FHtmlFile;
    QString FSuggestedName;
};

// The dialog through which Save As... asks for the report's file.
TFileDialogSpec SiteReportSaveDialogSpec();

} // namespace vlm::ui
