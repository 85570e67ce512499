#include "FrmMain.h"

#include <algorithm>
#include <thread>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

#include "BatchWorker.h"
#include "Desktop.h"
#include "FrmAbout.h"
#include "FrmDirScan.h"
#include "FrmProgress.h"
#include "FrmResults.h"
#include "FrmTTGen.h"
#include "Tools.h"
#include "batch.h"
#include "harmonics.h"
#include "paths.h"
#include "scan.h"

namespace ravelin {

namespace {

constexpr int MinimumWidth = 556;
constexpr int MinimumHeight = 463;
constexpr int DefaultWidth = 468; // below the minimum: the minimum applies

// What the open dialogs and drops accept.
const QString SupportedPatterns = QStringLiteral("*.wav;*.bwf;*.aif;*.aiff;*.w64");
const QString AudioFilter = QStringLiteral("All supported files|") + SupportedPatterns +
                            QStringLiteral("|WAV files (*.wav, *.bwf)|*.wav;*.bwf|Wave64 files (*.w64)|*.w64"
                                           "|AIFF files (*.aif, *.aiff)|*.aif;*.aiff");

QString WithSeparator(const QString& folder) {
  return QString::fromStdString(WithSlash(folder.toStdString()));
}

// The folder part of a stored path ("" stays "").
QString FolderOf(const QString& path) {
  return path.isEmpty() ? path : QFileInfo(path).path();
}

bool IsSupportedFile(const QString& name) {
  const std::string lowerName = name.toLower().toStdString();
  for (const QString& pattern : SupportedPatterns.split(QLatin1Char(';'))) {
    if (MatchesPattern(lowerName, pattern.toStdString())) {
      return true;
    }
  }
  return false;
}

// A stored help entry: an address with a scheme, else a file path.
QUrl DocumentUrl(const QString& entry) {
  const QUrl url(entry);
  if (url.scheme().size() > 1) {
    return url;
  }
  return QUrl::fromLocalFile(QFileInfo(entry).absoluteFilePath());
}

QComboBox* DropDownList(QWidget* parent, const QStringList& items) {
  auto* combo = new QComboBox(parent);
  combo->addItems(items);
  return combo;
}

QLineEdit* PathBox(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setReadOnly(true);
  edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  return edit;
}

QLineEdit* NumberBox(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setFixedWidth(56);
  // The option grid keeps its shape while the visibility rule hides the box.
  QSizePolicy policy = edit->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  edit->setSizePolicy(policy);
  return edit;
}

QStringList CutSlopes() {
  QStringList slopes;
  for (int dB = 12; dB <= 96; dB += 12) {
    slopes << QStringLiteral("-%1 dB/o").arg(dB);
  }
  return slopes << QStringLiteral("Max");
}

// "Auto" (each recording channel by its own test tone channel, a channel
// without the sweep by the first that carries it), then channels 1 to 16.
QStringList ToneChannels() {
  QStringList channels{QStringLiteral("Auto")};
  for (int channel = 1; channel <= 16; ++channel) {
    channels << QString::number(channel);
  }
  return channels;
}

// "Off", then the highest harmonic order from 2 to 10.
QStringList HarmonicOrders() {
  QStringList orders{QStringLiteral("Off")};
  for (int order = MinHarmonicOrder; order <= MaxHarmonicOrder; ++order) {
    orders << QString::number(order);
  }
  return orders;
}

// The order chosen in the harmonics list; 0 for "Off".
int HarmonicOrderOf(const QComboBox* combo) {
  return combo->currentIndex() > 0 ? combo->currentIndex() + MinHarmonicOrder - 1 : 0;
}

constexpr int MaxJobs = 256;

// One file at a time per core.
int DefaultJobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min(cores, unsigned{MaxJobs}));
}

QSpinBox* JobsBox(QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setRange(1, MaxJobs);
  box->setToolTip(QObject::tr("Files processed at the same time; at most this many threads are busy"));
  return box;
}

void SetChecked(QCheckBox* box, const QString& name, int defaultValue) {
  box->setChecked(ReadSettingInt(name, defaultValue) != 0);
}

// Disables a window for the life of the guard: the main window during a scan.
class TDisabledWindow {
public:
  explicit TDisabledWindow(QWidget* window) : Window(window) { Window->setEnabled(false); }
  ~TDisabledWindow() { Window->setEnabled(true); }
  TDisabledWindow(const TDisabledWindow&) = delete;
  TDisabledWindow& operator=(const TDisabledWindow&) = delete;

private:
  QWidget* Window;
};

