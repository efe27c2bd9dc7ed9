// Texts between the engine and the core, which hold UTF-8 in standard strings, and the widgets,
// which show QStrings.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace ui {

inline QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace ui
