// Text at the edge between the core (GBK std::string, UTF-8 messages and paths) and Qt
// (UTF-16). In namespace tarvimo so every layer above finds them unqualified.
#pragma once

#include "base/text.h"

#include <QString>

#include <string>
#include <string_view>

namespace tarvimo {

inline QString q(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }
inline QString fromGbk(std::string_view gbk) { return q(text::gbkToUtf8(gbk)); }
inline std::string toGbk(const QString& s) { return text::utf8ToGbk(s.toStdString()); }

} // namespace tarvimo
