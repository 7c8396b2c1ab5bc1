// With a large desktop font every caption of the main window and the dialogs shows whole:
// each label gets at least its size hint and lies inside its window. At the usual font the
// fixed-size forms keep their design sizes.
#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include "project/UProject.h"
#include "ui/FAbout.h"
#include "ui/FBuildingProgress.h"
#include "ui/FProjectEditor.h"
#include "ui/FProjectWizard.h"
#include "ui/FProjector.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace vlm::test {
namespace {

// The captions of window's visible labels and buttons that are cut: smaller than their text
// needs, or reaching past the window or the control that holds them.
QStringList CutCaptions(QWidget* window) {
    QStringList cut;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(widget);
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if ((!label && !button) || !widget->isVisible())
            continue;
        const QString text = label ? label->text() : button->text();
        if (text.isEmpty())
            continue;
        QSize need = widget->sizeHint();
        if (label && label->wordWrap())
            need = QSize(0, label->heightForWidth(label->width()));
        else if (auto* tool = qobject_cast<QToolButton*>(widget))
            need = QSize(tool->fontMetrics().horizontalAdvance(text),
                         tool->iconSize().height() + tool->fontMetrics().height());
        else if (qobject_cast<QPushButton*>(widget))
            need = QSize(button->fontMetrics().horizontalAdvance(QString(text).remove('&')),
                         button->fontMetrics().height());
        const QRect shown(widget->mapTo(window, QPoint(0, 0)), widget->size());
        QRect room = window->rect();
        for (QWidget* parent = widget->parentWidget(); parent && parent != window;
             parent = parent->parentWidget())
            room &= QRect(parent->mapTo(window, QPoint(0, 0)), parent->size());
        if (need.width() > widget->width() || need.height() > widget->height() ||
            !room.contains(shown))
            cut << widget->objectName() + QStringLiteral(": ") + text.left(30) +
                       QStringLiteral(" %1x%2 needs %3x%4")
                           .arg(widget->width())
                           .arg(widget->height())
                           .arg(need.width())
                           .arg(need.height());
    }
    return cut;
}

class FontGrowthTest : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override {
        Saved = QApplication::font();
        if (GetParam() > 0) {
            QFont large = Saved;
            large.setPointSizeF(GetParam());
            QApplication::setFont(large);
        }
    }
    void TearDown() override { QApplication::setFont(Saved); }

    // For a look by eye: VLM_SCREENSHOTS=/some/prefix- saves what each check saw.
    static void SaveScreenshot(QWidget& window, int page) {
        const QString prefix = qEnvironmentVariable("VLM_SCREENSHOTS");
        if (prefix.isEmpty())
            return;
        window.grab().save(prefix + window.objectName() + QStringLiteral("-") +
                           QString::number(QApplication::font().pointSizeF()) +
                           QStringLiteral("-") + QString::number(page) + QStringLiteral(".png"));
    }

    // Shows window and returns its cut captions, on every page of stack when it has one.
    static QStringList ShowAndCheck(QWidget& window, QStackedWidget* stack = nullptr) {
        window.show();
        QStringList cut;
        for (int page = 0; page < (stack ? stack->count() : 1); ++page) {
            if (stack)
                stack->setCurrentIndex(page);
            QApplication::processEvents();
            cut << CutCaptions(&window);
            SaveScreenshot(window, page);
        }
        window.hide();
        return cut;
    }

    QFont Saved;
    TScriptedDialogs Dialogs;
};

TEST_P(FontGrowthTest, NoCaptionIsCut) {
    const bool large = GetParam() > 0;
    TProject project;
    {
        ui::TfmProjector window;
        window.FormCreate({});
        EXPECT_EQ(ShowAndCheck(window), QStringList()) << "main window";
    }
    {
        ui::TfrmAbout about(nullptr);
        EXPECT_EQ(ShowAndCheck(about), QStringList()) << "about box";
        if (!large) {
            EXPECT_EQ(about.size(), QSize(312, 216));
        }
    }
    {
        ui::TfmBuildingProgress progress(nullptr);
        progress.SizeCaption("Current file size");
        progress.Stage("Compressing files...");
        progress.Size(uint64_t{1073730000});
        progress.Begun("/home/user/site.vlm");
        progress.hide();
        EXPECT_EQ(ShowAndCheck(progress), QStringList()) << "progress window";
        if (!large) {
            EXPECT_EQ(progress.size(), QSize(350, 250));
        }
    }
    {
        ui::TfmProjectEditor editor(nullptr, project);
        EXPECT_EQ(ShowAndCheck(editor, nullptr), QStringList()) << "options dialog";
        auto* tabs = editor.findChild<QTabWidget*>();
        ASSERT_NE(tabs, nullptr);
        for (int tab = 1; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            EXPECT_EQ(ShowAndCheck(editor), QStringList()) << "options tab " << tab;
        }
    }
    {
        ui::TfmProjectWizard wizard(nullptr, project);
        EXPECT_EQ(ShowAndCheck(wizard, wizard.findChild<QStackedWidget*>()), QStringList())
            << "wizard";
        if (!large) {
            EXPECT_EQ(wizard.height(), 360);
        }
    }
}

// 0: the usual font; 13 points: a large desktop font.
INSTANTIATE_TEST_SUITE_P(Fonts, FontGrowthTest, ::testing::Values(0.0, 13.0));

} // namespace
} // namespace vlm::test