// Shows a dialog owned by a disabled window and keeps it usable: disabling a
// window also disables the windows it owns.
void ShowEnabled(QWidget* dialog) {
  dialog->setEnabled(true);
  dialog->show();
}

} // namespace

TFormMain::TFormMain() :
    EditTT(PathBox(this)), ButtonTT(new QPushButton(tr("&Browse"), this)),
    CheckBoxRecurse(new QCheckBox(tr("&Include subfolders"), this)), EditFolder(PathBox(this)),
    ButtonPath(new QPushButton(tr("&Browse"), this)), ButtonScan(new QPushButton(tr("&Scan folders"), this)),
    ButtonClearList(new QPushButton(tr("&Clear list"), this)), ListBoxFiles(new QListWidget(this)),
    CheckBoxNoRename(new QCheckBox(tr("&Do not add \"rv\" suffix"), this)), EditOutFolder(PathBox(this)),
    ButtonOutPath(new QPushButton(tr("Browse"), this)),
    ComboBoxBD(DropDownList(this, {QStringLiteral("16"), QStringLiteral("24"), QStringLiteral("32"),
                                   QStringLiteral("32 float")})),
    CheckBoxVolume(new QCheckBox(tr("&Volume dB"), this)), EditVol(NumberBox(this)),
    CheckBoxPS(new QCheckBox(tr("&Silence (sec)"), this)), EditPreSilence(NumberBox(this)),
    CheckBoxRev(new QCheckBox(tr("&Reversed technique"), this)),
    CheckBoxMPT(new QCheckBox(tr("&MP Transform"), this)),
    CheckBoxNormalize(new QCheckBox(tr("&Normalize to -0.3 dBFS"), this)),
    CheckBoxHPF(new QCheckBox(tr("&Low Cut Hz"), this)), EditHPF(NumberBox(this)),
    CheckBoxLPF(new QCheckBox(tr("&High Cut Hz"), this)), EditLPF(NumberBox(this)),
    ComboCutSlope(DropDownList(this, CutSlopes())), ComboToneChannel(DropDownList(this, ToneChannels())),
    ComboHarmonics(DropDownList(this, HarmonicOrders())),
    CheckBoxIgnore(new QCheckBox(tr("&Ignore already processed files"), this)),
    ButtonAbout(new QPushButton(tr("&About"), this)), Button1(new QPushButton(tr("&Help"), this)),
    ButtonTTGen(new QPushButton(tr("&Test Tone Gen"), this)),
    ButtonProcess(new QPushButton(tr("&Process"), this)), SpinJobs(JobsBox(this)),
    ResultsWindow(new TFormResults(this)), Worker(std::make_unique<TBatchWorker>(*this)) {
  setWindowTitle(MessageCaption);
  setMinimumSize(MinimumWidth, MinimumHeight);
  BuildLayout();
  ConnectHandlers();
  FormCreate();
}

TFormMain::~TFormMain() = default;

