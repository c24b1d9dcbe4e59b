#include "platform/cp932.h"

namespace kyro {

QString Cp932ToQString(std::string_view cp932) {
    const std::string utf8 = Cp932ToUtf8(cp932);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> QStringToCp932(const QString& text) {
    // toUtf8 would turn a lone surrogate into a substitute character without telling.
    if (!text.isValidUtf16()) return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace kyro
