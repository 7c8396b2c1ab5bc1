// Forms placed at fixed pixel positions (the about box, the progress window) keep their
// design size at the desktop's usual font; with a larger font, or larger scaling, they grow
// as a whole, positions and sizes by one factor, until no caption is cut.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class QGroupBox;
class QWidget;

namespace vlm::ui {

// The texts a control may show later (a group box's changing title, a label's value), so
// that the form is fitted for the widest of them as well as for what it shows now.
using TFitSamples = std::vector<std::pair<QWidget*, QStringList>>;

// The factor by which form's layout must grow so that every label, button and group-box
// title of it shows its text whole: 1 when everything fits. Labels that were sized to
// their text (adjustSize) need the room from their position to their parent's edge.
double FontGrowth(const QWidget* form, const TFitSamples& samples = {});

// Grows form (fixed size design) and every control in it by FontGrowth, rounding up;
// labels sized to their text are sized to it again. Does nothing when everything fits.
void FitToFont(QWidget* form, QSize design, const TFitSamples& samples = {});

// The width a group box needs to show title whole: where the style ends it, plus a margin
// to the frame's edge.
int GroupBoxTitleRight(const QGroupBox* box, const QString& title);

// Marks a label as sized to its text, so that fitting keeps it so.
void MarkSizedToText(QWidget* label);

} // namespace vlm::ui
