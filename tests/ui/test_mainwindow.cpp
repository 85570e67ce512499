// The main window's controls and handlers: visibility rule, validation
// messages with their focus, the file dialogs, the list's keys, help, about
// and drops.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "FrmAbout.h"
#include "FrmMain.h"
#include "Tools.h"
#include "UiTestSupport.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {

void FillList(TFormMain& form, int count) {
  std::vector<std::string> files;
  for (int i = 0; i < count; ++i) {
    files.push_back("/rec/" + std::to_string(i) + ".wav");
  }
  form.SetFileList(files);
}

void Select(TFormMain& form, std::initializer_list<int> rows, int focused) {
  form.ListBoxFiles->setCurrentRow(focused, QItemSelectionModel::NoUpdate);
  form.ListBoxFiles->clearSelection();
  for (int row : rows) {
    form.ListBoxFiles->item(row)->setSelected(true);
  }
}

QList<int> SelectedRows(const TFormMain& form) {
  QList<int> rows;
  for (int i = 0; i < form.ListBoxFiles->count(); ++i) {
    if (form.ListBoxFiles->item(i)->isSelected()) {
      rows << i;
    }
  }
  return rows;
}

} // namespace

class TestMainWindow : public TWindowTest {
  Q_OBJECT

private slots:
  void VisibilityFollowsTheCheckBoxes() {
    TFormMain form;
    form.show();
    const auto visible = [&form](QWidget* widget) { return widget->isVisibleTo(&form); };
    QVERIFY(!visible(form.EditVol));
    QVERIFY(visible(form.CheckBoxNormalize));
    QVERIFY(!visible(form.EditPreSilence) && !visible(form.EditHPF) && !visible(form.EditLPF));
    form.CheckBoxVolume->click();
    QVERIFY(visible(form.EditVol));
    QVERIFY(!visible(form.CheckBoxNormalize));
    form.CheckBoxVolume->click();
    QVERIFY(!visible(form.EditVol));
    QVERIFY(visible(form.CheckBoxNormalize));
    form.CheckBoxPS->click();
    form.CheckBoxHPF->click();
    QVERIFY(visible(form.EditPreSilence) && visible(form.EditHPF) && !visible(form.EditLPF));
    form.CheckBoxLPF->click();
    QVERIFY(visible(form.EditLPF));
    // The stored states apply the same rule at creation.
    WriteSettingBool(QStringLiteral("DefVolume"), true);
    WriteSettingBool(QStringLiteral("DefLPF"), true);
    TFormMain restored;
    restored.show();
    QVERIFY(restored.EditVol->isVisibleTo(&restored));
    QVERIFY(!restored.CheckBoxNormalize->isVisibleTo(&restored));
    QVERIFY(restored.EditLPF->isVisibleTo(&restored));
    QVERIFY(!restored.EditHPF->isVisibleTo(&restored));
  }

  void ValidationFailuresShowTheirMessageAndFocus_data() {
    QTest::addColumn<bool>("testTone");
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("volume");
    QTest::addColumn<QString>("preSilence");
    QTest::addColumn<QString>("lowCut");
    QTest::addColumn<QString>("highCut");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QString none;
    QTest::newRow("no test tone") << false << 2 << none << none << none << none
                                  << "Please select test tone file first!"
                                  << "ButtonTT";
    QTest::newRow("empty list") << true << 0 << none << none << none << none << "Please scan folders first!"
                                << "ButtonProcess";
    QTest::newRow("volume with letters")
        << true << 2 << "6dB" << none << none << none << "Invalid normalize value specified!"
        << "EditVol";
    QTest::newRow("negative silence")
        << true << 2 << none << "-0.1" << none << none << "Invalid pre silence value specified!"
        << "EditPreSilence";
    QTest::newRow("low cut below 0.1")
        << true << 2 << none << none << "0.05" << none
        << "Invalid Low Cut value specified!\r\r(should be Hertz cutoff frequency above 0.1)"
        << "EditHPF";
    QTest::newRow("high cut equal to low cut")
        << true << 2 << none << none << "100"
        << "100"
        << "Invalid High Cut value specified!\r\r(should be Hertz cutoff frequency above Low Cut)"
        << "EditLPF";
  }

