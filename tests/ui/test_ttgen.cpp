// The test tone generator dialog: defaults and stored settings, refused
// durations, proposed file names, and the files it writes.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "FrmTTGen.h"
#include "Tools.h"
#include "UiTestSupport.h"
#include "wavReader.h"

using namespace ravelin;
using namespace ravelin::test;

class TestTTGen : public TWindowTest {
  Q_OBJECT

private slots:
  void FirstOpeningShowsTheDefaults() {
    TFormTTGen dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Test Tone Generator"));
    QCOMPARE(dialog.ComboBoxBD->currentText(), QStringLiteral("24"));
    QCOMPARE(dialog.ComboBoxSR->currentText(), QStringLiteral("44100"));
    QCOMPARE(dialog.ComboBoxChn->currentText(), QStringLiteral("Mono"));
    QVERIFY(!dialog.CheckBoxFade->isChecked());
    QCOMPARE(dialog.EditDuration->text(), QStringLiteral("3.0"));
    QCOMPARE(dialog.ComboBoxSR->itemText(4), QStringLiteral("176200"));
  }

  void SettingsSurviveClosingEvenAnInvalidDuration() {
    {
      TFormTTGen dialog(nullptr);
      dialog.ComboBoxBD->setCurrentIndex(3);
      dialog.ComboBoxSR->setCurrentIndex(5);
      dialog.ComboBoxChn->setCurrentIndex(2);
      dialog.CheckBoxFade->setChecked(true);
      dialog.EditDuration->setText(QStringLiteral("3,0"));
      dialog.reject();
    }
    QCOMPARE(ReadSettingString(QStringLiteral("DefTTBitDepth")), QStringLiteral("3"));
    QCOMPARE(ReadSettingString(QStringLiteral("DefTTSampleRate")), QStringLiteral("5"));
    QCOMPARE(ReadSettingString(QStringLiteral("DefTTChannels")), QStringLiteral("2"));
    QCOMPARE(ReadSettingString(QStringLiteral("DefTTFade")), QStringLiteral("1"));
    QCOMPARE(ReadSettingString(QStringLiteral("DefTTDuration")), QStringLiteral("3,0"));
    WriteSettingString(QStringLiteral("DefTTFade"), QStringLiteral("7")); // any nonzero ticks
    TFormTTGen dialog(nullptr);
    QCOMPARE(dialog.ComboBoxBD->currentText(), QStringLiteral("32 float"));
    QCOMPARE(dialog.ComboBoxSR->currentText(), QStringLiteral("192000"));
    QCOMPARE(dialog.ComboBoxChn->currentText(), QStringLiteral("Stereo L"));
    QVERIFY(dialog.CheckBoxFade->isChecked());
    QCOMPARE(dialog.EditDuration->text(), QStringLiteral("3,0"));
  }

  void UnusableDurationsOnlyMoveTheFocus_data() {
    QTest::addColumn<QString>("text");
    for (const char* text : {"0", "-1", "abc", "3,0", "", "3s", "1e-60", "1e39", "-0"}) {
      QTest::newRow(text) << QString::fromLatin1(text);
    }
  }

  void UnusableDurationsOnlyMoveTheFocus() {
    QFETCH(QString, text);
    TFormTTGen dialog(nullptr);
    dialog.show();
    dialog.ButtonGen->setFocus();
    dialog.EditDuration->setText(text);
    dialog.ButtonGen->click();
    QCOMPARE(dialog.focusWidget(), static_cast<QWidget*>(dialog.EditDuration));
    QVERIFY(Scripted->FileRequests.empty());
    QVERIFY(Scripted->Messages.empty());
  }

  void TheProposedNameDescribesTheSweep_data() {
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("fade");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("name");
    QTest::newRow("stereo with fades") << 1 << 0 << 1 << true << "3.0"
                                       << "Sweep-44100-24-SLR-3.0s-fade.wav";
    QTest::newRow("whole seconds") << 0 << 1 << 0 << false << "10"
                                   << "Sweep-48000-16-M-10.0s.wav";
    QTest::newRow("float, left") << 3 << 4 << 2 << false << "2.25e0"
                                 << "Sweep-176200-32f-SL-2.2s.wav";
    QTest::newRow("integer 32, right") << 2 << 5 << 3 << true << "0.5"
                                       << "Sweep-192000-32-SR-0.5s-fade.wav";
  }

