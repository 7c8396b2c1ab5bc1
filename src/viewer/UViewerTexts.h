// The viewer's own texts, by identifier. The built-in texts are English; a language file
// (".lng": Name=Value lines, UTF-8, whose names are these identifiers) replaces any of
// them. A line without "=", or with a name we do not know, is ignored.
#pragma once

#include <QHash>
#include <QString>

#include <string_view>

namespace vlm::viewer {

class TViewerTexts {
public:
    // The built-in texts.
    TViewerTexts() = default;
    // Replaces the texts that the language file's lines name.
    void Load(std::string_view fileText);
    // The text for id ("Back", "MissingPage"...); the identifier itself when unknown.
    QString Text(const char* id) const;
    // The identifiers and their built-in texts.
    static const QHash<QString, QString>& Defaults();

private:
    QHash<QString, QString> FTexts;
};

} // namespace vlm::viewer
