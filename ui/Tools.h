// The settings store: string values of organisation "Quorvant", application
// "Quorvant Ravelin". Values are written to the user's settings; reads fall
// back to the system-wide settings, where an installer can put values such as
// "HelpIndex". Store failures are silent: a missing value reads as empty, a
// failed write is dropped.
#pragma once

#include <QString>

namespace ravelin {

// The stored text, or empty when the value is missing or unreadable.
QString ReadSettingString(const QString& name);
// The stored text as a decimal integer (optional sign, digits, nothing else),
// or defaultValue when it is empty or not a whole 32-bit integer.
int ReadSettingInt(const QString& name, int defaultValue);
// ReadSettingInt for an item index of a list of count items: a stored index
// outside [0, count) is unusable and gives defaultValue too.
int ReadSettingIndex(const QString& name, int defaultValue, int count);
// Stores text under name (creating the store when missing).
void WriteSettingString(const QString& name, const QString& text);
// Stores a number in decimal, or a check state as "1" or "0".
void WriteSettingInt(const QString& name, int value);
void WriteSettingBool(const QString& name, bool value);

} // namespace ravelin
