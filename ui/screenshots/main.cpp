// Documentation aid (not part of the program): shows the main window with a
// list of recordings, the test tone generator and the progress dialog, and
// the results window after a real run over two synthetic measurements (and
// its room tab for one of them), and saves a picture of each into the folder given as the argument. Settings
// go to a temporary folder, so the user's own are neither read nor changed.
#include <QApplication>
#include <QItemSelectionModel>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <random>
#include <tuple>
#include <utility>

#include "FrmAbout.h"
#include "FrmMain.h"
#include "FrmProgress.h"
#include "FrmResults.h"
#include "FrmTTGen.h"
#include "RoomPanel.h"
#include "fft.h"
#include "sweep.h"
#include "wavReader.h"
#include "wavWriter32.h"

namespace {

bool Save(QWidget& window, const QString& path) {
  window.show();
  for (int i = 0; i < 10; ++i) {
    QApplication::processEvents();
  }
  const bool saved = window.grab().save(path);
  std::printf("%s %s (%dx%d)\n", saved ? "saved" : "FAILED", qPrintable(path), window.width(),
              window.height());
  return saved;
}

void FillExample(ravelin::TFormMain& form) {
  const QString root = QStringLiteral("/home/user/measurements/hall/");
  form.EditTT->setText(QStringLiteral("/home/user/measurements/Sweep-48000-24-M-10.0s.wav"));
  form.EditFolder->setText(root);
  form.EditOutFolder->setText(root + QStringLiteral("responses/"));
  std::vector<std::string> files;
  for (const char* name : {"row-01/seat-A.wav", "row-01/seat-B.wav", "row-05/seat-A.wav", "row-05/seat-B.wav",
                           "row-09/seat-A.wav", "row-09/seat-B.wav", "stage-left.aiff", "stage-right.aiff"}) {
    files.push_back((root + QLatin1String(name)).toStdString());
  }
  form.SetFileList(files);
  form.CheckBoxRecurse->setChecked(true);
  form.CheckBoxHPF->setChecked(true);
  form.EditHPF->setText(QStringLiteral("20"));
  form.CheckBoxPS->setChecked(true);
  form.EditPreSilence->setText(QStringLiteral("0.01"));
}

constexpr int32_t Rate = 48000;

// A seat of a synthetic room: the direct sound after delayMs, two early
// reflections and a diffuse tail decaying by 60 dB in half a second.
std::vector<double> RoomResponse(double delayMs, unsigned seed) {
  std::vector<double> response(Rate * 6 / 5, 0.0);
  const auto at = [](double ms) { return static_cast<size_t>(ms * Rate / 1000.0); };
  response[at(delayMs)] = 0.25;
  response[at(delayMs + 3.1)] = 0.1;
  response[at(delayMs + 7.3)] = -0.08;
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 0.004);
  for (size_t i = at(delayMs + 2.0); i < response.size(); ++i)
    response[i] += noise(random) * std::exp(-6.9 * static_cast<double>(i - at(delayMs)) / (0.5 * Rate));
  return response;
}

// tone through response, 1.5 s longer than the tone, with noise 80 dB down.
std::vector<float> Record(const std::vector<float>& tone, const std::vector<double>& response) {
  const ravelin::TFastFourierTransform fft(18);
  std::vector<double> a(static_cast<size_t>(fft.Size()), 0.0), b(a.size(), 0.0);
  std::copy(tone.begin(), tone.end(), a.begin());
  std::copy(response.begin(), response.end(), b.begin());
  fft.Forward(a.data());
  fft.Forward(b.data());
  fft.Multiply(a.data(), b.data());
  fft.Inverse(a.data());
  std::vector<float> recording(tone.size() + Rate * 3 / 2);
  std::mt19937 random(1);
  std::normal_distribution<double> noise(0.0, 1e-4);
  for (size_t i = 0; i < recording.size(); ++i)
    recording[i] = static_cast<float>(a[i] * fft.InverseScale() + noise(random));
  return recording;
}

