#include "UiTestSupport.h"

#include "FrmMain.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

namespace ravelin::test {

TScriptedDesktop::TScriptedDesktop() {
  SetDesktop(this);
}

TScriptedDesktop::~TScriptedDesktop() {
  SetDesktop(nullptr);
}

bool TScriptedDesktop::ShowMessageBox(QWidget* /*parent*/, const QString& caption, const QString& text,
                                      TMessageIcon icon, TMessageButtons buttons) {
  Messages.push_back({caption, text, icon, buttons});
  return OnMessage ? OnMessage(Messages.back()) : true;
}

QStringList TScriptedDesktop::AskFiles(QWidget* /*parent*/, const TFileDialogRequest& request) {
  FileRequests.push_back(request);
  return FileAnswers.isEmpty() ? QStringList() : FileAnswers.takeFirst();
}

void TScriptedDesktop::OpenDocument(const QUrl& url) {
  OpenedDocuments << url;
}

TTemporarySettings::TTemporarySettings() {
  for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
    QSettings::setPath(format, QSettings::UserScope, UserFolder());
    QSettings::setPath(format, QSettings::SystemScope, SystemFolder());
  }
}

QString TTemporarySettings::UserFolder() const {
  return Folder.filePath(QStringLiteral("user"));
}

QString TTemporarySettings::SystemFolder() const {
  return Folder.filePath(QStringLiteral("system"));
}

void TTemporarySettings::WriteSystemValue(const QString& name, const QString& text) const {
  QSettings settings(QSettings::SystemScope, QStringLiteral("Quorvant"), QStringLiteral("Quorvant Ravelin"));
  settings.setValue(name, text);
}

void TWindowTest::init() {
  Settings = std::make_unique<TTemporarySettings>();
  Scripted = std::make_unique<TScriptedDesktop>();
}

void TWindowTest::cleanup() {
  Scripted.reset();
  Settings.reset();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
    qFatal("cannot write the test file %s", qPrintable(path));
  }
}

QStringList Items(const TFormMain& form) {
  QStringList items;
  for (const std::string& file : form.FileList()) {
    items << QString::fromStdString(file);
  }
  return items;
}

void PrepareRun(TFormMain& form, const QString& in, const QString& out,
                std::initializer_list<const char*> names) {
  form.EditTT->setText(in + QStringLiteral("tone.wav"));
  form.EditFolder->setText(in);
  form.EditOutFolder->setText(out);
  std::vector<std::string> files;
  for (const char* name : names)
    files.push_back((in + QLatin1String(name)).toStdString());
  form.SetFileList(files);
}

bool ProcessAndWait(TFormMain& form, int timeoutMs) {
  form.ButtonProcess->click();
  return QTest::qWaitFor([&form] { return !form.Running(); }, timeoutMs);
}

} // namespace ravelin::test
