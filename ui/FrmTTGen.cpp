#include "FrmTTGen.h"

#include <cstdio>

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "Desktop.h"
#include "Tools.h"
#include "numberText.h"

namespace ravelin {

namespace {

struct TChannelLayout {
  const char* Tag; // in the proposed file name
  int32_t ChannelCount;
  bool LeftOn;
  bool RightOn;
};
// "Mono", "Stereo LR", "Stereo L"; every other index is "Stereo R".
constexpr TChannelLayout ChannelLayouts[] = {
    {"M", 1, true, false}, {"SLR", 2, true, true}, {"SL", 2, true, false}, {"SR", 2, false, true}};

struct TBitDepth {
  const char* Tag; // in the proposed file name
  int32_t Bits;
};
// "16", "24", "32"; every other index is "32 float".
constexpr TBitDepth BitDepths[] = {{"16", 16}, {"24", 24}, {"32", 32}, {"32f", 32}};
constexpr int FloatIndex = 3;

template <typename T, std::size_t N> const T& ItemOf(const T (&table)[N], int index) {
  constexpr int last = static_cast<int>(N) - 1;
  return table[index >= 0 && index < last ? index : last];
}

QComboBox* DropDownList(QWidget* parent, const QStringList& items) {
  auto* combo = new QComboBox(parent);
  combo->addItems(items);
  return combo;
}

} // namespace

TFormTTGen::TFormTTGen(QWidget* parent) :
    QDialog(parent), ComboBoxBD(DropDownList(this, {QStringLiteral("16"), QStringLiteral("24"),
                                                    QStringLiteral("32"), QStringLiteral("32 float")})),
    // The fifth rate is 176200 Hz as listed; the item text is the rate written.
    ComboBoxSR(
        DropDownList(this, {QStringLiteral("44100"), QStringLiteral("48000"), QStringLiteral("88200"),
                            QStringLiteral("96000"), QStringLiteral("176200"), QStringLiteral("192000")})),
    ComboBoxChn(DropDownList(this, {tr("Mono"), tr("Stereo LR"), tr("Stereo L"), tr("Stereo R")})),
    EditDuration(new QLineEdit(this)),
    CheckBoxFade(new QCheckBox(tr("&Apply fade-in and fade-out (for reversed technique)"), this)),
    ButtonGen(new QPushButton(tr("&Generate"), this)) {
  setWindowTitle(tr("Test Tone Generator"));
  auto* form = new QFormLayout;
  form->addRow(tr("&Out bit depth:"), ComboBoxBD);
  form->addRow(tr("&Sample Rate:"), ComboBoxSR);
  form->addRow(tr("&Channels:"), ComboBoxChn);
  form->addRow(tr("&Duration (sec):"), EditDuration);
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addLayout(form);
  layout->addWidget(CheckBoxFade);
  layout->addWidget(ButtonGen, 0, Qt::AlignRight);
  QFont bold = ButtonGen->font();
  bold.setBold(true);
  ButtonGen->setFont(bold);
  ButtonGen->setDefault(true);
  connect(ButtonGen, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { ButtonGenClick(); }); });
  FormCreate();
}

void TFormTTGen::FormCreate() {
  ComboBoxBD->setCurrentIndex(ReadSettingIndex(QStringLiteral("DefTTBitDepth"), 1, ComboBoxBD->count()));
  ComboBoxSR->setCurrentIndex(ReadSettingIndex(QStringLiteral("DefTTSampleRate"), 0, ComboBoxSR->count()));
  ComboBoxChn->setCurrentIndex(ReadSettingIndex(QStringLiteral("DefTTChannels"), 0, ComboBoxChn->count()));
  CheckBoxFade->setChecked(ReadSettingInt(QStringLiteral("DefTTFade"), 0) != 0);
  const QString duration = ReadSettingString(QStringLiteral("DefTTDuration"));
  EditDuration->setText(duration.isEmpty() ? QStringLiteral("3.0") : duration);
}

void TFormTTGen::FormClose() {
  WriteSettingInt(QStringLiteral("DefTTBitDepth"), ComboBoxBD->currentIndex());
  WriteSettingInt(QStringLiteral("DefTTSampleRate"), ComboBoxSR->currentIndex());
  WriteSettingInt(QStringLiteral("DefTTChannels"), ComboBoxChn->currentIndex());
  WriteSettingBool(QStringLiteral("DefTTFade"), CheckBoxFade->isChecked());
  WriteSettingString(QStringLiteral("DefTTDuration"), EditDuration->text());
}

void TFormTTGen::done(int result) {
  FormClose();
  QDialog::done(result);
}

TSweepSettings TFormTTGen::SweepSettings(float duration) const {
  const TChannelLayout& channels = ItemOf(ChannelLayouts, ComboBoxChn->currentIndex());
  TSweepSettings settings;
  settings.SampleRate = ComboBoxSR->currentText().toInt();
  settings.BitDepth = ItemOf(BitDepths, ComboBoxBD->currentIndex()).Bits;
  settings.Duration = static_cast<double>(duration);
  settings.ChannelCount = channels.ChannelCount;
  settings.Fades = CheckBoxFade->isChecked();
  settings.FloatOutput = ComboBoxBD->currentIndex() == FloatIndex;
  settings.LeftOn = channels.LeftOn;
  settings.RightOn = channels.RightOn;
  return settings;
}

QString TFormTTGen::ProposedFileName(float duration) const {
  // "%.1f" (ties to even on the exact binary value), with the system's decimal separator.
  char seconds[64];
  std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(duration));
  const QString secondsText =
      QString::fromLatin1(seconds).replace(QLatin1Char('.'), QLocale().decimalPoint());
  return QStringLiteral("Sweep-%1-%2-%3-%4s%5")
      .arg(ComboBoxSR->currentText(), QLatin1String(ItemOf(BitDepths, ComboBoxBD->currentIndex()).Tag),
           QLatin1String(ItemOf(ChannelLayouts, ComboBoxChn->currentIndex()).Tag), secondsText,
           CheckBoxFade->isChecked() ? QStringLiteral("-fade.wav") : QStringLiteral(".wav"));
}

void TFormTTGen::ButtonGenClick() {
  // Whole text as a positive number in single precision.
  float duration = 0.0f;
  if (!ParseSingle(EditDuration->text().toStdString(), duration) || !(duration > 0.0f)) {
    EditDuration->setFocus();
    return;
  }

  TFileDialogRequest request;
  request.Mode = TFileDialogMode::SaveFile;
  request.Title = tr("Select the output file name");
  request.Filter = tr("WAV files (*.wav)|*.wav");
  request.DefaultSuffix = QStringLiteral("wav");
  request.FileName = ProposedFileName(duration);
  const QString lastFile = ReadSettingString(QStringLiteral("DefTTFolder"));
  if (!lastFile.isEmpty()) {
    request.Folder = QFileInfo(lastFile).path();
  }
  const QStringList chosen = Desktop().AskFiles(this, request);
  if (chosen.isEmpty()) {
    return;
  }
  WriteSettingString(QStringLiteral("DefTTFolder"), chosen.front());
  GenerateSweep(chosen.front().toStdString(), SweepSettings(duration));
}

} // namespace ravelin