  void TheProposedNameDescribesTheSweep() {
    QFETCH(int, bits);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(bool, fade);
    QFETCH(QString, duration);
    QFETCH(QString, name);
    TFormTTGen dialog(nullptr);
    dialog.ComboBoxBD->setCurrentIndex(bits);
    dialog.ComboBoxSR->setCurrentIndex(rate);
    dialog.ComboBoxChn->setCurrentIndex(channels);
    dialog.CheckBoxFade->setChecked(fade);
    dialog.EditDuration->setText(duration);
    dialog.ButtonGen->click(); // cancelled save dialog: nothing written
    QCOMPARE(Scripted->FileRequests.size(), 1u);
    const TFileDialogRequest& request = Scripted->FileRequests[0];
    QCOMPARE(request.FileName, name);
    QCOMPARE(request.Title, QStringLiteral("Select the output file name"));
    QVERIFY(request.Mode == TFileDialogMode::SaveFile);
    QCOMPARE(request.DefaultSuffix, QStringLiteral("wav"));
    QCOMPARE(NameFilters(request.Filter), QStringList({QStringLiteral("WAV files (*.wav) (*.wav)")}));
    QVERIFY(ReadSettingString(QStringLiteral("DefTTFolder")).isEmpty());
  }

  void GenerateWritesTheChosenFormat() {
    QTemporaryDir folder;
    TFormTTGen dialog(nullptr);
    dialog.ComboBoxSR->setCurrentIndex(1);
    dialog.ComboBoxChn->setCurrentIndex(1);
    dialog.EditDuration->setText(QStringLiteral("0.1"));
    const QString floatFile = folder.filePath(QStringLiteral("float.wav"));
    const QString intFile = folder.filePath(QStringLiteral("int.wav"));
    dialog.ComboBoxBD->setCurrentIndex(3);
    Scripted->FileAnswers << QStringList{floatFile};
    dialog.ButtonGen->click();
    dialog.ComboBoxBD->setCurrentIndex(2);
    dialog.ComboBoxChn->setCurrentIndex(0);
    Scripted->FileAnswers << QStringList{intFile};
    dialog.ButtonGen->click();

    const TWAVReader floating(floatFile.toStdString());
    QCOMPARE(floating.FormatKind(), 3);
    QCOMPARE(floating.BitsPerSample(), 32);
    QCOMPARE(floating.Channels(), 2);
    QCOMPARE(floating.SampleRate(), 48000);
    const TWAVReader integer(intFile.toStdString());
    QCOMPARE(integer.FormatKind(), 1);
    QCOMPARE(integer.BitsPerSample(), 32);
    QCOMPARE(integer.Channels(), 1);
    // The second dialog started in the folder of the first file.
    QCOMPARE(Scripted->FileRequests[1].Folder, folder.path());
    QCOMPARE(ReadSettingString(QStringLiteral("DefTTFolder")), intFile);
    QVERIFY(Scripted->Messages.empty());
  }

  void AWriteErrorIsShownAndTheDialogStays() {
    TFormTTGen dialog(nullptr);
    dialog.show();
    dialog.EditDuration->setText(QStringLiteral("0.1"));
    Scripted->FileAnswers << QStringList{QStringLiteral("/nonexistent-folder/x.wav")};
    dialog.ButtonGen->click();
    QCOMPARE(Scripted->Messages.size(), 1u);
    QVERIFY(Scripted->Messages[0].Text.startsWith(QStringLiteral("010")));
    QVERIFY(Scripted->Messages[0].Icon == TMessageIcon::Error);
    QVERIFY(dialog.isVisible());
  }
};

QTEST_MAIN(TestTTGen)
#include "test_ttgen.moc"
