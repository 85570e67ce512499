// Test support for the windows: a scripted desktop that answers message boxes
// and file dialogs and records what was asked, a settings store redirected to
// a fresh temporary folder, and the base of the window test classes. Files and
// measurements come from the shared engine test support (engineTestSupport.h).
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include "Desktop.h"

namespace ravelin {
class TFormMain;
}

namespace ravelin::test {

struct TMessageRecord {
  QString Caption;
  QString Text;
  TMessageIcon Icon = TMessageIcon::Warning;
  TMessageButtons Buttons = TMessageButtons::Ok;
};

// Installed for its lifetime. Message boxes are answered by OnMessage (Yes by
// default); file dialogs by the queued answers (cancel when none is left).
class TScriptedDesktop final : public TDesktop {
public:
  TScriptedDesktop();
  ~TScriptedDesktop() override;
  TScriptedDesktop(const TScriptedDesktop&) = delete;
  TScriptedDesktop& operator=(const TScriptedDesktop&) = delete;

  bool ShowMessageBox(QWidget* parent, const QString& caption, const QString& text, TMessageIcon icon,
                      TMessageButtons buttons) override;
  QStringList AskFiles(QWidget* parent, const TFileDialogRequest& request) override;
  void OpenDocument(const QUrl& url) override;

  std::function<bool(const TMessageRecord&)> OnMessage;
  QList<QStringList> FileAnswers;
  std::vector<TMessageRecord> Messages;
  std::vector<TFileDialogRequest> FileRequests;
  QList<QUrl> OpenedDocuments;
};

// Points both settings scopes at a new temporary folder for its lifetime.
class TTemporarySettings {
public:
  TTemporarySettings();
  QString UserFolder() const;
  QString SystemFolder() const;
  // Writes a value straight into the system scope (as an installer would).
  void WriteSystemValue(const QString& name, const QString& text) const;

private:
  QTemporaryDir Folder;
};

// Base of the window test classes: every test function runs with its own
// temporary settings and a scripted desktop. A class with its own init or
// cleanup calls these first or last.
class TWindowTest : public QObject {
  Q_OBJECT

protected slots:
  void init();
  void cleanup();

protected:
  std::unique_ptr<TTemporarySettings> Settings;
  std::unique_ptr<TScriptedDesktop> Scripted;
};

// Creates a file with the given bytes (folders must exist).
void WriteFile(const QString& path, const QByteArray& bytes = {});

// The main window's file list, in order.
QStringList Items(const TFormMain& form);

// Fills the window for a run: the test tone in/tone.wav, the input folder in,
// the output folder out, and the list of the named files of in.
void PrepareRun(TFormMain& form, const QString& in, const QString& out,
                std::initializer_list<const char*> names);

// Clicks Process and handles events until the run on the worker thread has
// ended and the file list is back; false after timeoutMs.
bool ProcessAndWait(TFormMain& form, int timeoutMs = 120000);

} // namespace ravelin::test