void TFormMain::BuildLayout() {
  ListBoxFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListBoxFiles->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ListBoxFiles->viewport()->setAcceptDrops(true);
  ComboCutSlope->setMaxVisibleItems(9);
  QSizePolicy keepPlace = CheckBoxNormalize->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  CheckBoxNormalize->setSizePolicy(keepPlace);
  QFont bold = ButtonProcess->font();
  bold.setBold(true);
  ButtonProcess->setFont(bold);
  ButtonProcess->setDefault(true);

  // The path rows share one grid so that their labels and boxes line up.
  auto* listHead = new QHBoxLayout;
  listHead->addWidget(new QLabel(tr("Files to process:"), this));
  listHead->addStretch(1);
  listHead->addWidget(CheckBoxRecurse);
  listHead->addWidget(ButtonScan);
  listHead->addWidget(ButtonClearList);

  auto* paths = new QGridLayout;
  paths->setColumnStretch(1, 1);
  paths->setRowStretch(3, 1);
  paths->addWidget(new QLabel(tr("Test tone file:"), this), 0, 0);
  paths->addWidget(EditTT, 0, 1);
  paths->addWidget(ButtonTT, 0, 2);
  paths->addWidget(new QLabel(tr("File folder:"), this), 1, 0);
  paths->addWidget(EditFolder, 1, 1);
  paths->addWidget(ButtonPath, 1, 2);
  paths->addLayout(listHead, 2, 0, 1, 3);
  paths->addWidget(ListBoxFiles, 3, 0, 1, 3);
  paths->addWidget(new QLabel(tr("Output folder:"), this), 4, 0);
  paths->addWidget(EditOutFolder, 4, 1);
  paths->addWidget(ButtonOutPath, 4, 2);

  // Three groups of options: format and technique, gain and timing, cut filters.
  auto* options = new QGridLayout;
  options->setHorizontalSpacing(6);
  options->addWidget(new QLabel(tr("Out bit depth:"), this), 0, 0);
  options->addWidget(ComboBoxBD, 0, 1, Qt::AlignLeft);
  options->addWidget(CheckBoxRev, 1, 0, 1, 2);
  options->addWidget(CheckBoxMPT, 2, 0, 1, 2);
  options->addWidget(CheckBoxNoRename, 3, 0, 1, 2);
  options->addWidget(CheckBoxVolume, 0, 2);
  options->addWidget(EditVol, 0, 3, Qt::AlignLeft);
  options->addWidget(CheckBoxNormalize, 1, 2, 1, 2);
  options->addWidget(CheckBoxPS, 2, 2);
  options->addWidget(EditPreSilence, 2, 3, Qt::AlignLeft);
  options->addWidget(CheckBoxIgnore, 3, 2, 1, 2);
  options->addWidget(CheckBoxHPF, 0, 4);
  options->addWidget(EditHPF, 0, 5, Qt::AlignLeft);
  options->addWidget(CheckBoxLPF, 1, 4);
  options->addWidget(EditLPF, 1, 5, Qt::AlignLeft);
  options->addWidget(new QLabel(tr("Cut slope:"), this), 2, 4);
  options->addWidget(ComboCutSlope, 2, 5, Qt::AlignLeft);
  options->addWidget(new QLabel(tr("Tone channel:"), this), 3, 4);
  options->addWidget(ComboToneChannel, 3, 5, Qt::AlignLeft);
  options->addWidget(new QLabel(tr("Harmonics:"), this), 4, 4);
  options->addWidget(ComboHarmonics, 4, 5, Qt::AlignLeft);
  // Extra width goes evenly behind the three groups.
  for (int column : {1, 3, 5}) {
    options->setColumnStretch(column, 1);
  }

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ButtonAbout);
  buttons->addWidget(Button1);
  buttons->addStretch(1);
  auto* jobsLabel = new QLabel(tr("Parallel &jobs:"), this);
  jobsLabel->setBuddy(SpinJobs);
  buttons->addWidget(jobsLabel);
  buttons->addWidget(SpinJobs);
  buttons->addWidget(ButtonTTGen);
  buttons->addWidget(ButtonProcess);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(paths, 1);
  layout->addSpacing(4);
  layout->addLayout(options);
  layout->addSpacing(4);
  layout->addLayout(buttons);
}

void TFormMain::ConnectHandlers() {
  const auto onClick = [this](QPushButton* button, void (TFormMain::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { RunGuarded(this, [this, handler] { (this->*handler)(); }); });
  };
  onClick(ButtonTT, &TFormMain::ButtonTTClick);
  onClick(ButtonPath, &TFormMain::ButtonPathClick);
  onClick(ButtonOutPath, &TFormMain::ButtonOutPathClick);
  onClick(ButtonScan, &TFormMain::ButtonScanClick);
  onClick(ButtonClearList, &TFormMain::ButtonClearListClick);
  onClick(ButtonProcess, &TFormMain::ButtonProcessClick);
  onClick(ButtonTTGen, &TFormMain::ButtonTTGenClick);
  onClick(Button1, &TFormMain::ButtonHelpClick);
  onClick(ButtonAbout, &TFormMain::ButtonAboutClick);
  for (QCheckBox* box : {CheckBoxVolume, CheckBoxPS, CheckBoxHPF, CheckBoxLPF}) {
    connect(box, &QCheckBox::toggled, this, &TFormMain::CheckBoxVolumeClick);
  }
  connect(ListBoxFiles, &QListWidget::itemDoubleClicked, this, &TFormMain::ListBoxFilesDblClick);
  ListBoxFiles->installEventFilter(this);
  ListBoxFiles->viewport()->installEventFilter(this);
}

