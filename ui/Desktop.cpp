#include "Desktop.h"

#include <exception>

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace ravelin {

namespace {

// Messages break their lines with '\r' (sometimes "\r\n"); the toolkit wants '\n'.
QString DisplayText(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

QFileDialog::FileMode FileModeOf(TFileDialogMode mode) {
  switch (mode) {
  case TFileDialogMode::OpenFile: return QFileDialog::ExistingFile;
  case TFileDialogMode::OpenFiles: return QFileDialog::ExistingFiles;
  case TFileDialogMode::SaveFile: return QFileDialog::AnyFile;
  }
  return QFileDialog::AnyFile;
}

class TInteractiveDesktop final : public TDesktop {
public:
  bool ShowMessageBox(QWidget* parent, const QString& caption, const QString& text, TMessageIcon icon,
                      TMessageButtons buttons) override {
    QMessageBox box(icon == TMessageIcon::Error ? QMessageBox::Critical : QMessageBox::Warning, caption,
                    DisplayText(text), QMessageBox::NoButton, parent);
    if (buttons == TMessageButtons::YesNo) {
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
    } else {
      box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
  }

  QStringList AskFiles(QWidget* parent, const TFileDialogRequest& request) override {
    QFileDialog dialog(parent, request.Title, request.Folder);
    dialog.setFileMode(FileModeOf(request.Mode));
    dialog.setAcceptMode(request.Mode == TFileDialogMode::SaveFile ? QFileDialog::AcceptSave
                                                                   : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.ConfirmOverwrite);
    dialog.setNameFilters(NameFilters(request.Filter));
    dialog.setDefaultSuffix(request.DefaultSuffix);
    if (!request.FileName.isEmpty()) {
      dialog.selectFile(request.FileName);
    }
    if (dialog.exec() != QDialog::Accepted) {
      return {};
    }
    return dialog.selectedFiles();
  }

  void OpenDocument(const QUrl& url) override { QDesktopServices::openUrl(url); }
};

TInteractiveDesktop InteractiveDesktop;
TDesktop* CurrentDesktop = &InteractiveDesktop;

} // namespace

TDesktop& Desktop() {
  return *CurrentDesktop;
}

void SetDesktop(TDesktop* desktop) {
  CurrentDesktop = desktop != nullptr ? desktop : &InteractiveDesktop;
}

QStringList NameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return filters;
}

void ShowWarning(QWidget* parent, const std::string& text) {
  Desktop().ShowMessageBox(parent, MessageCaption, QString::fromStdString(text), TMessageIcon::Warning,
                           TMessageButtons::Ok);
}

void RunGuarded(QWidget* parent, const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    Desktop().ShowMessageBox(parent, QStringLiteral("Ravelin"), QString::fromUtf8(error.what()),
                             TMessageIcon::Error, TMessageButtons::Ok);
  }
}

} // namespace ravelin
