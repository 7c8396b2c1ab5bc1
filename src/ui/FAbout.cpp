#include "ui/FAbout.h"

#include "ui/UDialogService.h"
#include "ui/UFontFit.h"
#include "ui/UProductInfo.h"

#include <QApplication>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QSysInfo>
#include <QUrl>

#include <algorithm>

namespace vlm::ui {

namespace {

QLabel* AddLabel(QWidget* parent, const char* name, int x, int y, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->adjustSize();
    MarkSizedToText(label);
    return label;
}

// Places the platform line in its group box once the box has its final size: where the design
// puts it when the name fits there, else further left but clear of the icon, and shortened
// (whole in its hint) when even that is too narrow. A long system name must not grow the box.
void PlacePlatformLabel(QLabel* label, const QWidget* icon, const QString& text) {
    const int margin = 8;
    const int right = label->parentWidget()->width() - margin;
    const int left = icon->geometry().right() + 1 + margin;
    const QFontMetrics metrics(label->font());
    const int x = std::max(left, std::min(label->x(), right - metrics.horizontalAdvance(text)));
    label->setText(metrics.elidedText(text, Qt::ElideRight, right - x));
    label->setToolTip(label->text() == text ? QString() : text);
    label->adjustSize();
    label->move(x, label->y());
}

// "for " and the name of the system this program runs on ("for Debian GNU/Linux 12").
QString PlatformText() {
    QString name = QSysInfo::prettyProductName();
    // A release's code name ("Debian GNU/Linux 12 (bookworm)") names nothing the version
    // does not, and the line has little room.
    static const QRegularExpression codeName(QStringLiteral("\\s*\\([^()]*\\)$"));
    name.remove(codeName);
    if (name.isEmpty())
        name = QSysInfo::kernelType();
    return QStringLiteral("for ") + name;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(312, 216);

    auto* box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("gbProduct"));
    box->setGeometry(16, 10, 281, 124);
    QLabel* product = AddLabel(box, "lblProduct", 72, 12, QStringLiteral("Vellumar Packer"));
    QFont big = product->font();
    big.setPixelSize(19);
    product->setFont(big);
    product->adjustSize();
    auto* image = new QLabel(box);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(16, 48, 32, 32);
    image->setPixmap(QIcon(QStringLiteral(":/icons/VLMPack.svg")).pixmap(32, 32));
    AddLabel(box, "lblVersion", 120, 40, QStringLiteral("Version: 1.3"));
    // Sized and placed after the font fitting, below.
    auto* platform = new QLabel(box);
    platform->setObjectName(QStringLiteral("lblPlatform"));
    platform->move(76, 64);
    AddLabel(box, "lblNotice", 63, 88, QStringLiteral("Copyright (C) Vellumar"));

    AddLabel(this, "lblWebSite", 16, 152, QStringLiteral("WebSite:"));
    const QString address = QString::fromUtf8(ProductHomeUrl);
    QLabel* link = AddLabel(this, "lnkWebSite", 80, 152,
                            QStringLiteral("<a href=\"%1\" style=\"color: blue\">%2</a>")
                                .arg(address.toHtmlEscaped(), address.toHtmlEscaped()));
    link->setTextFormat(Qt::RichText);
    link->setOpenExternalLinks(false);
    link->setCursor(Qt::PointingHandCursor);
    link->adjustSize();
    connect(link, &QLabel::linkActivated, this, [this] { lnkWebSiteClick(); });

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnClose"));
    ok->setGeometry(224, 176, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    FitToFont(this, QSize(312, 216));
    PlacePlatformLabel(platform, image, PlatformText());
}

void TfrmAbout::lnkWebSiteClick() {
    Dialogs().OpenUrl(this, QUrl(QString::fromUtf8(ProductHomeUrl)));
}

void TfrmAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace vlm::ui
