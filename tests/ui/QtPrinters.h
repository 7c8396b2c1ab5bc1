// Readable Qt values in GoogleTest's failure messages.
#pragma once

#include <QString>
#include <QUrl>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QUrl& url, std::ostream* os) {
    *os << url.toString().toStdString();
}
