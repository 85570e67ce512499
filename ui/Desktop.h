// The desktop services the windows use: message boxes, file dialogs and the
// "open with the associated program" action. They go through one replaceable
// object so that tests can answer the dialogs without a person.
#pragma once

#include <functional>
#include <string>

#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace ravelin {

// Caption of the program's message boxes.
inline const QString MessageCaption = QStringLiteral("Quorvant Ravelin");

enum class TMessageIcon { Warning, Error };
enum class TMessageButtons { Ok, YesNo };

enum class TFileDialogMode {
  OpenFile,  // one existing file
  OpenFiles, // one or more existing files
  SaveFile   // a file name in an existing folder
};

// Everything a file dialog is opened with.
struct TFileDialogRequest {
  TFileDialogMode Mode = TFileDialogMode::OpenFile;
  QString Title;
  QString Folder;               // initial folder; empty: the toolkit's choice
  QString FileName;             // proposed file name (save dialogs)
  QString Filter;               // "Text|*.a;*.b|Text|*.c" pairs
  QString DefaultSuffix;        // appended when the typed name has none
  bool ConfirmOverwrite = true; // save dialogs: ask before an existing file is chosen
};

class TDesktop {
public:
  virtual ~TDesktop() = default;
  // Modal message box over parent. Returns true for OK or Yes.
  virtual bool ShowMessageBox(QWidget* parent, const QString& caption, const QString& text, TMessageIcon icon,
                              TMessageButtons buttons) = 0;
  // Modal file dialog. Returns the chosen absolute paths; empty when cancelled.
  virtual QStringList AskFiles(QWidget* parent, const TFileDialogRequest& request) = 0;
  // Opens a document or address with the desktop's associated program.
  // Failures are not reported.
  virtual void OpenDocument(const QUrl& url) = 0;
};

// The object in use: the interactive one unless a test has installed its own.
TDesktop& Desktop();
// Installs desktop (not owned; nullptr restores the interactive one).
void SetDesktop(TDesktop* desktop);

// "Text|patterns|Text|patterns" (patterns separated by ';') as Qt name filters
// that show the same texts: "Text (pattern pattern)".
QStringList NameFilters(const QString& filter);

// The warning box of user messages: caption "Quorvant Ravelin", OK button.
void ShowWarning(QWidget* parent, const std::string& text);
// Runs action; any error it raises is shown in an error box (caption
// "Ravelin") instead of leaving the event handler.
void RunGuarded(QWidget* parent, const std::function<void()>& action);

} // namespace ravelin