  void ValidationFailuresShowTheirMessageAndFocus() {
    QFETCH(bool, testTone);
    QFETCH(int, files);
    QFETCH(QString, volume);
    QFETCH(QString, preSilence);
    QFETCH(QString, lowCut);
    QFETCH(QString, highCut);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    TFormMain form;
    form.show();
    form.EditTT->setText(testTone ? QStringLiteral("/nowhere/sweep.wav") : QString());
    FillList(form, files);
    const auto setOption = [](QCheckBox* box, QLineEdit* edit, const QString& text) {
      box->setChecked(!text.isNull());
      edit->setText(text);
    };
    setOption(form.CheckBoxVolume, form.EditVol, volume);
    setOption(form.CheckBoxPS, form.EditPreSilence, preSilence);
    setOption(form.CheckBoxHPF, form.EditHPF, lowCut);
    setOption(form.CheckBoxLPF, form.EditLPF, highCut);
    form.ButtonProcess->setFocus();
    form.ButtonProcess->click();
    QCOMPARE(Scripted->Messages.size(), 1u);
    QCOMPARE(Scripted->Messages[0].Text, message);
    QCOMPARE(Scripted->Messages[0].Caption, QStringLiteral("Quorvant Ravelin"));
    QVERIFY(Scripted->Messages[0].Icon == TMessageIcon::Warning);
    QVERIFY(Scripted->Messages[0].Buttons == TMessageButtons::Ok);
    QVERIFY(form.focusWidget() != nullptr);
    QCOMPARE(form.focusWidget(), FocusOf(form, focus));
    QVERIFY(form.isEnabled());
    QCOMPARE(form.ListBoxFiles->count(), files);
  }

  void AMissingTestToneIsReportedBeforeAnyRun() {
    TFormMain form;
    form.EditTT->setText(QStringLiteral("/nowhere/sweep.wav"));
    FillList(form, 2);
    form.ButtonProcess->click();
    QCOMPARE(Scripted->Messages.size(), 1u);
    QVERIFY(Scripted->Messages[0].Text.startsWith(
        QStringLiteral("Error occured while trying to load test tone file\r\r")));
    QCOMPARE(form.ListBoxFiles->count(), 2);
    QVERIFY(form.isEnabled());
  }

  void ChoosingInputFilesSetsBothFoldersAndTheList() {
    TFormMain form;
    form.EditOutFolder->setText(QStringLiteral("/earlier/output/"));
    Scripted->FileAnswers << QStringList{QStringLiteral("/data/in/b.wav"), QStringLiteral("/data/in/a.aif")};
    form.ButtonPath->click();
    QCOMPARE(Scripted->FileRequests.size(), 1u);
    const TFileDialogRequest& request = Scripted->FileRequests[0];
    QVERIFY(request.Mode == TFileDialogMode::OpenFiles);
    QCOMPARE(request.Title, QStringLiteral("Select audio file(s) in the input file folder"));
    QVERIFY(request.Folder.isEmpty());
    QCOMPARE(NameFilters(request.Filter),
             QStringList({QStringLiteral("All supported files (*.wav *.bwf *.aif *.aiff *.w64)"),
                          QStringLiteral("WAV files (*.wav, *.bwf) (*.wav *.bwf)"),
                          QStringLiteral("Wave64 files (*.w64) (*.w64)"),
                          QStringLiteral("AIFF files (*.aif, *.aiff) (*.aif *.aiff)")}));
    QCOMPARE(form.EditFolder->text(), QStringLiteral("/data/in/"));
    QCOMPARE(form.EditOutFolder->text(), QStringLiteral("/data/in/"));
    QCOMPARE(ReadSettingString(QStringLiteral("FileFolder")), QStringLiteral("/data/in/"));
    QCOMPARE(Items(form), QStringList({QStringLiteral("/data/in/b.wav"), QStringLiteral("/data/in/a.aif")}));

    // The next dialogs start in that folder; a cancelled one changes nothing.
    form.ButtonPath->click();
    QCOMPARE(Scripted->FileRequests.back().Folder, QStringLiteral("/data/in"));
    QCOMPARE(form.ListBoxFiles->count(), 2);
    Scripted->FileAnswers << QStringList{QStringLiteral("/data/out/(file name is not required).wav")};
    form.ButtonOutPath->click();
    const TFileDialogRequest& output = Scripted->FileRequests.back();
    QVERIFY(output.Mode == TFileDialogMode::SaveFile);
    QCOMPARE(output.Title, QStringLiteral("Select the output file folder"));
    QCOMPARE(output.Folder, QStringLiteral("/data/in/"));
    QCOMPARE(output.FileName, QStringLiteral("(file name is not required)"));
    QVERIFY(!output.ConfirmOverwrite);
    QCOMPARE(form.EditOutFolder->text(), QStringLiteral("/data/out/"));
    QCOMPARE(form.EditFolder->text(), QStringLiteral("/data/in/"));
  }

