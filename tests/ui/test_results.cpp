// The batch on the worker thread and the results window: the question asked
// on the window's thread while the run waits, Cancel between files, the
// window going away during a run; the results table filled as files finish,
// overlaid plots of the selected rows with the known delays of synthetic
// measurements, the exports, the distortion tab's orders of a polynomial
// system, the room tab's decay time of decaying noise, and the plot's
// envelope keeping a one-sample spike among ten million samples.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>

#include "FrmMain.h"
#include "FrmProgress.h"
#include "FrmResults.h"
#include "PlotView.h"
#include "UiTestSupport.h"
#include "engineTestSupport.h"
#include "harmonics.h"
#include "roomParameters.h"

using namespace ravelin;
using namespace ravelin::test;

namespace {

constexpr int32_t Rate = 8000;
constexpr double RoomT = 0.4; // s, of the decaying noise
constexpr double A2 = 0.1;    // poly.wav: y = x + A2 x^2

// A recording of the tone through a delay of delay samples at gain.
void WriteMeasurement(const std::string& path, const std::vector<float>& tone, size_t delay, double gain) {
  std::vector<double> response(delay + 1, 0.0);
  response[delay] = gain;
  test::WriteFloatWav(path, {test::Convolve(tone, response, tone.size() + 4000)}, Rate);
}

// Index of the largest |y|.
size_t PeakIndex(const std::vector<float>& y) {
  return static_cast<size_t>(
      std::max_element(y.begin(), y.end(), [](float a, float b) { return std::abs(a) < std::abs(b); }) -
      y.begin());
}

QStringList ReadLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
    return {};
  return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestResults : public TWindowTest {
  Q_OBJECT

private slots:
  void initTestCase() {
    QVERIFY(Folder.isValid());
    In = Folder.path() + QStringLiteral("/in/");
    QVERIFY(QDir().mkpath(In));
    const std::string in = In.toStdString();
    const std::vector<float> tone = test::MakeTestTone(in + "tone.wav", Rate, 4000);
    WriteMeasurement(in + "near.wav", tone, 40, 0.5); // 5 ms, -6.02 dB
    WriteMeasurement(in + "far.wav", tone, 80, 0.25); // 10 ms, -12.04 dB
    std::mt19937 random(7);
    std::normal_distribution<double> gauss(0.0, 0.1);
    std::vector<double> room(Rate);
    for (size_t i = 40; i < room.size(); ++i)
      room[i] = gauss(random) * std::pow(10.0, -3.0 * static_cast<double>(i - 40) / (RoomT * Rate));
    test::WriteFloatWav(in + "room.wav", {test::Convolve(tone, room, tone.size() + Rate)}, Rate);
    std::vector<float> poly(tone.size() + 4000, 0.0f);
    for (size_t i = 0; i < tone.size(); ++i) {
      const double x = 0.5 * static_cast<double>(tone[i]);
      poly[i] = static_cast<float>(x + A2 * x * x);
      PolyPeak = std::max(PolyPeak, std::abs(x));
    }
    test::WriteFloatWav(in + "poly.wav", {poly}, Rate);
    std::vector<float> ring(tone.size() + Rate, 0.0f); // a one-pole system ringing for 86 ms
    for (size_t i = 0; i < ring.size(); ++i)
      ring[i] = (i < tone.size() ? 0.01f * tone[i] : 0.0f) + (i > 0 ? 0.99f * ring[i - 1] : 0.0f);
    test::WriteFloatWav(in + "ring.wav", {ring}, Rate);
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

  void TheRunGoesOnTheWorkerAsksOnTheWindowThreadAndStopsAtCancel() {
    TFormMain form;
    form.show();
    Prepare(form, {"near.wav", "bad.wav", "far.wav"});
    bool onWindowThread = false, heldWindow = false;
    int rowsAtQuestion = -1;
    Scripted->OnMessage = [&](const TMessageRecord&) {
      onWindowThread = QThread::currentThread() == form.thread();
      heldWindow = !form.isEnabled() && form.Results()->isEnabled() && form.Results()->isVisible();
      rowsAtQuestion = form.Results()->Table->rowCount();
      form.Progress()->Button1->click();
      return true;
    };
    form.ButtonProcess->click();
    QVERIFY(form.Running()); // the click returns while the run goes on
    QVERIFY(QTest::qWaitFor([&form] { return !form.Running(); }, 120000));
    QVERIFY(onWindowThread);
    QVERIFY(heldWindow);
    QCOMPARE(rowsAtQuestion, 2); // near's row and bad's, before the question
    QCOMPARE(Items(form), QStringList({In + QStringLiteral("bad.wav"), In + QStringLiteral("far.wav")}));
    QVERIFY(QFile::exists(Out->filePath(QStringLiteral("near_rv.wav"))));
    QVERIFY(!QFile::exists(Out->filePath(QStringLiteral("far_rv.wav"))));
    QVERIFY(form.isEnabled());
    QVERIFY(form.Progress() == nullptr);

    const QTableWidget* table = form.Results()->Table;
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, TFormResults::ColStatus)->text(), QStringLiteral("Processed"));
    QCOMPARE(table->item(0, TFormResults::ColLatency)->data(Qt::DisplayRole).toDouble(), 5.0);
    QVERIFY(std::abs(table->item(0, TFormResults::ColPeak)->data(Qt::DisplayRole).toDouble() + 6.02) <= 0.1);
    QCOMPARE(table->item(1, TFormResults::ColStatus)->text(), QStringLiteral("Failed"));
    QVERIFY(table->item(1, TFormResults::ColWarnings)->text().startsWith(QStringLiteral("001 - ")));
    QVERIFY(table->item(1, TFormResults::ColFile)->background() !=
            table->item(0, TFormResults::ColFile)->background());
  }

