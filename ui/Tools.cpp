#include "Tools.h"

#include <QSettings>

#include "numberText.h"

namespace ravelin {

namespace {

const QString Organisation = QStringLiteral("Quorvant");
const QString Application = QStringLiteral("Quorvant Ravelin");

} // namespace

QString ReadSettingString(const QString& name) {
  // Scope by scope: the organisation-wide files are not part of this store.
  for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
    QSettings settings(scope, Organisation, Application);
    settings.setFallbacksEnabled(false);
    if (settings.contains(name)) {
      return settings.value(name).toString();
    }
  }
  return {};
}

int ReadSettingInt(const QString& name, int defaultValue) {
  int value = 0;
  return ParseInteger(ReadSettingString(name).toStdString(), value) ? value : defaultValue;
}

int ReadSettingIndex(const QString& name, int defaultValue, int count) {
  const int index = ReadSettingInt(name, defaultValue);
  return index >= 0 && index < count ? index : defaultValue;
}

void WriteSettingString(const QString& name, const QString& text) {
  QSettings settings(QSettings::UserScope, Organisation, Application);
  settings.setValue(name, text);
}

void WriteSettingInt(const QString& name, int value) {
  WriteSettingString(name, QString::number(value));
}

void WriteSettingBool(const QString& name, bool value) {
  WriteSettingString(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace ravelin
