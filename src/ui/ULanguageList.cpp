#include "ui/ULanguageList.h"

#include "project/ULanguages.h"

#include <QSignalBlocker>

namespace vlm::ui {

TLanguageComboBox::TLanguageComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // Typed names are values of their own; they do not join the list of files.
    setInsertPolicy(QComboBox::NoInsert);
}

void TLanguageComboBox::showPopup() {
    if (OnDropDown)
        OnDropDown();
    QComboBox::showPopup();
}

void edLanguageDropDown(QComboBox& sender) {
    const QSignalBlocker blocker(sender);
    const QString text = sender.currentText();
    sender.clear();
    for (const std::string& name : LanguageNames(LanguagesFolder()))
        sender.addItem(QString::fromStdString(name));
    // Adding to an empty list selects its first item; the box shows what it showed before.
    sender.setCurrentIndex(sender.findText(text));
    sender.setEditText(text);
}

} // namespace vlm::ui
