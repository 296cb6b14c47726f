#pragma once
// The text of the settings file, in the form that QSettings reads (and that
// earlier versions of the program wrote through it): UTF-8 lines "key=value"
// under "[section]" headers, the first part of a key being its section, values
// escaped and typed as QSettings writes them ("@ByteArray(...)", "@Invalid()",
// lists joined by ", ", ...). A map written here reads back through QSettings
// as the same values, and its text is the one QSettings writes for the same
// values when it writes them afresh.

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <map>

namespace quenor {

// Keys are full names ("ComPort", "MRUList/MRU1"), without leading, trailing
// or doubled slashes.
QByteArray SettingsText(const std::map<QString, QVariant>& values);

}  // namespace quenor
