#include "ui/UFontFit.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vlm::ui {

namespace {

const char* const SizedToText = "vlmSizedToText";

bool IsSizedToText(const QWidget* widget) {
    return widget->property(SizedToText).toBool();
}

// The room a control needs for text in its own font: a label its size hint, a button its
// caption with the style's usual padding, a group box its title above its first control.
QSize Needed(const QWidget* widget, const QString& text) {
    const QFontMetrics metrics(widget->font());
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (text.isNull())
            return label->sizeHint();
        return {metrics.horizontalAdvance(text), metrics.height()};
    }
    if (qobject_cast<const QAbstractButton*>(widget))
        return {metrics.horizontalAdvance(text) + 12, metrics.height() + 4};
    // A group box: its title where the style draws it, inside the frame, over its first
    // control.
    const auto* box = static_cast<const QGroupBox*>(widget);
    return {GroupBoxTitleRight(box, text), metrics.height()};
}

// The room a control has for its text.
QSize Room(const QWidget* widget) {
    if (IsSizedToText(widget) && widget->parentWidget()) {
        const QSize parent = widget->parentWidget()->size();
        return {parent.width() - widget->x(), parent.height() - widget->y()};
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        int top = box->height();
        for (const QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            top = std::min(top, child->y());
        return {box->width(), top};
    }
    return widget->size();
}

double Growth(const QWidget* widget, const QString& text) {
    const QSize need = Needed(widget, text);
    const QSize room = Room(widget);
    if (room.width() <= 0 || room.height() <= 0)
        return 1;
    return std::max(double(need.width()) / room.width(), double(need.height()) / room.height());
}

QString TextOf(const QWidget* widget) {
    if (qobject_cast<const QLabel*>(widget))
        return {}; // a label's own text: its size hint
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* box = qobject_cast<const QGroupBox*>(widget))
        return box->title();
    return {};
}

int Scaled(int value, double factor) {
    return static_cast<int>(std::ceil(value * factor));
}

} // namespace

int GroupBoxTitleRight(const QGroupBox* box, const QString& title) {
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = title;
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.lineWidth = 1;
    const QRect label =
        box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    return label.x() + label.width() + std::max(2, label.x() / 2);
}

void MarkSizedToText(QWidget* label) {
    label->setProperty(SizedToText, true);
}

double FontGrowth(const QWidget* form, const TFitSamples& samples) {
    double factor = 1;
    for (const QWidget* widget : form->findChildren<QWidget*>()) {
        const bool texted = qobject_cast<const QLabel*>(widget) ||
                            qobject_cast<const QAbstractButton*>(widget) ||
                            qobject_cast<const QGroupBox*>(widget);
        if (!texted)
            continue;
        const QString text = TextOf(widget);
        if (!text.isEmpty() || qobject_cast<const QLabel*>(widget))
            factor = std::max(factor, Growth(widget, text));
    }
    for (const auto& [widget, texts] : samples) {
        for (const QString& text : texts)
            factor = std::max(factor, Growth(widget, text));
    }
    return factor;
}

void FitToFont(QWidget* form, QSize design, const TFitSamples& samples) {
    const double factor = FontGrowth(form, samples);
    if (factor <= 1)
        return;
    for (QWidget* widget : form->findChildren<QWidget*>()) {
        if (widget->isWindow())
            continue;
        const QRect r = widget->geometry();
        widget->setGeometry(Scaled(r.x(), factor), Scaled(r.y(), factor), Scaled(r.width(), factor),
                            Scaled(r.height(), factor));
        if (IsSizedToText(widget))
            widget->adjustSize();
    }
    form->setFixedSize(Scaled(design.width(), factor), Scaled(design.height(), factor));
}

} // namespace vlm::ui