  void ClosingTheWindowDuringARunEndsItWithoutAQuestion() {
    auto form = std::make_unique<TFormMain>();
    Prepare(*form, {"bad.wav", "near.wav"});
    form->ButtonProcess->click();
    // No events are handled meanwhile: the run fails bad.wav and waits on
    // its question, which the window never shows.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    form.reset(); // the question, unanswered, counts as No
    QVERIFY(Scripted->Messages.empty());
    QVERIFY(!QFile::exists(Out->filePath(QStringLiteral("near_rv.wav"))));
  }

  void SelectedRowsOverlayTheirCurvesAndExport() {
    TFormMain form;
    Prepare(form, {"near.wav", "far.wav"});
    QVERIFY(ProcessAndWait(form));
    TFormResults& results = *form.Results();
    results.Table->selectAll();
    const std::vector<TPlotSeries>& impulses = results.Plot(TPlotKind::Impulse)->Series();
    QCOMPARE(impulses.size(), 2u);
    QCOMPARE(impulses[0].Name, QStringLiteral("near.wav ch 1"));
    QCOMPARE(impulses[1].Name, QStringLiteral("far.wav ch 1"));
    QCOMPARE(static_cast<double>(PeakIndex(*impulses[0].Y)) * impulses[0].Dx, 5.0);
    QCOMPARE(static_cast<double>(PeakIndex(*impulses[1].Y)) * impulses[1].Dx, 10.0);
    const TAxisRange shown = results.Plot(TPlotKind::Impulse)->XRange();
    QVERIFY(shown.Low < 5.0 && shown.High > 5.0 && shown.High < 100.0);
    QCOMPARE(results.Plot(TPlotKind::Etc)->Series().size(), 4u); // curve and backward integral each
    const TPlotView& magnitude = *results.Plot(TPlotKind::Magnitude);
    QCOMPARE(magnitude.XRange().Low, 20.0);
    QCOMPARE(magnitude.XRange().High, Rate / 2.0);
    const size_t smoothedPoints = magnitude.Series()[0].Y->size();
    results.ComboSmoothing->setCurrentIndex(0);
    QVERIFY(magnitude.Series()[0].Y->size() != smoothedPoints);
    results.ComboChannel->setCurrentIndex(1); // channel 1 only: both rows stay
    QCOMPARE(magnitude.Series().size(), 2u);
    QVERIFY(results.Plot(TPlotKind::Distortion)->Series().empty()); // a run without harmonics
    QVERIFY(results.LabelDistortion->text().startsWith(QStringLiteral("No harmonics for near.wav ch 1")));

    Scripted->FileAnswers << QStringList{Out->filePath(QStringLiteral("table.csv"))}
                          << QStringList{Out->filePath(QStringLiteral("curves.csv"))}
                          << QStringList{Out->filePath(QStringLiteral("plot.png"))};
    QVERIFY(results.SaveTable());
    const QStringList table = ReadLines(Out->filePath(QStringLiteral("table.csv")));
    QCOMPARE(table.size(), 3);
    QCOMPARE(table[0], QStringLiteral("file,channel,status,latency_ms,peak_dbfs,pnr_db,warnings"));
    QVERIFY(table[1].startsWith(QStringLiteral("near.wav,1,Processed,5,-6.0")));
    results.Tabs->setCurrentIndex(static_cast<int>(TPlotKind::Impulse));
    QVERIFY(results.SaveCurves());
    const QStringList curves = ReadLines(Out->filePath(QStringLiteral("curves.csv")));
    QCOMPARE(curves[0], QStringLiteral("series,x,y"));
    QCOMPARE(curves.size(), static_cast<qsizetype>(impulses[0].Y->size() + impulses[1].Y->size() + 1));
    QVERIFY(
        curves.contains(QStringLiteral("near.wav ch 1,5,%1").arg(static_cast<double>((*impulses[0].Y)[40]))));
    QVERIFY(results.SavePlot());
    QVERIFY(!QImage(Out->filePath(QStringLiteral("plot.png"))).isNull());
  }