void WriteFloat(const std::string& path, const std::vector<float>& samples) {
  ravelin::TWAVWriter writer;
  writer.FormatKind = 3;
  writer.Channels = 1;
  writer.SampleRate = Rate;
  writer.BitsPerSample = 32;
  writer.BlockAlign = 4;
  writer.Open(path);
  const float* channels[] = {samples.data()};
  writer.WriteFrames(channels, static_cast<int32_t>(samples.size()));
  writer.Close();
}

// The sweep and the recordings of two seats in folder; returns the recordings.
std::vector<std::string> WriteMeasurements(const std::string& folder) {
  ravelin::TSweepSettings settings;
  settings.SampleRate = Rate;
  settings.FloatOutput = true;
  settings.Fades = true;
  ravelin::GenerateSweep(folder + "sweep.wav", settings);
  ravelin::TWAVReader reader(folder + "sweep.wav");
  std::vector<float> tone(static_cast<size_t>(reader.FrameCount()));
  float* channels[] = {tone.data()};
  reader.ReadFrames(channels, static_cast<int32_t>(tone.size()));
  std::vector<std::string> recordings;
  for (const auto& [name, delayMs, seed] :
       {std::tuple("seat-A.wav", 6.0, 11u), std::tuple("seat-B.wav", 11.5, 12u)}) {
    recordings.push_back(folder + name);
    WriteFloat(recordings.back(), Record(tone, RoomResponse(delayMs, seed)));
  }
  return recordings;
}

// Runs the window over the measurements and saves the results window with
// both seats selected, on three of its plots, and with the first seat on the
// room tab.
bool SaveResults(const QDir& out) {
  QTemporaryDir folder;
  const std::string in = folder.path().toStdString() + "/";
  const std::vector<std::string> recordings = WriteMeasurements(in);
  ravelin::TFormMain form;
  form.EditTT->setText(QString::fromStdString(in + "sweep.wav"));
  form.EditFolder->setText(folder.path() + QLatin1Char('/'));
  form.EditOutFolder->setText(folder.path() + QLatin1Char('/'));
  form.SetFileList(recordings);
  form.ButtonProcess->click();
  while (form.Running())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  ravelin::TFormResults& results = *form.Results();
  results.resize(1000, 700);
  results.Table->selectAll();
  bool ok = true;
  for (const auto& [kind, name] : {std::pair(ravelin::TPlotKind::Magnitude, "results-magnitude.png"),
                                   std::pair(ravelin::TPlotKind::Etc, "results-etc.png"),
                                   std::pair(ravelin::TPlotKind::Impulse, "results-impulse.png")}) {
    results.Tabs->setCurrentIndex(static_cast<int>(kind));
    ok &= Save(results, out.filePath(QLatin1String(name)));
  }
  results.Table->selectRow(0);
  results.Tabs->setCurrentWidget(results.Room);
  for (const int band : {1, 4, 6}) // 125 Hz, 1 kHz, 4 kHz
    results.Room->Table->selectionModel()->select(results.Room->Table->model()->index(band, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  ok &= Save(results, out.filePath(QStringLiteral("results-room.png")));
  return ok;
}

} // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: ravelin-screenshots <output folder>\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QTemporaryDir settings;
  for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
    QSettings::setPath(QSettings::NativeFormat, scope, settings.path());
  }

  bool ok = true;
  ravelin::TFormMain form;
  FillExample(form);
  form.resize(form.minimumSize());
  ok &= Save(form, out.filePath(QStringLiteral("main-window.png")));
  form.CheckBoxVolume->setChecked(true);
  form.EditVol->setText(QStringLiteral("-6"));
  form.resize(760, 560);
  ok &= Save(form, out.filePath(QStringLiteral("main-window-large.png")));

  ravelin::TFormTTGen generator(&form);
  ok &= Save(generator, out.filePath(QStringLiteral("tone-generator.png")));
  generator.hide();

  ravelin::TFormProgress progress(&form);
  progress.ShowFile(QStringLiteral("seat-B.wav"), 3, 8);
  ok &= Save(progress, out.filePath(QStringLiteral("progress.png")));
  progress.hide();

  ravelin::TFormAbout about(&form);
  ok &= Save(about, out.filePath(QStringLiteral("about.png")));
  about.hide();
  form.hide();

  ok &= SaveResults(out);
  return ok ? 0 : 1;
}
