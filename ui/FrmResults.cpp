#include "FrmResults.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextStream>
#include <QVBoxLayout>

#include "Desktop.h"
#include "PlotView.h"
#include "errors.h"
#include "wavReader.h"

namespace ravelin {

namespace {

constexpr int SmoothingFractions[] = {0, 1, 3, 6, 12, 24, 48};
constexpr size_t MaxOverlays = 8;
constexpr size_t MaxCachedCurves = 16;
constexpr double LowestHz = 20.0;
const QColor WarningColour(255, 232, 190);
const QColor FailureColour(255, 200, 200);

QColor SeriesColour(size_t index) {
  static const QColor colours[MaxOverlays] = {
      QColor(31, 119, 180),  QColor(214, 39, 40), QColor(44, 160, 44),   QColor(255, 127, 14),
      QColor(148, 103, 189), QColor(140, 86, 75), QColor(227, 119, 194), QColor(23, 190, 207)};
  return colours[index % MaxOverlays];
}

// A table cell; numbers are stored as numbers (to 0.01) so that they sort as such.
QTableWidgetItem* Cell(const QVariant& value) {
  auto* item = new QTableWidgetItem;
  item->setData(Qt::DisplayRole, value);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

QVariant Rounded(double value) {
  return std::round(value * 100.0) / 100.0;
}

// One channel of a response file as the reader delivers it.
std::vector<float> ReadChannel(const std::string& path, int channel, double& sampleRate) {
  TWAVReader reader(path);
  if (reader.FrameCount() > std::numeric_limits<int32_t>::max() || channel >= reader.Channels())
    throw TRavelinError("The response file has changed since it was written.");
  const auto frames = static_cast<int32_t>(reader.FrameCount());
  std::vector<std::vector<float>> channels(static_cast<size_t>(reader.Channels()),
                                           std::vector<float>(static_cast<size_t>(frames)));
  std::vector<float*> pointers;
  for (std::vector<float>& samples : channels)
    pointers.push_back(samples.data());
  reader.ReadFrames(pointers.data(), frames);
  sampleRate = reader.SampleRate();
  return std::move(channels[static_cast<size_t>(channel)]);
}

// CSV field, quoted when it needs to be.
QString CsvField(QString text) {
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n')))
    return text;
  return QLatin1Char('"') + text.replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

// Range of the values between the quantiles low and high (0 .. 1) of y over
// the samples [first, end).
TAxisRange QuantileRange(const std::vector<float>& y, size_t first, double low, double high) {
  if (first >= y.size())
    return {0.0, 1.0};
  std::vector<float> values(y.begin() + static_cast<std::ptrdiff_t>(first), y.end());
  const auto at = [&](double q) {
    const auto n = static_cast<std::ptrdiff_t>(q * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + n, values.end());
    return static_cast<double>(values[static_cast<size_t>(n)]);
  };
  return {at(low), at(high)};
}

} // namespace

TFormResults::TFormResults(QWidget* parent) :
    QWidget(parent, Qt::Window), Table(new QTableWidget(0, ColumnCount, this)),
    ComboChannel(new QComboBox(this)), ComboSmoothing(new QComboBox(this)), Tabs(new QTabWidget(this)),
    LabelStatus(new QLabel(this)), ButtonSavePlot(new QPushButton(tr("Save &plot..."), this)),
    ButtonSaveCurves(new QPushButton(tr("Save &curves..."), this)),
    ButtonSaveTable(new QPushButton(tr("Save &table..."), this)) {
  setWindowTitle(tr("Quorvant Ravelin - Results"));
  BuildLayout();
  connect(Table, &QTableWidget::itemSelectionChanged, this, &TFormResults::UpdatePlots);
  connect(ComboChannel, &QComboBox::currentIndexChanged, this, &TFormResults::ApplyChannelFilter);
  connect(ComboSmoothing, &QComboBox::currentIndexChanged, this, &TFormResults::UpdatePlots);
  connect(ButtonSavePlot, &QPushButton::clicked, this, [this] { RunGuarded(this, [this] { SavePlot(); }); });
  connect(ButtonSaveCurves, &QPushButton::clicked, this,
          [this] { RunGuarded(this, [this] { SaveCurves(); }); });
  connect(ButtonSaveTable, &QPushButton::clicked, this,
          [this] { RunGuarded(this, [this] { SaveTable(); }); });
  resize(980, 680);
}

void TFormResults::BuildLayout() {
  Table->setHorizontalHeaderLabels(
      {tr("File"), tr("Ch"), tr("Status"), tr("Latency ms"), tr("Peak dBFS"), tr("PNR dB"), tr("Warnings")});
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Table->setSortingEnabled(true);
  Table->verticalHeader()->hide();
  Table->horizontalHeader()->setStretchLastSection(true);
  ComboChannel->addItem(tr("All channels"));
  ComboSmoothing->addItems({tr("No smoothing"), tr("1/1 octave"), tr("1/3 octave"), tr("1/6 octave"),
                            tr("1/12 octave"), tr("1/24 octave"), tr("1/48 octave")});
  ComboSmoothing->setCurrentIndex(2);
  const std::pair<TPlotKind, QString> tabs[] = {{TPlotKind::Impulse, tr("Impulse")},
                                                {TPlotKind::Etc, tr("Energy-time")},
                                                {TPlotKind::Magnitude, tr("Magnitude")},
                                                {TPlotKind::Phase, tr("Phase")},
                                                {TPlotKind::GroupDelay, tr("Group delay")}};
  for (const auto& [kind, title] : tabs)
    Tabs->addTab(new TPlotView(Tabs), title);
  Plot(TPlotKind::Impulse)->SetAxes(tr("Time (ms)"), TAxisScale::Linear, tr("Amplitude"));
  Plot(TPlotKind::Etc)->SetAxes(tr("Time (ms)"), TAxisScale::Linear, tr("Level (dBFS)"));
  Plot(TPlotKind::Magnitude)->SetAxes(tr("Frequency (Hz)"), TAxisScale::Log, tr("Magnitude (dB)"));
  Plot(TPlotKind::Phase)->SetAxes(tr("Frequency (Hz)"), TAxisScale::Log, tr("Phase (degrees)"));
  Plot(TPlotKind::GroupDelay)->SetAxes(tr("Frequency (Hz)"), TAxisScale::Log, tr("Group delay (ms)"));

  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel(tr("Show:"), this));
  controls->addWidget(ComboChannel);
  controls->addWidget(new QLabel(tr("Smoothing:"), this));
  controls->addWidget(ComboSmoothing);
  controls->addWidget(LabelStatus, 1);
  controls->addWidget(ButtonSavePlot);
  controls->addWidget(ButtonSaveCurves);
  controls->addWidget(ButtonSaveTable);

  auto* splitter = new QSplitter(Qt::Vertical, this);
  splitter->addWidget(Table);
  splitter->addWidget(Tabs);
  splitter->setStretchFactor(1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(controls);
  layout->addWidget(splitter, 1);
}

TPlotView* TFormResults::Plot(TPlotKind kind) const {
  return static_cast<TPlotView*>(Tabs->widget(static_cast<int>(kind)));
}

TPlotKind TFormResults::CurrentPlot() const {
  return static_cast<TPlotKind>(Tabs->currentIndex());
}

void TFormResults::BeginRun() {
  Table->setRowCount(0);
  FRows.clear();
  FCurves.clear();
  UpdatePlots();
}

void TFormResults::AddResult(const TFileResult& result) {
  TRow row;
  row.Name = QFileInfo(QString::fromStdString(result.RecordingPath)).fileName();
  if (result.Outcome != TFileOutcome::Processed) {
    const bool failed = result.Outcome == TFileOutcome::Failed;
    AddRow(row, failed ? tr("Failed") : tr("Skipped"), QString::fromStdString(result.Message), failed);
    return;
  }
  row.OutputPath = result.OutputPath;
  for (size_t c = 0; c < result.Channels.size(); ++c) {
    row.Channel = static_cast<int>(c);
    row.Figures = result.Channels[c];
    std::string warnings;
    for (const std::string& warning : row.Figures.Warnings)
      warnings += (warnings.empty() ? "" : "; ") + warning;
    AddRow(row, tr("Processed"), QString::fromStdString(warnings), false);
  }
  while (ComboChannel->count() <= static_cast<int>(result.Channels.size()))
    ComboChannel->addItem(tr("Channel %1").arg(ComboChannel->count()));
}

void TFormResults::AddRow(const TRow& row, const QString& status, const QString& warnings, bool failed) {
  const int index = static_cast<int>(FRows.size());
  FRows.push_back(row);
  // Sorting would move the row while its cells go in.
  Table->setSortingEnabled(false);
  const int r = Table->rowCount();
  Table->insertRow(r);
  const bool processed = !row.OutputPath.empty();
  Table->setItem(r, ColFile, Cell(row.Name));
  Table->item(r, ColFile)->setData(Qt::UserRole, index);
  Table->item(r, ColFile)->setToolTip(QString::fromStdString(row.OutputPath));
  Table->setItem(r, ColChannel, Cell(processed ? QVariant(row.Channel + 1) : QVariant()));
  Table->setItem(r, ColStatus, Cell(status));
  Table->setItem(r, ColLatency, Cell(processed ? Rounded(row.Figures.LatencyMs) : QVariant()));
  Table->setItem(r, ColPeak, Cell(processed ? Rounded(row.Figures.PeakDbfs) : QVariant()));
  Table->setItem(r, ColPnr, Cell(processed ? Rounded(row.Figures.PnrDb) : QVariant()));
  Table->setItem(r, ColWarnings, Cell(warnings));
  if (failed || !warnings.isEmpty()) {
    for (int column = 0; column < ColumnCount; ++column)
      Table->item(r, column)->setBackground(failed ? FailureColour : WarningColour);
  }
  Table->setSortingEnabled(true);
  ApplyChannelFilter();
}

void TFormResults::ApplyChannelFilter() {
  const int shown = ComboChannel->currentIndex() - 1; // -1: all
  for (int r = 0; r < Table->rowCount(); ++r) {
    const TRow& row = FRows[static_cast<size_t>(Table->item(r, ColFile)->data(Qt::UserRole).toInt())];
    Table->setRowHidden(r, shown >= 0 && !row.OutputPath.empty() && row.Channel != shown);
  }
  UpdatePlots();
}

std::vector<const TFormResults::TRow*> TFormResults::SelectedRows() const {
  std::vector<const TRow*> rows;
  for (int r = 0; r < Table->rowCount() && rows.size() < MaxOverlays; ++r) {
    const QTableWidgetItem* item = Table->item(r, ColFile);
    const TRow& row = FRows[static_cast<size_t>(item->data(Qt::UserRole).toInt())];
    if (item->isSelected() && !Table->isRowHidden(r) && !row.OutputPath.empty())
      rows.push_back(&row);
  }
  return rows;
}

const TResponseCurves& TFormResults::CurvesOf(const TRow& row) {
  const auto key = std::make_pair(row.OutputPath, row.Channel);
  if (const auto found = FCurves.find(key); found != FCurves.end())
    return found->second;
  if (FCurves.size() >= MaxCachedCurves)
    FCurves.clear();
  double rate = 0.0;
  std::vector<float> samples = ReadChannel(row.OutputPath, row.Channel, rate);
  const auto decayEnd = static_cast<int64_t>(std::llround(row.Figures.DecayEndMs * rate / 1000.0));
  return FCurves.emplace(key, ComputeCurves(std::move(samples), rate, decayEnd)).first->second;
}

void TFormResults::UpdatePlots() {
  std::vector<TPlotSeries> impulse, etc, magnitude, phase, delay;
  std::vector<TPlotMarker> etcMarkers;
  double peak = 0.0, longestMs = 1.0, topDb = -120.0, floorDb = 0.0, nyquist = 2.0 * LowestHz;
  double firstPeakMs = 0.0;
  TAxisRange magnitudeRange{0.0, -1.0}, delayRange{0.0, -1.0};
  LabelStatus->clear();
  const std::vector<const TRow*> rows = SelectedRows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const TRow& row = *rows[i];
    const TResponseCurves* curves = nullptr;
    try {
      curves = &CurvesOf(row);
    } catch (const std::exception& error) {
      LabelStatus->setText(row.Name + QStringLiteral(": ") + QString::fromUtf8(error.what()));
      continue;
    }
    const QColor colour = SeriesColour(i);
    const QString name = tr("%1 ch %2").arg(row.Name).arg(row.Channel + 1);
    const double msPerSample = 1000.0 / curves->SampleRate;
    impulse.push_back({name, colour, curves->Impulse, 0.0, msPerSample});
    etc.push_back({name, colour, curves->EtcDb, 0.0, msPerSample});
    etc.push_back({name, colour, curves->SchroederDb, 0.0, msPerSample, true, false});
    etcMarkers.push_back({false, row.Figures.NoiseFloorDbfs, colour, tr("noise floor")});
    etcMarkers.push_back({true, row.Figures.DecayEndMs, colour, tr("decay end")});
    auto smoothed = std::make_shared<const std::vector<float>>(
        SmoothedMagnitudeDb(curves->Power, SmoothingFractions[ComboSmoothing->currentIndex()]));
    const auto firstBin = static_cast<size_t>(std::ceil(LowestHz / curves->BinHz));
    const TAxisRange levels = QuantileRange(*smoothed, firstBin, 0.0, 1.0);
    const TAxisRange delays = QuantileRange(*curves->GroupDelayMs, firstBin, 0.05, 0.95);
    magnitude.push_back({name, colour, smoothed, 0.0, curves->BinHz});
    phase.push_back({name, colour, curves->PhaseDeg, 0.0, curves->BinHz});
    delay.push_back({name, colour, curves->GroupDelayMs, 0.0, curves->BinHz});
    peak = std::max(
        peak, std::abs(static_cast<double>((*curves->Impulse)[static_cast<size_t>(curves->PeakIndex)])));
    if (i == 0)
      firstPeakMs = static_cast<double>(curves->PeakIndex) * msPerSample;
    longestMs = std::max(longestMs, static_cast<double>(curves->Impulse->size()) * msPerSample);
    topDb = std::max(topDb, row.Figures.PeakDbfs);
    floorDb = std::min(floorDb, row.Figures.NoiseFloorDbfs);
    nyquist = std::max(nyquist, curves->SampleRate / 2.0);
    magnitudeRange = i == 0 ? levels
                            : TAxisRange{std::min(magnitudeRange.Low, levels.Low),
                                         std::max(magnitudeRange.High, levels.High)};
    delayRange =
        i == 0 ? delays
               : TAxisRange{std::min(delayRange.Low, delays.Low), std::max(delayRange.High, delays.High)};
  }
  TPlotView* view = Plot(TPlotKind::Impulse);
  view->SetSeries(std::move(impulse));
  view->SetFullXRange({0.0, longestMs});
  view->SetXRange({firstPeakMs - 5.0, firstPeakMs + 45.0});
  view->SetYRange({-1.05 * std::max(peak, 1e-9), 1.05 * std::max(peak, 1e-9)});
  view = Plot(TPlotKind::Etc);
  view->SetSeries(std::move(etc));
  view->SetMarkers(std::move(etcMarkers));
  view->SetFullXRange({0.0, longestMs});
  view->SetYRange({floorDb - 20.0, topDb + 6.0});
  const TAxisRange audible{LowestHz, nyquist};
  view = Plot(TPlotKind::Magnitude);
  view->SetSeries(std::move(magnitude));
  view->SetFullXRange(audible);
  view->SetYRange(
      {std::max(magnitudeRange.Low, magnitudeRange.High - 80.0) - 3.0, magnitudeRange.High + 6.0});
  view = Plot(TPlotKind::Phase);
  view->SetSeries(std::move(phase));
  view->SetFullXRange(audible);
  view->SetYRange({-190.0, 190.0});
  view = Plot(TPlotKind::GroupDelay);
  view->SetSeries(std::move(delay));
  view->SetFullXRange(audible);
  const double delayMargin = 0.1 * (delayRange.High - delayRange.Low) + 0.1;
  view->SetYRange({delayRange.Low - delayMargin, delayRange.High + delayMargin});
}

QString TFormResults::AskSavePath(const QString& title, const QString& filter, const QString& suffix) {
  TFileDialogRequest request;
  request.Mode = TFileDialogMode::SaveFile;
  request.Title = title;
  request.Filter = filter;
  request.DefaultSuffix = suffix;
  const QStringList chosen = Desktop().AskFiles(this, request);
  return chosen.isEmpty() ? QString() : chosen.front();
}

bool TFormResults::SavePlot() {
  const QString path =
      AskSavePath(tr("Save the plot"), tr("PNG pictures (*.png)|*.png"), QStringLiteral("png"));
  return !path.isEmpty() && Plot(CurrentPlot())->grab().save(path, "PNG");
}

bool TFormResults::SaveCurves() {
  const QString path =
      AskSavePath(tr("Save the curves"), tr("CSV files (*.csv)|*.csv"), QStringLiteral("csv"));
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
    return false;
  QTextStream out(&file);
  out << "series,x,y\n";
  for (const TPlotSeries& series : Plot(CurrentPlot())->Series()) {
    const QString name = CsvField(series.Name + (series.InLegend ? QString() : tr(" (Schroeder)")));
    for (size_t i = 0; i < series.Y->size(); ++i)
      out << name << ',' << series.X0 + static_cast<double>(i) * series.Dx << ',' << (*series.Y)[i] << '\n';
  }
  out.flush();
  return file.error() == QFileDevice::NoError;
}

bool TFormResults::SaveTable() {
  const QString path =
      AskSavePath(tr("Save the table"), tr("CSV files (*.csv)|*.csv"), QStringLiteral("csv"));
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
    return false;
  QTextStream out(&file);
  out << "file,channel,status,latency_ms,peak_dbfs,pnr_db,warnings\n";
  for (int r = 0; r < Table->rowCount(); ++r) {
    for (int column = 0; column < ColumnCount; ++column)
      out << (column > 0 ? "," : "") << CsvField(Table->item(r, column)->text());
    out << '\n';
  }
  out.flush();
  return file.error() == QFileDevice::NoError;
}

} // namespace ravelin
