// The viewer-language combo box of both project windows. Its list is rebuilt from the
// language files each time it opens, so files added while a window is open show up too.
#pragma once

#include <QComboBox>

#include <functional>

namespace vlm::ui {

class TLanguageComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TLanguageComboBox(QWidget* parent = nullptr);

    // Runs just before the list opens.
    std::function<void()> OnDropDown;

    void showPopup() override;
};

// The drop-down handler of edLanguage: refills sender's list from the program's "Languages"
// folder and keeps its text. The rebuild is not a change of the text, so it reports none.
void edLanguageDropDown(QComboBox& sender);

} // namespace vlm::ui
