#include "viewer/UViewerTexts.h"

#include <QRegularExpression>
#include <QStringList>

namespace vlm::viewer {

const QHash<QString, QString>& TViewerTexts::Defaults() {
    static const QHash<QString, QString> texts = {
        {"FileMenu", "&File"},
        {"EditMenu", "&Edit"},
        {"GoMenu", "&Go"},
        {"LanguageMenu", "&Language"},
        {"DefaultLanguage", "Default"},
        {"Back", "&Back"},
        {"Forward", "&Forward"},
        {"Home", "&Home"},
        {"Reload", "&Reload"},
        {"Open", "&Open..."},
        {"Exit", "E&xit"},
        {"Copy", "&Copy to clipboard"},
        {"SaveObject", "&Save Object As..."},
        {"Print", "&Print"},
        {"Find", "&Find on the page"},
        {"AdvancedFind", "&Advanced Find"},
        {"FindNext", "Next"},
        {"FindPrevious", "Previous"},
        {"FindClose", "Close"},
        {"FindLabel", "Find:"},
        {"FindNotFound", "Not found"},
        {"SearchButton", "&Search"},
        {"SearchStop", "S&top"},
        {"Searching", "Searching..."},
        {"SearchLabel", "Words to find in every page:"},
        {"SearchNothing", "No page holds \"%1\"."},
        {"SearchFound", "%1 pages found."},
        {"SearchFoundOne", "1 page found."},
        {"OpenTitle", "Open"},
        {"OpenFilter", "Viewer files (*.vlm *.exe);;All files (*)"},
        {"SaveTitle", "Save Object As"},
        {"SaveFilter", "All files (*)"},
        {"ErrorTitle", "Error"},
        {"WarningTitle", "Warning"},
        {"PasswordTitle", "Password"},
        {"PasswordPrompt", "Enter the password:"},
        {"PasswordWrong", "The password is wrong."},
        {"MissingTitle", "Page not found"},
        {"MissingPage", "The page \"%1\" is not in this archive."},
        {"BrokenPage", "The page \"%1\" cannot be read: %2"},
        {"Loading", "Loading... %1%"},
        {"Done", "Done"},
        {"Printing", "Printing..."},
        {"RefusedAddress", "\"%1\" lies outside this archive: the viewer does not open it."},
    };
    return texts;
}

void TViewerTexts::Load(std::string_view fileText) {
    const QString text =
        QString::fromUtf8(fileText.data(), static_cast<qsizetype>(fileText.size()));
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString name = line.left(equals);
        if (Defaults().contains(name))
            FTexts.insert(name, line.mid(equals + 1));
    }
}

QString TViewerTexts::Text(const char* id) const {
    const QString key = QString::fromLatin1(id);
    if (auto it = FTexts.find(key); it != FTexts.end())
        return it.value();
    return Defaults().value(key, key);
}

} // namespace vlm::viewer