void TFormMain::FormCreate() {
  resize(ReadSettingInt(QStringLiteral("DefWindowWidth"), DefaultWidth),
         ReadSettingInt(QStringLiteral("DefWindowHeight"), MinimumHeight));
  ComboBoxBD->setCurrentIndex(
      ReadSettingIndex(QStringLiteral("DefBitDepth"), BitDepthIndex24, ComboBoxBD->count()));
  SetChecked(CheckBoxRecurse, QStringLiteral("DefRecurse"), 0);
  SetChecked(CheckBoxIgnore, QStringLiteral("DefIgnore"), 1);
  SetChecked(CheckBoxVolume, QStringLiteral("DefVolume"), 0);
  EditVol->setText(ReadSettingString(QStringLiteral("DefEditVol")));
  SetChecked(CheckBoxNormalize, QStringLiteral("DefNormalize"), 0);
  SetChecked(CheckBoxPS, QStringLiteral("DefPreSilence"), 0);
  EditPreSilence->setText(ReadSettingString(QStringLiteral("DefEditPreSilence")));
  SetChecked(CheckBoxHPF, QStringLiteral("DefHPF"), 0);
  EditHPF->setText(ReadSettingString(QStringLiteral("DefEditHPF")));
  SetChecked(CheckBoxLPF, QStringLiteral("DefLPF"), 0);
  EditLPF->setText(ReadSettingString(QStringLiteral("DefEditLPF")));
  SetChecked(CheckBoxRev, QStringLiteral("DefReversed"), 0);
  SetChecked(CheckBoxMPT, QStringLiteral("DefMPT"), 0);
  SetChecked(CheckBoxNoRename, QStringLiteral("DefNoRename"), 0);
  ComboCutSlope->setCurrentIndex(ReadSettingIndex(QStringLiteral("DefCutSlope"), 0, ComboCutSlope->count()));
  ComboToneChannel->setCurrentIndex(
      ReadSettingIndex(QStringLiteral("DefToneChannel"), 0, ComboToneChannel->count()));
  ComboHarmonics->setCurrentIndex(
      ReadSettingIndex(QStringLiteral("DefHarmonics"), 0, ComboHarmonics->count()));
  const int jobs = ReadSettingInt(QStringLiteral("DefJobs"), DefaultJobs());
  SpinJobs->setValue(jobs >= 1 && jobs <= MaxJobs ? jobs : DefaultJobs());
  const bool maximised = ReadSettingInt(QStringLiteral("DefWindowMaxed"), 0) != 0;
  EditTT->setText(ReadSettingString(QStringLiteral("DefTestTone")));

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  setWindowState(maximised ? Qt::WindowMaximized : Qt::WindowNoState);
  CheckBoxVolumeClick();
}

