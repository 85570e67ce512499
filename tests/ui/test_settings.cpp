// The settings store and the main window's persistence: defaults of a first
// start, unusable stored values, a full round trip of every value, and the
// user/system scopes.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

#include <thread>

#include "FrmMain.h"
#include "Tools.h"
#include "UiTestSupport.h"

using namespace ravelin;
using namespace ravelin::test;

class TestSettings : public QObject {
  Q_OBJECT

private slots:
  void init() { Settings = std::make_unique<TTemporarySettings>(); }
  void cleanup() { Settings.reset(); }

  void IntegersAreWholeDecimalNumbers() {
    const struct {
      const char* Text;
      int Expected;
    } cases[] = {{"12", 12},  {"-3", -3},  {"+4", 4},          {"0", 0},    {"2147483647", 2147483647},
                 {"", 77},    {"abc", 77}, {"1.5", 77},        {" 5", 77},  {"5 ", 77},
                 {"6dB", 77}, {"+-1", 77}, {"2147483648", 77}, {"0x10", 77}};
    for (const auto& c : cases) {
      WriteSettingString(QStringLiteral("Value"), QString::fromLatin1(c.Text));
      QCOMPARE(ReadSettingInt(QStringLiteral("Value"), 77), c.Expected);
    }
    QCOMPARE(ReadSettingInt(QStringLiteral("Missing"), -5), -5);
    QCOMPARE(ReadSettingString(QStringLiteral("Missing")), QString());
    WriteSettingString(QStringLiteral("Index"), QStringLiteral("4"));
    QCOMPARE(ReadSettingIndex(QStringLiteral("Index"), 1, 4), 1);
    QCOMPARE(ReadSettingIndex(QStringLiteral("Index"), 1, 5), 4);
  }

  void WritesGoToTheUserAndReadsFallBackToTheSystem() {
    Settings->WriteSystemValue(QStringLiteral("HelpIndex"), QStringLiteral("/opt/help.html"));
    Settings->WriteSystemValue(QStringLiteral("DefBitDepth"), QStringLiteral("0"));
    QCOMPARE(ReadSettingString(QStringLiteral("HelpIndex")), QStringLiteral("/opt/help.html"));
    WriteSettingString(QStringLiteral("DefBitDepth"), QStringLiteral("2"));
    QCOMPARE(ReadSettingInt(QStringLiteral("DefBitDepth"), 1), 2);
    QVERIFY(QDir(Settings->UserFolder()).exists(QStringLiteral("Quorvant/Quorvant Ravelin.conf")));
    QSettings system(QSettings::SystemScope, QStringLiteral("Quorvant"), QStringLiteral("Quorvant Ravelin"));
    QCOMPARE(system.value(QStringLiteral("DefBitDepth")).toString(), QStringLiteral("0"));
  }

