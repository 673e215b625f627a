// SPDX-License-Identifier: MIT
// Texts composed in English (errors and their reasons) in the host application's language.
// The viewer installs a translator for this context; a plug-in dialog that shows such a text
// (an error of the shared card-image code) asks the application for it here, and shows the
// English text where no host translates it.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <string_view>

namespace lorvane::platform {

inline constexpr char kHostPhrasesContext[] = "lorvane-phrases";

// A text with a NUL in it (which the translators' interface would cut there) is shown as it
// is.
inline QString HostPhrase(std::string_view english) {
  const QByteArray text(english.data(), static_cast<qsizetype>(english.size()));
  if (text.contains('\0')) return QString::fromUtf8(text);
  return QCoreApplication::translate(kHostPhrasesContext, text.constData());
}

inline QString HostPhrase(const QString& english) { return HostPhrase(english.toStdString()); }

}  // namespace lorvane::platform