void TFormMain::FormClose() {
  // The restored size is kept while the window is maximised.
  const QRect normal = isMaximized() && normalGeometry().isValid() ? normalGeometry() : geometry();
  WriteSettingInt(QStringLiteral("DefWindowWidth"), normal.width());
  WriteSettingInt(QStringLiteral("DefWindowHeight"), normal.height());
  WriteSettingInt(QStringLiteral("DefBitDepth"), ComboBoxBD->currentIndex());
  WriteSettingBool(QStringLiteral("DefRecurse"), CheckBoxRecurse->isChecked());
  WriteSettingBool(QStringLiteral("DefIgnore"), CheckBoxIgnore->isChecked());
  WriteSettingBool(QStringLiteral("DefVolume"), CheckBoxVolume->isChecked());
  WriteSettingString(QStringLiteral("DefEditVol"), EditVol->text());
  WriteSettingBool(QStringLiteral("DefNormalize"), CheckBoxNormalize->isChecked());
  WriteSettingBool(QStringLiteral("DefReversed"), CheckBoxRev->isChecked());
  WriteSettingBool(QStringLiteral("DefMPT"), CheckBoxMPT->isChecked());
  WriteSettingBool(QStringLiteral("DefNoRename"), CheckBoxNoRename->isChecked());
  WriteSettingBool(QStringLiteral("DefWindowMaxed"), isMaximized());
  WriteSettingString(QStringLiteral("DefTestTone"), EditTT->text());
  WriteSettingBool(QStringLiteral("DefPreSilence"), CheckBoxPS->isChecked());
  WriteSettingString(QStringLiteral("DefEditPreSilence"), EditPreSilence->text());
  WriteSettingBool(QStringLiteral("DefHPF"), CheckBoxHPF->isChecked());
  WriteSettingString(QStringLiteral("DefEditHPF"), EditHPF->text());
  WriteSettingBool(QStringLiteral("DefLPF"), CheckBoxLPF->isChecked());
  WriteSettingString(QStringLiteral("DefEditLPF"), EditLPF->text());
  WriteSettingInt(QStringLiteral("DefCutSlope"), ComboCutSlope->currentIndex());
  WriteSettingInt(QStringLiteral("DefToneChannel"), ComboToneChannel->currentIndex());
  WriteSettingInt(QStringLiteral("DefHarmonics"), ComboHarmonics->currentIndex());
  WriteSettingInt(QStringLiteral("DefJobs"), SpinJobs->value());
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // While a scan or a run is going on the window stays.
  if (!isEnabled()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBoxFiles && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Delete) {
      RunGuarded(this, [this, key] { ListBoxFilesKeyDown(key); });
      return true;
    }
  }
  if (watched == ListBoxFiles->viewport()) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto* drag = static_cast<QDropEvent*>(event);
      if (drag->mimeData()->hasUrls()) {
        drag->acceptProposedAction();
      }
      return true;
    }
    if (event->type() == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      QStringList paths;
      for (const QUrl& url : drop->mimeData()->urls()) {
        if (url.isLocalFile()) {
          paths << url.toLocalFile();
        }
      }
      drop->acceptProposedAction();
      RunGuarded(this, [this, paths] { AddDroppedPaths(paths); });
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

std::vector<std::string> TFormMain::FileList() const {
  std::vector<std::string> files;
  files.reserve(static_cast<std::size_t>(ListBoxFiles->count()));
  for (int i = 0; i < ListBoxFiles->count(); ++i) {
    files.push_back(ListBoxFiles->item(i)->text().toStdString());
  }
  return files;
}

void TFormMain::SetFileList(const std::vector<std::string>& files) {
  ListBoxFiles->clear();
  for (const std::string& file : files) {
    ListBoxFiles->addItem(QString::fromStdString(file));
  }
}

void TFormMain::CheckBoxVolumeClick() {
  EditVol->setVisible(CheckBoxVolume->isChecked());
  CheckBoxNormalize->setVisible(!CheckBoxVolume->isChecked());
  EditPreSilence->setVisible(CheckBoxPS->isChecked());
  EditHPF->setVisible(CheckBoxHPF->isChecked());
  EditLPF->setVisible(CheckBoxLPF->isChecked());
}

void TFormMain::ButtonTTClick() {
  TFileDialogRequest request;
  request.Mode = TFileDialogMode::OpenFile;
  request.Title = tr("Select test tone file");
  request.Folder = FolderOf(ReadSettingString(QStringLiteral("TestToneFolder")));
  request.Filter = AudioFilter;
  request.DefaultSuffix = QStringLiteral("wav");
  const QStringList chosen = Desktop().AskFiles(this, request);
  if (chosen.isEmpty()) {
    return;
  }
  EditTT->setText(chosen.front());
  WriteSettingString(QStringLiteral("TestToneFolder"), chosen.front());
}

void TFormMain::ButtonPathClick() {
  TFileDialogRequest request;
  request.Mode = TFileDialogMode::OpenFiles;
  request.Title = tr("Select audio file(s) in the input file folder");
  request.Folder = FolderOf(ReadSettingString(QStringLiteral("FileFolder")));
  request.Filter = AudioFilter;
  request.DefaultSuffix = QStringLiteral("wav");
  const QStringList chosen = Desktop().AskFiles(this, request);
  if (chosen.isEmpty()) {
    return;
  }
  const QString folder = WithSeparator(QFileInfo(chosen.front()).path());
  EditFolder->setText(folder);
  EditOutFolder->setText(folder);
  WriteSettingString(QStringLiteral("FileFolder"), folder);
  ListBoxFiles->clear();
  ListBoxFiles->addItems(chosen);
  OutDialogFolder = folder;
}

void TFormMain::ButtonOutPathClick() {
  TFileDialogRequest request;
  request.Mode = TFileDialogMode::SaveFile;
  request.Title = tr("Select the output file folder");
  request.Folder = OutDialogFolder;
  request.FileName = tr("(file name is not required)");
  request.Filter = tr("WAV files (*.wav)|*.wav");
  request.ConfirmOverwrite = false; // only the folder of the answer is used
  const QStringList chosen = Desktop().AskFiles(this, request);
  if (chosen.isEmpty()) {
    return;
  }
  EditOutFolder->setText(WithSeparator(QFileInfo(chosen.front()).path()));
}

bool TFormMain::ScanInto(const QString& folder, std::vector<std::string>& files) {
  const TDisabledWindow disabled(this);
  TFormDirScan dialog(this);
  ShowEnabled(&dialog);
  if (!ScanFolder(folder.toStdString(), files, dialog, CheckBoxRecurse->isChecked())) {
    return false;
  }
  SortFileList(files);
  return true;
}

void TFormMain::ButtonScanClick() {
  if (EditFolder->text().isEmpty()) {
    ShowWarning(this, "Please, select folder where audio files reside!");
    return;
  }
  std::vector<std::string> files;
  if (ScanInto(EditFolder->text(), files)) {
    SetFileList(files);
  }
}

void TFormMain::ButtonClearListClick() {
  ListBoxFiles->clear();
}

void TFormMain::AddDroppedPaths(const QStringList& paths) {
  std::vector<std::string> files = FileList();
  for (const QString& path : paths) {
    const QFileInfo info(path);
    if (info.isDir()) {
      std::vector<std::string> found;
      if (!ScanInto(WithSeparator(info.absoluteFilePath()), found)) {
        break; // cancelled or failed: the rest of the drop is dropped too
      }
      files.insert(files.end(), found.begin(), found.end());
    } else if (info.isFile() && IsSupportedFile(info.fileName())) {
      files.push_back(info.absoluteFilePath().toStdString());
    }
  }
  SetFileList(files);
  // Output names are made relative to the input folder; a drop onto an empty
  // window provides one.
  if (EditFolder->text().isEmpty() && !paths.isEmpty()) {
    const QFileInfo first(paths.front());
    const QString folder = WithSeparator(first.isDir() ? first.absoluteFilePath() : first.absolutePath());
    EditFolder->setText(folder);
    if (EditOutFolder->text().isEmpty()) {
      EditOutFolder->setText(folder);
    }
  }
}

void TFormMain::OpenFocusedItem() {
  if (const QListWidgetItem* item = ListBoxFiles->currentItem()) {
    Desktop().OpenDocument(QUrl::fromLocalFile(item->text()));
  }
}

void TFormMain::DeleteSelectedItems() {
  const int focused = ListBoxFiles->currentRow();
  for (int i = ListBoxFiles->count() - 1; i >= 0; --i) {
    if (ListBoxFiles->item(i)->isSelected()) {
      delete ListBoxFiles->takeItem(i);
    }
  }
  const int next = std::min(focused, ListBoxFiles->count() - 1);
  if (next >= 0) {
    ListBoxFiles->setCurrentRow(next, QItemSelectionModel::ClearAndSelect);
  }
}

void TFormMain::ListBoxFilesKeyDown(int key) {
  if (key == Qt::Key_Delete) {
    DeleteSelectedItems();
  } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    OpenFocusedItem();
  }
}