  // Orders 2 and 3 and the THD of the first selected row, in dB re the
  // fundamental: order 2 of y = x + A2 x^2 at A2 a / 2, the THD with it
  // (order 3 lies far below); a ringing system's row shows the overlap
  // warning. Harmonics refuse the reversed technique before any run.
  void TheDistortionTabShowsTheOrders() {
    TFormMain form;
    Prepare(form, {"poly.wav", "ring.wav"});
    form.ComboHarmonics->setCurrentIndex(2); // orders up to 3
    form.CheckBoxRev->setChecked(true);
    form.ButtonProcess->click();
    QVERIFY(!form.Running());
    QCOMPARE(Scripted->Messages.size(), size_t{1});
    QVERIFY(Scripted->Messages[0].Text.startsWith(QStringLiteral("Harmonics need the plain technique")));
    form.CheckBoxRev->setChecked(false);
    QVERIFY(ProcessAndWait(form));
    TFormResults& results = *form.Results();
    results.Table->selectRow(0);
    const std::vector<TPlotSeries>& series = results.Plot(TPlotKind::Distortion)->Series();
    QCOMPARE(series.size(), 3u);
    QCOMPARE(series[0].Name, QStringLiteral("H2"));
    QCOMPARE(series[1].Name, QStringLiteral("H3"));
    QCOMPARE(series[2].Name, QStringLiteral("THD"));
    const auto at1k = [](const TPlotSeries& curve) {
      const auto i = std::lower_bound(curve.X->begin(), curve.X->end(), 1000.0 - 1e-6) - curve.X->begin();
      return static_cast<double>((*curve.Y)[static_cast<size_t>(i)]);
    };
    const double h2Db = 20.0 * std::log10(A2 * PolyPeak / 2.0);
    QVERIFY2(std::abs(at1k(series[0]) - h2Db) < 1.0, qPrintable(QString::number(at1k(series[0]))));
    QVERIFY(at1k(series[1]) < h2Db - 30.0);
    QVERIFY2(std::abs(at1k(series[2]) - at1k(series[0])) < 0.1, qPrintable(QString::number(at1k(series[2]))));
    QVERIFY(results.LabelDistortion->text().isEmpty());
    results.Table->selectRow(1);
    QVERIFY(results.LabelDistortion->text().contains(QLatin1String(OverlapWarning)));
  }

