// The main window: test tone, input folder, file list, output folder and the
// processing options; it starts folder scans, processing runs, the test tone
// generator, the help document and the about box. Its options persist in the
// settings store: read when the window is created, written when it closes.
// It owns the processing workspace for its whole life and is the front end of
// the runs it starts, which go on a worker thread; the results window shows
// each run's files as they finish.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "frontEnd.h"
#include "processOptions.h"
#include "workspace.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace ravelin {

class TBatchWorker;
class TFormProgress;
class TFormResults;

class TFormMain final : public QWidget, public TBatchFrontEnd {
  Q_OBJECT

public:
  TFormMain();
  ~TFormMain() override;

  // The file list's full paths, in list order.
  std::vector<std::string> FileList() const;
  void SetFileList(const std::vector<std::string>& files);

  // Handlers (the buttons, check boxes and list call these).
  void ButtonTTClick();
  void ButtonPathClick();
  void ButtonOutPathClick();
  void ButtonScanClick();
  void ButtonClearListClick();
  void ButtonProcessClick();
  void ButtonTTGenClick();
  void ButtonHelpClick();
  void ButtonAboutClick();
  // Shared by the Volume, Silence, Low Cut and High Cut boxes: applies the
  // visibility rule.
  void CheckBoxVolumeClick();
  // Enter: opens the focused item; Delete: removes the selected items.
  void ListBoxFilesKeyDown(int key);
  void ListBoxFilesDblClick();
  // Adds dropped files (supported extensions) and folders (scanned like the
  // input folder) to the end of the list.
  void AddDroppedPaths(const QStringList& paths);

  // The option controls as the validation reads them.
  TOptionControls ReadControls() const;

  // Front end of a processing run.
  void RunStarted(int count) override;
  void RunEnded() override;
  void ShowProgress(const std::string& fileName, int position, int count) override;
  bool AskYesNo(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void FileDone(const TFileResult& result) override;

  QLineEdit* const EditTT;
  QPushButton* const ButtonTT;
  QCheckBox* const CheckBoxRecurse;
  QLineEdit* const EditFolder;
  QPushButton* const ButtonPath;
  QPushButton* const ButtonScan;
  QPushButton* const ButtonClearList;
  QListWidget* const ListBoxFiles;
  QCheckBox* const CheckBoxNoRename;
  QLineEdit* const EditOutFolder;
  QPushButton* const ButtonOutPath;
  QComboBox* const ComboBoxBD;
  QCheckBox* const CheckBoxVolume;
  QLineEdit* const EditVol;
  QCheckBox* const CheckBoxPS;
  QLineEdit* const EditPreSilence;
  QCheckBox* const CheckBoxRev;
  QCheckBox* const CheckBoxMPT;
  QCheckBox* const CheckBoxNormalize;
  QCheckBox* const CheckBoxHPF;
  QLineEdit* const EditHPF;
  QCheckBox* const CheckBoxLPF;
  QLineEdit* const EditLPF;
  QComboBox* const ComboCutSlope;
  QComboBox* const ComboToneChannel; // 0 "Auto", else the 1-based test tone channel
  QComboBox* const ComboHarmonics;   // 0 "Off", else the highest harmonic order 2 .. 10
  QCheckBox* const CheckBoxIgnore;
  QPushButton* const ButtonAbout;
  QPushButton* const Button1; // "&Help"
  QPushButton* const ButtonTTGen;
  QPushButton* const ButtonProcess;
  QSpinBox* const SpinJobs; // files processed at the same time

  // The progress dialog while a run is going on, else null.
  TFormProgress* Progress() const { return ProgressDialog.get(); }
  // True from the Process click that starts a run until its file list is back.
  bool Running() const;
  TFormResults* Results() const { return ResultsWindow; }

signals:
  // A run has ended and the file list has been rewritten.
  void RunFinished();

protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void BuildLayout();
  void ConnectHandlers();
  void FormCreate();
  void FormClose();
  void FocusControl(TFocusControl control);
  // Scans folder into files; false (files untouched) on cancel or error.
  bool ScanInto(const QString& folder, std::vector<std::string>& files);
  void OpenFocusedItem();
  void DeleteSelectedItems();
  // The widget message boxes of a run hang from: the progress dialog while
  // the main window is disabled.
  QWidget* DialogParent();
  // On the window's thread, after the worker's run: the new list, or the error
  // that ended the run (the list then stays).
  void RunDone(const std::vector<std::string>& list, std::exception_ptr error);

  TProcessWorkspace Workspace; // the worker's while a run is going on
  std::unique_ptr<TFormProgress> ProgressDialog;
  QString OutDialogFolder;     // initial folder of the output folder dialog
  TFormResults* ResultsWindow; // a window of its own, owned by this one
  // Last: a run still going ends before the workspace and the dialogs go.
  std::unique_ptr<TBatchWorker> Worker;
};

} // namespace ravelin
