// Documentation aid (not part of the program): shows the main window with a
// list of recordings, the test tone generator and the progress dialog, and
// saves a picture of each into the folder given as the argument. Settings go
// to a temporary folder, so the user's own are neither read nor changed.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>

#include "FrmAbout.h"
#include "FrmMain.h"
#include "FrmProgress.h"
#include "FrmTTGen.h"

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
  return ok ? 0 : 1;
}