  // Computed once the tab is shown: T30 of the 1 kHz octave within 5 %, its
  // fitted line over -5 to -35 dB of the backward integral; thirds on request;
  // the table exported as the room report.
  void TheRoomTabShowsTheBandsDecay() {
    TFormMain form;
    Prepare(form, {"room.wav"});
    QVERIFY(ProcessAndWait(form));
    TFormResults& results = *form.Results();
    results.Table->selectRow(0);
    const QTableWidget& bands = *results.Room->Table;
    QCOMPARE(bands.rowCount(), 0);
    results.Tabs->setCurrentWidget(results.Room);
    QCOMPARE(static_cast<size_t>(bands.rowCount()), AnalysisBands(TBandWidth::Octave, Rate).size());
    const auto rowOf = [&bands](double hz) {
      for (int r = 0; r < bands.rowCount(); ++r)
        if (bands.item(r, TRoomPanel::ColBand)->data(Qt::DisplayRole).toDouble() == hz)
          return r;
      return -1;
    };
    const double t30 = bands.item(rowOf(1000.0), TRoomPanel::ColT30)->data(Qt::DisplayRole).toDouble();
    QVERIFY2(std::abs(t30 - RoomT) <= 0.05 * RoomT, qPrintable(QString::number(t30)));
    bool line = false;
    for (const TPlotSeries& series : results.Plot(TPlotKind::Room)->Series()) {
      if (series.Name == QStringLiteral("1 kHz T30 fit")) {
        line = std::abs((*series.Y)[0] + 5.0f) < 1.0f && std::abs((*series.Y)[1] + 35.0f) < 1.0f &&
               std::abs((series.X->back() - series.X->front()) / 1000.0 - RoomT / 2.0) < 0.05 * RoomT;
      }
    }
    QVERIFY(line);
    results.Room->ComboBands->setCurrentIndex(1);
    const auto thirds = static_cast<qsizetype>(AnalysisBands(TBandWidth::Third, Rate).size());
    QCOMPARE(bands.rowCount(), thirds);
    QVERIFY(rowOf(1000.0) >= 0);
    Scripted->FileAnswers << QStringList{Out->filePath(QStringLiteral("room.csv"))};
    QVERIFY(results.SaveRoomTable());
    const QStringList table = ReadLines(Out->filePath(QStringLiteral("room.csv")));
    QCOMPARE(table.size(), thirds + 1);
    QCOMPARE(table[0], QLatin1String(RoomReportHeader));
    QVERIFY(table[1].startsWith(QStringLiteral("room.wav,1,50,")));
  }

  void TheEnvelopeKeepsASingleSampleSpike() {
    auto samples = std::make_shared<std::vector<float>>(10'000'000, 0.0f);
    (*samples)[5'000'001] = 1.0f;
    TPlotView view;
    view.SetSeries({{QStringLiteral("spike"), Qt::red, samples, nullptr, 0.0, 1.0, false, false}});
    view.SetFullXRange({0.0, 1e7});
    view.SetYRange({-1.1, 1.1});
    QImage image(800, 400, QImage::Format_RGB32);
    QPainter painter(&image);
    view.Render(painter, image.rect());
    painter.end();
    bool spike = false;
    for (int x = 0; x < image.width() && !spike; ++x) {
      for (int y = 0; y < 60 && !spike; ++y) // the top of the plot: near +1
        spike = QColor(image.pixel(x, y)).red() > 200 && QColor(image.pixel(x, y)).green() < 120;
    }
    QVERIFY(spike);
  }

private:
  void Prepare(TFormMain& form, std::initializer_list<const char*> names) {
    PrepareRun(form, In, Out->path() + QLatin1Char('/'), names);
  }

  QTemporaryDir Folder;
  double PolyPeak = 0.0; // the sine's amplitude in poly.wav
  QString In;
  std::unique_ptr<QTemporaryDir> Out;
};

QTEST_MAIN(TestResults)
#include "test_results.moc"
