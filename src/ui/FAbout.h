// The about box: the product, its version, the platform it runs on and a link to the
// product's home page.
#pragma once

#include <QDialog>

namespace vlm::ui {

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* owner);

protected:
    // No button answers Escape; Enter presses OK.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void lnkWebSiteClick();
};

} // namespace vlm::ui