void TFormMain::ListBoxFilesDblClick() {
  OpenFocusedItem();
}

TOptionControls TFormMain::ReadControls() const {
  TOptionControls controls;
  controls.TestTone = EditTT->text().toStdString();
  controls.ScanFolder = EditFolder->text().toStdString();
  controls.OutFolder = EditOutFolder->text().toStdString();
  controls.FileListEmpty = ListBoxFiles->count() == 0;
  controls.BitDepthIndex = ComboBoxBD->currentIndex();
  controls.Ignore = CheckBoxIgnore->isChecked();
  controls.Reversed = CheckBoxRev->isChecked();
  controls.Volume = CheckBoxVolume->isChecked();
  controls.VolumeText = EditVol->text().toStdString();
  controls.Normalize = CheckBoxNormalize->isChecked();
  controls.PreSilence = CheckBoxPS->isChecked();
  controls.PreSilenceText = EditPreSilence->text().toStdString();
  controls.LowCut = CheckBoxHPF->isChecked();
  controls.LowCutText = EditHPF->text().toStdString();
  controls.HighCut = CheckBoxLPF->isChecked();
  controls.HighCutText = EditLPF->text().toStdString();
  controls.MinPhase = CheckBoxMPT->isChecked();
  controls.NoRename = CheckBoxNoRename->isChecked();
  controls.CutSlopeIndex = ComboCutSlope->currentIndex();
  controls.ToneChannel = ComboToneChannel->currentIndex();
  return controls;
}