  void ChoosingTheTestToneRemembersItsFolder() {
    TFormMain form;
    form.ButtonTT->click(); // cancelled
    QVERIFY(form.EditTT->text().isEmpty());
    QVERIFY(ReadSettingString(QStringLiteral("TestToneFolder")).isEmpty());
    Scripted->FileAnswers << QStringList{QStringLiteral("/tones/sweep 48k.wav")};
    form.ButtonTT->click();
    QCOMPARE(Scripted->FileRequests.back().Title, QStringLiteral("Select test tone file"));
    QVERIFY(Scripted->FileRequests.back().Mode == TFileDialogMode::OpenFile);
    QCOMPARE(form.EditTT->text(), QStringLiteral("/tones/sweep 48k.wav"));
    QCOMPARE(ReadSettingString(QStringLiteral("TestToneFolder")), QStringLiteral("/tones/sweep 48k.wav"));
    form.ButtonTT->click();
    QCOMPARE(Scripted->FileRequests.back().Folder, QStringLiteral("/tones"));
  }

  void DeleteKeepsTheUnselectedItemsAndMovesTheFocus() {
    TFormMain form;
    form.show();
    FillList(form, 5);
    Select(form, {1, 2, 3}, 1);
    QTest::keyClick(form.ListBoxFiles, Qt::Key_Delete);
    QCOMPARE(Items(form), QStringList({QStringLiteral("/rec/0.wav"), QStringLiteral("/rec/4.wav")}));
    QCOMPARE(form.ListBoxFiles->currentRow(), 1);
    QCOMPARE(SelectedRows(form), QList<int>({1}));

    FillList(form, 5);
    Select(form, {2, 3, 4}, 4);
    QTest::keyClick(form.ListBoxFiles, Qt::Key_Delete);
    QCOMPARE(form.ListBoxFiles->count(), 2);
    QCOMPARE(form.ListBoxFiles->currentRow(), 1); // beyond the end: the last item
    QCOMPARE(SelectedRows(form), QList<int>({1}));

    Select(form, {0, 1}, 0);
    QTest::keyClick(form.ListBoxFiles, Qt::Key_Delete);
    QCOMPARE(form.ListBoxFiles->count(), 0);
    QVERIFY(Scripted->OpenedDocuments.isEmpty());
  }