  void FirstStartShowsTheDefaults() {
    TFormMain form;
    QCOMPARE(form.ComboBoxBD->currentText(), QStringLiteral("24"));
    QVERIFY(form.CheckBoxIgnore->isChecked());
    for (QCheckBox* box :
         {form.CheckBoxRecurse, form.CheckBoxNoRename, form.CheckBoxVolume, form.CheckBoxPS, form.CheckBoxRev,
          form.CheckBoxMPT, form.CheckBoxNormalize, form.CheckBoxHPF, form.CheckBoxLPF}) {
      QVERIFY2(!box->isChecked(), qPrintable(box->text()));
    }
    for (QLineEdit* edit : {form.EditTT, form.EditFolder, form.EditOutFolder, form.EditVol,
                            form.EditPreSilence, form.EditHPF, form.EditLPF}) {
      QVERIFY(edit->text().isEmpty());
    }
    QCOMPARE(form.ComboCutSlope->currentText(), QStringLiteral("-12 dB/o"));
    QCOMPARE(form.ComboCutSlope->count(), 9);
    QCOMPARE(form.ComboToneChannel->currentText(), QStringLiteral("Auto"));
    QCOMPARE(form.ComboToneChannel->count(), 17);
    QCOMPARE(form.ReadControls().ToneChannel, 0);
    QCOMPARE(form.ComboHarmonics->currentText(), QStringLiteral("Off"));
    QCOMPARE(form.ComboHarmonics->count(), 10);
    QCOMPARE(form.ComboHarmonics->itemText(9), QStringLiteral("10"));
    QCOMPARE(form.SpinJobs->value(), static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    QCOMPARE(form.width(), 556); // the stored default 468 is below the minimum
    QCOMPARE(form.height(), 463);
    QVERIFY(!form.isMaximized());
    QCOMPARE(form.ListBoxFiles->count(), 0);
  }

  void UnusableStoredValuesFallBackToTheDefaults() {
    WriteSettingString(QStringLiteral("DefBitDepth"), QStringLiteral("abc"));
    WriteSettingString(QStringLiteral("DefIgnore"), QStringLiteral("yes"));
    WriteSettingString(QStringLiteral("DefCutSlope"), QStringLiteral("9"));
    WriteSettingString(QStringLiteral("DefToneChannel"), QStringLiteral("17"));
    WriteSettingString(QStringLiteral("DefHarmonics"), QStringLiteral("10"));
    WriteSettingString(QStringLiteral("DefWindowWidth"), QStringLiteral("-40"));
    WriteSettingString(QStringLiteral("DefJobs"), QStringLiteral("0"));
    TFormMain form;
    QCOMPARE(form.ComboBoxBD->currentIndex(), 1);
    QVERIFY(form.CheckBoxIgnore->isChecked());
    QCOMPARE(form.ComboCutSlope->currentIndex(), 0);
    QCOMPARE(form.ComboToneChannel->currentIndex(), 0);
    QCOMPARE(form.ComboHarmonics->currentIndex(), 0);
    QCOMPARE(form.SpinJobs->value(), static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    QCOMPARE(form.width(), 556);
  }

  void EveryValueSurvivesARestart() {
    {
      TFormMain form;
      form.show();
      form.resize(701, 522);
      form.ComboBoxBD->setCurrentIndex(3);
      form.CheckBoxRecurse->setChecked(true);
      form.CheckBoxIgnore->setChecked(false);
      form.CheckBoxVolume->setChecked(true);
      form.EditVol->setText(QStringLiteral("-6.5"));
      form.CheckBoxNormalize->setChecked(true);
      form.CheckBoxPS->setChecked(true);
      form.EditPreSilence->setText(QStringLiteral("0.25"));
      form.CheckBoxHPF->setChecked(true);
      form.EditHPF->setText(QStringLiteral("20"));
      form.CheckBoxLPF->setChecked(true);
      form.EditLPF->setText(QStringLiteral("abc")); // stored as typed
      form.CheckBoxRev->setChecked(true);
      form.CheckBoxMPT->setChecked(true);
      form.CheckBoxNoRename->setChecked(true);
      form.ComboCutSlope->setCurrentIndex(8);
      form.ComboToneChannel->setCurrentIndex(2);
      form.ComboHarmonics->setCurrentIndex(4);
      form.SpinJobs->setValue(7);
      form.EditTT->setText(QStringLiteral("/data/sweep.wav"));
      form.EditFolder->setText(QStringLiteral("/data/in/"));
      form.EditOutFolder->setText(QStringLiteral("/data/out/"));
      QVERIFY(form.close());
    }
    const struct {
      const char* Name;
      const char* Text;
    } stored[] = {{"DefWindowWidth", "701"},
                  {"DefWindowHeight", "522"},
                  {"DefBitDepth", "3"},
                  {"DefRecurse", "1"},
                  {"DefIgnore", "0"},
                  {"DefVolume", "1"},
                  {"DefEditVol", "-6.5"},
                  {"DefNormalize", "1"},
                  {"DefReversed", "1"},
                  {"DefMPT", "1"},
                  {"DefNoRename", "1"},
                  {"DefWindowMaxed", "0"},
                  {"DefTestTone", "/data/sweep.wav"},
                  {"DefPreSilence", "1"},
                  {"DefEditPreSilence", "0.25"},
                  {"DefHPF", "1"},
                  {"DefEditHPF", "20"},
                  {"DefLPF", "1"},
                  {"DefEditLPF", "abc"},
                  {"DefCutSlope", "8"},
                  {"DefToneChannel", "2"},
                  {"DefHarmonics", "4"},
                  {"DefJobs", "7"}};
    for (const auto& value : stored) {
      QCOMPARE(ReadSettingString(QLatin1String(value.Name)), QLatin1String(value.Text));
    }

    TFormMain form;
    QCOMPARE(form.size(), QSize(701, 522));
    QCOMPARE(form.ComboBoxBD->currentText(), QStringLiteral("32 float"));
    QVERIFY(form.CheckBoxRecurse->isChecked());
    QVERIFY(!form.CheckBoxIgnore->isChecked());
    QVERIFY(form.CheckBoxVolume->isChecked());
    QCOMPARE(form.EditVol->text(), QStringLiteral("-6.5"));
    QVERIFY(form.CheckBoxNormalize->isChecked());
    QVERIFY(form.CheckBoxPS->isChecked());
    QCOMPARE(form.EditPreSilence->text(), QStringLiteral("0.25"));
    QVERIFY(form.CheckBoxHPF->isChecked());
    QCOMPARE(form.EditHPF->text(), QStringLiteral("20"));
    QVERIFY(form.CheckBoxLPF->isChecked());
    QCOMPARE(form.EditLPF->text(), QStringLiteral("abc"));
    QVERIFY(form.CheckBoxRev->isChecked());
    QVERIFY(form.CheckBoxMPT->isChecked());
    QVERIFY(form.CheckBoxNoRename->isChecked());
    QCOMPARE(form.ComboCutSlope->currentText(), QStringLiteral("Max"));
    QCOMPARE(form.ReadControls().ToneChannel, 2);
    QCOMPARE(form.ComboHarmonics->currentText(), QStringLiteral("5"));
    QCOMPARE(form.SpinJobs->value(), 7);
    QCOMPARE(form.EditTT->text(), QStringLiteral("/data/sweep.wav"));
    // The folders start empty at every program start.
    QVERIFY(form.EditFolder->text().isEmpty());
    QVERIFY(form.EditOutFolder->text().isEmpty());
  }

  void AMaximisedWindowKeepsItsRestoredSize() {
    WriteSettingString(QStringLiteral("DefWindowMaxed"), QStringLiteral("1"));
    WriteSettingString(QStringLiteral("DefWindowWidth"), QStringLiteral("640"));
    {
      TFormMain form;
      QVERIFY(form.isMaximized());
      form.show();
      QVERIFY(form.close());
    }
    QCOMPARE(ReadSettingString(QStringLiteral("DefWindowMaxed")), QStringLiteral("1"));
    QCOMPARE(ReadSettingString(QStringLiteral("DefWindowWidth")), QStringLiteral("640"));
  }

  void AWindowThatIsBusyDoesNotClose() {
    TFormMain form;
    form.show();
    form.setEnabled(false);
    QVERIFY(!form.close());
    QVERIFY(ReadSettingString(QStringLiteral("DefBitDepth")).isEmpty());
    form.setEnabled(true);
    QVERIFY(form.close());
    QCOMPARE(ReadSettingString(QStringLiteral("DefBitDepth")), QStringLiteral("1"));
  }

private:
  std::unique_ptr<TTemporarySettings> Settings;
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