void TFormMain::FocusControl(TFocusControl control) {
  QWidget* target = nullptr;
  switch (control) {
  case TFocusControl::None: break;
  case TFocusControl::ButtonTT: target = ButtonTT; break;
  case TFocusControl::EditVol: target = EditVol; break;
  case TFocusControl::EditPreSilence: target = EditPreSilence; break;
  case TFocusControl::EditHPF: target = EditHPF; break;
  case TFocusControl::EditLPF: target = EditLPF; break;
  }
  if (target != nullptr) {
    target->setFocus();
  }
}

void TFormMain::ButtonProcessClick() {
  TProcessOptions options;
  const TValidationResult validation = ValidateOptions(ReadControls(), options);
  if (!validation.Ok) {
    ShowMessage(validation.Message);
    FocusControl(validation.Focus);
    return;
  }
  // The orders' levels assume the plain division of the recording by the tone.
  options.Harmonics = HarmonicOrderOf(ComboHarmonics);
  if (options.Harmonics > 0 && (options.Reversed || options.MinPhase)) {
    ShowMessage("Harmonics need the plain technique: turn off Reversed technique and MP Transform, or "
                "set Harmonics to Off.");
    ComboHarmonics->setFocus();
    return;
  }
  options.Jobs = SpinJobs->value();
  if (Running() || !LoadTestTone(Workspace, options, *this)) {
    return;
  }
  Worker->Start(
      FileList(), std::move(options), Workspace,
      [this](const std::vector<std::string>& list, std::exception_ptr error) { RunDone(list, error); });
}

bool TFormMain::Running() const {
  return Worker->Running();
}

void TFormMain::RunDone(const std::vector<std::string>& list, std::exception_ptr error) {
  RunEnded(); // the window must never stay disabled
  RunGuarded(this, [&] {
    if (error) {
      std::rethrow_exception(error);
    }
    SetFileList(list);
  });
  emit RunFinished();
}

void TFormMain::ButtonTTGenClick() {
  TFormTTGen dialog(this);
  dialog.exec();
}

void TFormMain::ButtonHelpClick() {
  const QString help = ReadSettingString(QStringLiteral("HelpIndex"));
  if (!help.isEmpty()) {
    Desktop().OpenDocument(DocumentUrl(help));
  }
}

void TFormMain::ButtonAboutClick() {
  TFormAbout about(this);
  about.exec();
}

QWidget* TFormMain::DialogParent() {
  return ProgressDialog ? static_cast<QWidget*>(ProgressDialog.get()) : this;
}

void TFormMain::RunStarted(int count) {
  setEnabled(false);
  ProgressDialog = std::make_unique<TFormProgress>(this);
  ProgressDialog->ProgressBar1->setMaximum(count);
  TCancelToken& cancel = Worker->Cancel();
  connect(ProgressDialog.get(), &TCancelDialog::CancelRequested, this, [&cancel] { cancel.Request(); });
  ShowEnabled(ProgressDialog.get());
  ResultsWindow->BeginRun();
  ShowEnabled(ResultsWindow); // usable while the run holds this window
}

void TFormMain::RunEnded() {
  ProgressDialog.reset();
  setEnabled(true);
}

void TFormMain::ShowProgress(const std::string& fileName, int position, int count) {
  if (ProgressDialog) {
    ProgressDialog->ShowFile(QString::fromStdString(fileName), position, count);
  }
}

bool TFormMain::AskYesNo(const std::string& text) {
  return Desktop().ShowMessageBox(DialogParent(), MessageCaption, QString::fromStdString(text),
                                  TMessageIcon::Warning, TMessageButtons::YesNo);
}

void TFormMain::ShowMessage(const std::string& text) {
  ShowWarning(DialogParent(), text);
}

void TFormMain::FileDone(const TFileResult& result) {
  ResultsWindow->AddResult(result);
}

} // namespace ravelin
