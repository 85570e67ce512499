// Processing runs driven through the main window: the per-file question, the
// disabled window with its progress dialog, Cancel, and the rewritten list.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "FrmMain.h"
#include "FrmProgress.h"
#include "UiTestSupport.h"
#include "engineTestSupport.h"

using namespace ravelin;
using namespace ravelin::test;

class TestProcess : public TWindowTest {
  Q_OBJECT

private slots:
  void initTestCase() {
    QVERIFY(Folder.isValid());
    In = Folder.path() + QStringLiteral("/in/");
    QVERIFY(QDir().mkpath(In));
    const std::string in = In.toStdString();
    const std::vector<float> tone = test::MakeTestTone(in + "tone.wav", 8000, 4000);
    test::WriteFloatWav(in + "r1.wav", {tone}, 8000);
    test::WriteFloatWav(in + "r3.wav", {tone}, 8000);
    test::WriteTextFile(in + "bad.wav", "this is not a recording");
  }

  void init() {
    TWindowTest::init();
    Out = std::make_unique<QTemporaryDir>();
  }
  void cleanup() {
    Out.reset();
    TWindowTest::cleanup();
  }

  void YesKeepsTheFailedFileAndGoesOn() {
    TFormMain form;
    form.show();
    Prepare(form, {"r1.wav", "bad.wav", "r3.wav"});
    bool asked = false;
    Scripted->OnMessage = [&](const TMessageRecord& message) {
      // The question comes while the run holds the window.
      TFormProgress* progress = form.Progress();
      asked = progress != nullptr && !form.isEnabled() && progress->isVisible() && progress->isEnabled() &&
              progress->LabelFile->text() == QLatin1String("bad.wav") &&
              progress->ProgressBar1->value() == 1 && progress->ProgressBar1->maximum() == 3;
      return message.Buttons == TMessageButtons::YesNo;
    };
    QVERIFY(ProcessAndWait(form));
    QVERIFY(asked);
    QCOMPARE(Scripted->Messages.size(), 1u);
    QCOMPARE(Scripted->Messages[0].Caption, QStringLiteral("Quorvant Ravelin"));
    QVERIFY(Scripted->Messages[0].Text.startsWith(QStringLiteral("Error occured while processing file\r") +
                                                  In + QStringLiteral("bad.wav")));
    QCOMPARE(Items(form), QStringList({In + QStringLiteral("bad.wav")}));
    QVERIFY(QFile::exists(Out->filePath(QStringLiteral("r1_rv.wav"))));
    QVERIFY(QFile::exists(Out->filePath(QStringLiteral("r3_rv.wav"))));
    QVERIFY(form.isEnabled());
    QVERIFY(form.Progress() == nullptr);
  }

  void NoStopsTheRunAtTheFailedFile() {
    TFormMain form;
    Prepare(form, {"r1.wav", "bad.wav", "r3.wav"});
    form.SpinJobs->setValue(3); // r3 is under way when the question comes
    Scripted->OnMessage = [](const TMessageRecord&) { return false; };
    QVERIFY(ProcessAndWait(form));
    QCOMPARE(Items(form), QStringList({In + QStringLiteral("bad.wav"), In + QStringLiteral("r3.wav")}));
    QVERIFY(QFile::exists(Out->filePath(QStringLiteral("r1_rv.wav"))));
    QVERIFY(!QFile::exists(Out->filePath(QStringLiteral("r3_rv.wav"))));
    QVERIFY(form.isEnabled());
  }

  void CancelStopsBeforeTheNextFile() {
    TFormMain form;
    form.show();
    Prepare(form, {"bad.wav", "r1.wav", "r3.wav"});
    Scripted->OnMessage = [&form](const TMessageRecord&) {
      form.Progress()->Button1->click();
      return true;
    };
    QVERIFY(ProcessAndWait(form));
    QCOMPARE(Items(form), QStringList({In + QStringLiteral("bad.wav"), In + QStringLiteral("r1.wav"),
                                       In + QStringLiteral("r3.wav")}));
    QVERIFY(!QFile::exists(Out->filePath(QStringLiteral("r1_rv.wav"))));
    QVERIFY(form.isEnabled());
  }

  void AnOutputFolderThatCannotBeMadeKeepsTheList() {
    TFormMain form;
    Prepare(form, {"r1.wav", "r3.wav"});
    WriteFile(Out->filePath(QStringLiteral("plain-file")));
    form.EditOutFolder->setText(Out->filePath(QStringLiteral("plain-file/sub/")));
    QVERIFY(ProcessAndWait(form));
    QCOMPARE(Scripted->Messages.size(), 1u);
    QCOMPARE(Scripted->Messages[0].Text, QStringLiteral("Unable to create output folder!"));
    QVERIFY(Scripted->Messages[0].Icon == TMessageIcon::Error);
    QCOMPARE(Items(form), QStringList({In + QStringLiteral("r1.wav"), In + QStringLiteral("r3.wav")}));
    QVERIFY(form.isEnabled());
    QVERIFY(form.Progress() == nullptr);
  }

private:
  void Prepare(TFormMain& form, std::initializer_list<const char*> names) {
    PrepareRun(form, In, Out->path() + QLatin1Char('/'), names);
  }

  QTemporaryDir Folder;
  QString In;
  std::unique_ptr<QTemporaryDir> Out;
};

QTEST_MAIN(TestProcess)
#include "test_process.moc"