  void EnterAndDoubleClickOpenTheFocusedItem() {
    TFormMain form;
    form.show();
    FillList(form, 3);
    QTest::keyClick(form.ListBoxFiles, Qt::Key_Return); // nothing focused yet
    QVERIFY(Scripted->OpenedDocuments.isEmpty());
    form.ListBoxFiles->setCurrentRow(2);
    QTest::keyClick(form.ListBoxFiles, Qt::Key_Return);
    QCOMPARE(Scripted->OpenedDocuments, QList<QUrl>({QUrl::fromLocalFile(QStringLiteral("/rec/2.wav"))}));
    const QRect first = form.ListBoxFiles->visualItemRect(form.ListBoxFiles->item(0));
    QTest::mouseClick(form.ListBoxFiles->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseDClick(form.ListBoxFiles->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(Scripted->OpenedDocuments.size(), 2);
    QCOMPARE(Scripted->OpenedDocuments[1], QUrl::fromLocalFile(QStringLiteral("/rec/0.wav")));
    form.ButtonClearList->click();
    QCOMPARE(form.ListBoxFiles->count(), 0);
  }

  void HelpOpensTheInstalledDocument() {
    TFormMain form;
    form.Button1->click();
    QVERIFY(Scripted->OpenedDocuments.isEmpty());
    Settings->WriteSystemValue(QStringLiteral("HelpIndex"), QStringLiteral("/opt/ravelin/help.html"));
    form.Button1->click();
    Settings->WriteSystemValue(QStringLiteral("HelpIndex"), QStringLiteral("https://help.invalid/ravelin"));
    form.Button1->click();
    QCOMPARE(Scripted->OpenedDocuments,
             QList<QUrl>({QUrl::fromLocalFile(QStringLiteral("/opt/ravelin/help.html")),
                          QUrl(QStringLiteral("https://help.invalid/ravelin"))}));
  }

  void TheAboutBoxShowsTheVersionAndTheConfiguredAddress() {
    TFormAbout about(nullptr);
    QCOMPARE(about.windowTitle(), QStringLiteral("Quorvant Ravelin"));
    QCOMPARE(about.LabelVersion->text(), QStringLiteral("Version " RAVELIN_VERSION));
    const QString address = QStringLiteral(RAVELIN_WEB_ADDRESS);
    if (address.isEmpty()) {
      QVERIFY(about.LabelWeb == nullptr);
    } else {
      QCOMPARE(about.LabelWeb->text(), address);
      QTest::mouseDClick(about.LabelWeb, Qt::LeftButton);
      QCOMPARE(Scripted->OpenedDocuments.size(), 1);
    }
    QVERIFY(about.ButtonOK->isDefault());
  }

  void DroppedFilesAndFoldersAreAdded() {
    QTemporaryDir folder;
    const QString root = folder.path();
    QVERIFY(QDir(root).mkpath(QStringLiteral("take/sub")));
    WriteFile(root + QStringLiteral("/take/B.wav"));
    WriteFile(root + QStringLiteral("/take/a.aiff"));
    WriteFile(root + QStringLiteral("/take/notes.txt"));
    WriteFile(root + QStringLiteral("/take/sub/c.wav"));
    WriteFile(root + QStringLiteral("/single.w64"));
    WriteFile(root + QStringLiteral("/readme.txt"));
    TFormMain form;
    form.show();
    form.SetFileList({"/earlier.wav"});
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(root + QStringLiteral("/take")),
                  QUrl::fromLocalFile(root + QStringLiteral("/single.w64")),
                  QUrl::fromLocalFile(root + QStringLiteral("/readme.txt"))});
    // The toolkit delivers a drop to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.ListBoxFiles->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.ListBoxFiles->viewport(), &drop);
    QCOMPARE(Items(form), QStringList({QStringLiteral("/earlier.wav"), root + "/take/a.aiff",
                                       root + "/take/B.wav", root + "/single.w64"}));
    QCOMPARE(form.EditFolder->text(), root + QStringLiteral("/take/"));
    QCOMPARE(form.EditOutFolder->text(), root + QStringLiteral("/take/"));
    QVERIFY(form.isEnabled());
  }

private:
  static QWidget* FocusOf(TFormMain& form, const QString& name) {
    if (name == QLatin1String("ButtonTT"))
      return form.ButtonTT;
    if (name == QLatin1String("ButtonProcess"))
      return form.ButtonProcess;
    if (name == QLatin1String("EditVol"))
      return form.EditVol;
    if (name == QLatin1String("EditPreSilence"))
      return form.EditPreSilence;
    if (name == QLatin1String("EditHPF"))
      return form.EditHPF;
    return form.EditLPF;
  }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
