// The wizard's pictures: the coloured side panel of its first and last page and the small
// pictures at the right of the title strips.
#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace vlm::ui {

enum class TWizardPicture {
    Side,
    HomePage,
    OutputFile,
    View,
    Language,
    Commands,
    Protection,
    Parsing,
    Files
};

// The 161-pixel panel at the left of the first and the last page.
QLabel* NewSidePicture(QWidget* parent, const QString& name);
// The picture of a title strip.
QLabel* NewTitlePicture(QWidget* parent, const QString& name, TWizardPicture picture);

} // namespace vlm::ui
