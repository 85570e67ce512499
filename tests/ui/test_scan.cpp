// Folder scans from the main window: sorting, ignored extensions, recursion,
// empty and missing folders, Cancel, and the scan and progress dialogs.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "FrmDirScan.h"
#include "FrmMain.h"
#include "FrmProgress.h"
#include "UiTestSupport.h"

using namespace ravelin;
using namespace ravelin::test;

class TestScan : public TWindowTest {
  Q_OBJECT

private slots:
  void init() {
    TWindowTest::init();
    Folder = std::make_unique<QTemporaryDir>();
    Root = Folder->path() + QLatin1Char('/');
    for (const char* name :
         {"b.WAV", "a.wav", "c.aiff", "d.aifc", "e.w64", "f.bwf", "x/z.wav", "x/y/deep.AIF", "empty/.keep"}) {
      QVERIFY(QDir(Root).mkpath(QFileInfo(Root + QLatin1String(name)).path()));
      WriteFile(Root + QLatin1String(name));
    }
  }
  void cleanup() {
    Folder.reset();
    TWindowTest::cleanup();
  }

  void AScanListsTheRecordingsSorted() {
    TFormMain form;
    form.SetFileList({"/old.wav"});
    form.EditFolder->setText(Root);
    form.ButtonScan->click();
    QCOMPARE(Items(form), QStringList({Root + "a.wav", Root + "b.WAV", Root + "c.aiff"}));
    QVERIFY(Scripted->Messages.empty());
    QVERIFY(form.isEnabled());
    QVERIFY(form.findChildren<TFormDirScan*>().isEmpty());
  }

  void SubfoldersAreScannedOnlyWhenAsked() {
    TFormMain form;
    form.EditFolder->setText(Root);
    form.CheckBoxRecurse->setChecked(true);
    form.ButtonScan->click();
    QCOMPARE(Items(form), QStringList({Root + "a.wav", Root + "b.WAV", Root + "c.aiff", Root + "x/y/deep.AIF",
                                       Root + "x/z.wav"}));
  }

  void AnEmptyFolderEmptiesTheList() {
    TFormMain form;
    form.SetFileList({"/old.wav"});
    form.EditFolder->setText(Root + QStringLiteral("empty/"));
    form.ButtonScan->click();
    QCOMPARE(form.ListBoxFiles->count(), 0);
    QVERIFY(Scripted->Messages.empty());
  }

  void AMissingFolderIsAnErrorAndKeepsTheList() {
    TFormMain form;
    form.SetFileList({"/old.wav"});
    form.EditFolder->setText(Root + QStringLiteral("missing/"));
    form.ButtonScan->click();
    QCOMPARE(Scripted->Messages.size(), 1u);
    QCOMPARE(Scripted->Messages[0].Caption, QStringLiteral("Error"));
    QCOMPARE(Scripted->Messages[0].Text, QStringLiteral("Error locating files!"));
    QVERIFY(Scripted->Messages[0].Icon == TMessageIcon::Error);
    QCOMPARE(Items(form), QStringList({QStringLiteral("/old.wav")}));
    QVERIFY(form.isEnabled());
  }

  void NoFolderChosenAsksForOne() {
    TFormMain form;
    form.ButtonScan->click();
    QCOMPARE(Scripted->Messages.size(), 1u);
    QCOMPARE(Scripted->Messages[0].Text, QStringLiteral("Please, select folder where audio files reside!"));
    QCOMPARE(Scripted->Messages[0].Caption, QStringLiteral("Quorvant Ravelin"));
  }

  void CancelLeavesTheListAndReenablesTheWindow() {
    TFormMain form;
    form.show();
    form.SetFileList({"/old.wav"});
    form.EditFolder->setText(Root);
    form.CheckBoxRecurse->setChecked(true);
    bool checked = false;
    // Runs inside the scan's first event pump, as a user's click would.
    QTimer::singleShot(0, &form, [&] {
      auto* dialog = form.findChild<TFormDirScan*>();
      QVERIFY(dialog != nullptr);
      QVERIFY(!form.isEnabled());
      QVERIFY(dialog->isVisible() && dialog->isEnabled());
      QCOMPARE(dialog->windowTitle(), QStringLiteral("Quorvant Ravelin"));
      QCOMPARE(dialog->LabelFolder->toolTip(), Root);
      dialog->Button1->click();
      checked = true;
    });
    form.ButtonScan->click();
    QVERIFY(checked);
    QCOMPARE(Items(form), QStringList({QStringLiteral("/old.wav")}));
    QVERIFY(form.isEnabled());
    QVERIFY(Scripted->Messages.empty());
  }

  void EscapeCancelsWithoutClosing() {
    TFormProgress progress(nullptr);
    progress.show();
    QVERIFY(!progress.Cancelled());
    QTest::keyClick(&progress, Qt::Key_Escape);
    QVERIFY(progress.Cancelled());
    QVERIFY(progress.isVisible());
    progress.ShowFile(QStringLiteral("take 3.wav"), 2, 10);
    QCOMPARE(progress.LabelFile->text(), QStringLiteral("take 3.wav"));
    QCOMPARE(progress.ProgressBar1->value(), 2);
    QCOMPARE(progress.ProgressBar1->maximum(), 10);
  }

private:
  std::unique_ptr<QTemporaryDir> Folder;
  QString Root;
};

QTEST_MAIN(TestScan)
#include "test_scan.moc"
