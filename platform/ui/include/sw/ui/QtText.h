#pragma once
// Text crosses into Qt only at widget edges: UTF-8 std::string inside, QString on the widgets.
#include <QString>
#include <string>
#include <string_view>

namespace sw::ui {

inline QString ToQ(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::string FromQ(const QString& s) {
  return s.toUtf8().toStdString();
}

}  // namespace sw::ui
