#include "ui/UWizardPictures.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

#include <cmath>

namespace vlm::ui {

namespace {

const QColor SideColour(0, 128, 192);

// A globe above an archive box: a site that becomes one file.
QPixmap SideArt() {
    QPixmap art(120, 200);
    art.fill(Qt::transparent);
    QPainter painter(&art);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 255, 255, 230), 2.5));
    const QRectF globe(12, 8, 96, 96);
    painter.drawEllipse(globe);
    painter.drawEllipse(QRectF(38, 8, 44, 96));
    painter.drawLine(QPointF(60, 8), QPointF(60, 104));
    for (const double y : {-28.0, 0.0, 28.0}) {
        const double half = std::sqrt(48.0 * 48.0 - y * y);
        painter.drawLine(QPointF(60 - half, 56 + y), QPointF(60 + half, 56 + y));
    }
    // The arrow from the globe into the box.
    painter.drawLine(QPointF(60, 112), QPointF(60, 136));
    painter.drawPolyline(QPolygonF({QPointF(52, 128), QPointF(60, 137), QPointF(68, 128)}));
    // The box, drawn in perspective.
    painter.setBrush(QColor(255, 255, 255, 60));
    painter.drawPolygon(
        QPolygonF({QPointF(24, 150), QPointF(60, 140), QPointF(96, 150), QPointF(60, 160)}));
    painter.drawPolygon(
        QPolygonF({QPointF(24, 150), QPointF(60, 160), QPointF(60, 194), QPointF(24, 184)}));
    painter.drawPolygon(
        QPolygonF({QPointF(96, 150), QPointF(60, 160), QPointF(60, 194), QPointF(96, 184)}));
    return art;
}

QStyle::StandardPixmap IconOf(TWizardPicture picture) {
    switch (picture) {
    case TWizardPicture::HomePage:
        return QStyle::SP_DirHomeIcon;
    case TWizardPicture::OutputFile:
        return QStyle::SP_DialogSaveButton;
    case TWizardPicture::View:
        return QStyle::SP_ComputerIcon;
    case TWizardPicture::Language:
        return QStyle::SP_FileDialogInfoView;
    case TWizardPicture::Commands:
        return QStyle::SP_FileDialogListView;
    case TWizardPicture::Protection:
        return QStyle::SP_MessageBoxWarning;
    case TWizardPicture::Parsing:
        return QStyle::SP_FileDialogContentsView;
    case TWizardPicture::Files:
        return QStyle::SP_DirIcon;
    case TWizardPicture::Side:
        break;
    }
    return QStyle::SP_FileIcon;
}

} // namespace

QLabel* NewSidePicture(QWidget* parent, const QString& name) {
    auto* panel = new QLabel(parent);
    panel->setObjectName(name);
    panel->setFixedWidth(161);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, SideColour);
    panel->setPalette(palette);
    panel->setAutoFillBackground(true);
    panel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    panel->setContentsMargins(0, 24, 0, 0);
    panel->setPixmap(SideArt());
    return panel;
}

QLabel* NewTitlePicture(QWidget* parent, const QString& name, TWizardPicture picture) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFixedSize(40, 40);
    label->setAlignment(Qt::AlignCenter);
    QPixmap pixmap = parent->style()->standardIcon(IconOf(picture)).pixmap(32, 32);
    // Some styles draw a few of their pictures only small; every strip shows the same size.
    if (pixmap.width() < 32)
        pixmap = pixmap.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    label->setPixmap(pixmap);
    return label;
}

} // namespace vlm::ui
