#include "FrmResults.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <sstream>

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
#include "curves.h"
#include "errors.h"
#include "harmonics.h"
#include "wavReader.h"

namespace ravelin {

namespace {

constexpr size_t MaxOverlays = 8;
constexpr size_t MaxCachedPlots = 16;
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

std::shared_ptr<const std::vector<float>> Floats(const std::vector<double>& values, double offset = 0.0) {
  auto floats = std::make_shared<std::vector<float>>(values.size());
  std::transform(values.begin(), values.end(), floats->begin(),
                 [offset](double v) { return static_cast<float>(v + offset); });
  return floats;
}

// The values between the quantiles low and high (0 .. 1) of y.
TAxisRange QuantileRange(std::vector<float> y, double low, double high) {
  if (y.empty())
    return {0.0, 1.0};
  const auto at = [&y](double q) {
    const auto n = static_cast<std::ptrdiff_t>(q * static_cast<double>(y.size() - 1));
    std::nth_element(y.begin(), y.begin() + n, y.end());
    return static_cast<double>(y[static_cast<size_t>(n)]);
  };
  return {at(low), at(high)};
}

// The union of two ranges; an empty one (High < Low) gives the other.
TAxisRange Union(TAxisRange a, TAxisRange b) {
  if (a.High < a.Low)
    return b;
  return {std::min(a.Low, b.Low), std::max(a.High, b.High)};
}

} // namespace

TFormResults::TFormResults(QWidget* parent) :
    QWidget(parent, Qt::Window), Table(new QTableWidget(0, ColumnCount, this)),
    ComboChannel(new QComboBox(this)), ComboSmoothing(new QComboBox(this)), Tabs(new QTabWidget(this)),
    Distortion(new TPlotView(Tabs)), LabelDistortion(new QLabel(Tabs)), Room(new TRoomPanel(Tabs)),
    LabelStatus(new QLabel(this)), ButtonSavePlot(new QPushButton(tr("Save &plot..."), this)),
    ButtonSaveCurves(new QPushButton(tr("Save &curves..."), this)),
    ButtonSaveTable(new QPushButton(tr("Save &table..."), this)) {
  setWindowTitle(tr("Quorvant Ravelin - Results"));
  BuildLayout();
  connect(Table, &QTableWidget::itemSelectionChanged, this, &TFormResults::UpdatePlots);
  connect(ComboChannel, &QComboBox::currentIndexChanged, this, [this] {
    ApplyChannelFilter();
    UpdatePlots();
  });
  connect(ComboSmoothing, &QComboBox::currentIndexChanged, this, &TFormResults::UpdatePlots);
  connect(Tabs, &QTabWidget::currentChanged, this, &TFormResults::UpdateRoom);
  connect(Room->ButtonSave, &QPushButton::clicked, this,
          [this] { RunGuarded(this, [this] { SaveRoomTable(); }); });
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
  Table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder); // run order until a click
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
  auto* distortion = new QWidget(Tabs);
  auto* distortionLayout = new QVBoxLayout(distortion);
  distortionLayout->setContentsMargins(0, 0, 0, 0);
  LabelDistortion->setWordWrap(true);
  distortionLayout->addWidget(LabelDistortion);
  distortionLayout->addWidget(Distortion, 1);
  Tabs->addTab(distortion, tr("Distortion"));
  Tabs->addTab(Room, tr("Room"));
  Plot(TPlotKind::Impulse)->SetAxes(tr("Time (ms)"), TAxisScale::Linear, tr("Amplitude"));
  Plot(TPlotKind::Etc)->SetAxes(tr("Time (ms)"), TAxisScale::Linear, tr("Level (dBFS)"));
  Plot(TPlotKind::Magnitude)->SetAxes(tr("Frequency (Hz)"), TAxisScale::Log, tr("Magnitude (dB)"));
  Plot(TPlotKind::Phase)->SetAxes(tr("Frequency (Hz)"), TAxisScale::Log, tr("Phase (degrees)"));
  Plot(TPlotKind::GroupDelay)->SetAxes(tr("Frequency (Hz)"), TAxisScale::Log, tr("Group delay (ms)"));
  Distortion->SetAxes(tr("Excitation frequency (Hz)"), TAxisScale::Log, tr("Level re fundamental (dB)"));

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
  if (kind == TPlotKind::Room)
    return Room->Plot;
  if (kind == TPlotKind::Distortion)
    return Distortion;
  return static_cast<TPlotView*>(Tabs->widget(static_cast<int>(kind)));
}

TPlotKind TFormResults::CurrentPlot() const {
  return static_cast<TPlotKind>(Tabs->currentIndex());
}

void TFormResults::BeginRun() {
  Table->setRowCount(0);
  FRows.clear();
  FPlots.clear();
  Room->Forget();
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
    row.Harmonics = c < result.Harmonics.size()
                        ? std::make_shared<const THarmonicCurves>(result.Harmonics[c].Curves)
                        : nullptr;
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

const TFormResults::TChannelPlot& TFormResults::PlotOf(const TRow& row, int smoothing) {
  const auto key = std::make_tuple(row.OutputPath, row.Channel, smoothing);
  if (const auto found = FPlots.find(key); found != FPlots.end())
    return found->second;
  if (FPlots.size() >= MaxCachedPlots)
    FPlots.clear();
  double rate = 0.0;
  auto impulse = std::make_shared<std::vector<float>>(ReadChannel(row.OutputPath, row.Channel, rate));
  const TResponseCurves curves = ResponseCurves(impulse->data(), static_cast<int32_t>(impulse->size()),
                                                static_cast<int32_t>(rate), smoothing);
  TChannelPlot plot;
  plot.MsPerSample = 1000.0 / rate;
  plot.PeakIndex = std::max_element(impulse->begin(), impulse->end(),
                                    [](float a, float b) { return std::abs(a) < std::abs(b); }) -
                   impulse->begin();
  plot.Impulse = std::move(impulse);
  plot.TimeMs = std::make_shared<const std::vector<double>>(curves.TimeMs);
  plot.FrequencyHz = std::make_shared<const std::vector<double>>(curves.FrequencyHz);
  plot.EtcDb = Floats(curves.EtcDb);
  // The backward integral starts at the peak's level, on the same axis.
  plot.SchroederDb = Floats(curves.SchroederDb, row.Figures.PeakDbfs);
  plot.MagnitudeDb = Floats(curves.MagnitudeDb);
  plot.PhaseDeg = Floats(curves.PhaseDeg);
  plot.GroupDelayMs = Floats(curves.GroupDelayMs);
  return FPlots.emplace(key, std::move(plot)).first->second;
}

// The overlaid curves of the selected rows, and axes that show them whole.
void TFormResults::UpdatePlots() {
  std::vector<TPlotSeries> impulse, etc, magnitude, phase, delay;
  std::vector<TPlotMarker> etcMarkers;
  double peak = 1e-9, longestMs = 1.0, topDb = -120.0, floorDb = 0.0, nyquist = 40.0;
  TAxisRange levels{0.0, -1.0}, delays{0.0, -1.0}, peaksMs{0.0, -1.0};
  LabelStatus->clear();
  const std::vector<const TRow*> rows = SelectedRows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const TRow& row = *rows[i];
    const TChannelPlot* plot = nullptr;
    try {
      plot = &PlotOf(row, SmoothingFractions[ComboSmoothing->currentIndex()]);
    } catch (const std::exception& error) {
      LabelStatus->setText(row.Name + QStringLiteral(": ") + QString::fromUtf8(error.what()));
      continue;
    }
    const QColor colour = SeriesColour(i);
    const QString name = tr("%1 ch %2").arg(row.Name).arg(row.Channel + 1);
    impulse.push_back({name, colour, plot->Impulse, nullptr, 0.0, plot->MsPerSample});
    etc.push_back({name, colour, plot->EtcDb, plot->TimeMs});
    etc.push_back({name, colour, plot->SchroederDb, plot->TimeMs, 0.0, 1.0, true, false});
    const bool labelled = i == 0; // one set of labels: they would overlap
    etcMarkers.push_back(
        {false, row.Figures.NoiseFloorDbfs, colour, labelled ? tr("noise floor") : QString()});
    etcMarkers.push_back({true, row.Figures.DecayEndMs, colour, labelled ? tr("decay end") : QString()});
    magnitude.push_back({name, colour, plot->MagnitudeDb, plot->FrequencyHz});
    phase.push_back({name, colour, plot->PhaseDeg, plot->FrequencyHz});
    delay.push_back({name, colour, plot->GroupDelayMs, plot->FrequencyHz});
    peak =
        std::max(peak, std::abs(static_cast<double>((*plot->Impulse)[static_cast<size_t>(plot->PeakIndex)])));
    const double peakMs = static_cast<double>(plot->PeakIndex) * plot->MsPerSample;
    peaksMs = Union(peaksMs, {peakMs, peakMs});
    longestMs = std::max(longestMs, static_cast<double>(plot->Impulse->size()) * plot->MsPerSample);
    topDb = std::max(topDb, row.Figures.PeakDbfs);
    floorDb = std::min(floorDb, row.Figures.NoiseFloorDbfs);
    nyquist = std::max(nyquist, 500.0 / plot->MsPerSample);
    levels = Union(levels, QuantileRange(*plot->MagnitudeDb, 0.0, 1.0));
    delays = Union(delays, QuantileRange(*plot->GroupDelayMs, 0.05, 0.95));
  }
  ShowCurves(TPlotKind::Impulse, std::move(impulse), {0.0, longestMs}, {-1.05 * peak, 1.05 * peak});
  Plot(TPlotKind::Impulse)->SetXRange({peaksMs.Low - 5.0, peaksMs.High + 45.0});
  ShowCurves(TPlotKind::Etc, std::move(etc), {0.0, longestMs}, {floorDb - 20.0, topDb + 6.0});
  Plot(TPlotKind::Etc)->SetMarkers(std::move(etcMarkers));
  const TAxisRange audible{20.0, nyquist};
  ShowCurves(TPlotKind::Magnitude, std::move(magnitude), audible,
             {std::max(levels.Low, levels.High - 80.0) - 3.0, levels.High + 6.0});
  ShowCurves(TPlotKind::Phase, std::move(phase), audible, {-190.0, 190.0});
  const double margin = 0.1 * (delays.High - delays.Low) + 0.1;
  ShowCurves(TPlotKind::GroupDelay, std::move(delay), audible, {delays.Low - margin, delays.High + margin});
  UpdateDistortion(rows);
  UpdateRoom();
}

// Each order and the THD as a curve over the frequencies where it is given,
// all in dB re the fundamental (THD as 20 log10 of its ratio).
void TFormResults::UpdateDistortion(const std::vector<const TRow*>& rows) {
  std::vector<TPlotSeries> series;
  double lowHz = 20.0, highHz = 20000.0, topDb = -200.0, bottomDb = 0.0;
  const TRow* row = rows.empty() ? nullptr : rows.front();
  if (row == nullptr) {
    LabelDistortion->setText(tr("Select a processed row to see its harmonic distortion."));
  } else if (!row->Harmonics || row->Harmonics->FrequencyHz.empty()) {
    LabelDistortion->setText(tr("No harmonics for %1 ch %2: choose Harmonics 2 to 10 in the main window and "
                                "process it again.")
                                 .arg(row->Name)
                                 .arg(row->Channel + 1));
  } else {
    const THarmonicCurves& curves = *row->Harmonics;
    const auto add = [&](const QString& name, const QColor& colour, auto levelDb) {
      auto x = std::make_shared<std::vector<double>>();
      auto y = std::make_shared<std::vector<float>>();
      for (size_t i = 0; i < curves.FrequencyHz.size(); ++i)
        if (const std::optional<double> db = levelDb(i); db && std::isfinite(*db)) {
          x->push_back(curves.FrequencyHz[i]);
          y->push_back(static_cast<float>(*db));
          topDb = std::max(topDb, *db);
          bottomDb = std::min(bottomDb, *db);
        }
      series.push_back({name, colour, std::move(y), std::move(x)});
    };
    for (size_t k = 0; k < curves.OrderDb.size(); ++k)
      add(tr("H%1").arg(k + 2), SeriesColour(k), [&](size_t i) { return curves.OrderDb[k][i]; });
    add(tr("THD"), Qt::black, [&](size_t i) -> std::optional<double> {
      if (!curves.ThdPct[i] || !(*curves.ThdPct[i] > 0.0))
        return std::nullopt;
      return 20.0 * std::log10(*curves.ThdPct[i] / 100.0);
    });
    lowHz = curves.FrequencyHz.front();
    highHz = std::max(curves.FrequencyHz.back(), lowHz * 2.0);
    QString warnings;
    for (const std::string& warning : curves.Warnings)
      warnings += (warnings.isEmpty() ? QString() : QStringLiteral("; ")) + QString::fromStdString(warning);
    LabelDistortion->setText(warnings);
  }
  if (topDb < bottomDb)
    topDb = bottomDb = -60.0;
  ShowCurves(TPlotKind::Distortion, std::move(series), {lowHz, highHz},
             {std::max(bottomDb, topDb - 100.0) - 5.0, topDb + 5.0});
}

void TFormResults::UpdateRoom() {
  if (Tabs->currentWidget() != Room)
    return;
  const std::vector<const TRow*> rows = SelectedRows();
  if (rows.empty()) {
    Room->Clear();
    return;
  }
  const TRow& row = *rows.front();
  try {
    const TChannelPlot& plot = PlotOf(row, SmoothingFractions[ComboSmoothing->currentIndex()]);
    Room->Show(row.Name, row.OutputPath, row.Channel, plot.Impulse,
               static_cast<int32_t>(std::lround(1000.0 / plot.MsPerSample)));
  } catch (const std::exception& error) {
    Room->Clear();
    LabelStatus->setText(row.Name + QStringLiteral(": ") + QString::fromUtf8(error.what()));
  }
}

void TFormResults::ShowCurves(TPlotKind kind, std::vector<TPlotSeries> series, TAxisRange x, TAxisRange y) {
  TPlotView* view = Plot(kind);
  view->SetSeries(std::move(series));
  view->SetFullXRange(x);
  view->SetYRange(y);
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
    const bool schroeder = CurrentPlot() == TPlotKind::Etc && !series.InLegend;
    const QString name = CsvField(series.Name + (schroeder ? tr(" (Schroeder)") : QString()));
    for (size_t i = 0; i < series.Y->size(); ++i)
      out << name << ',' << SeriesX(series, static_cast<int64_t>(i)) << ',' << (*series.Y)[i] << '\n';
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

bool TFormResults::SaveRoomTable() {
  const QString path =
      AskSavePath(tr("Save the room table"), tr("CSV files (*.csv)|*.csv"), QStringLiteral("csv"));
  std::ostringstream table;
  QFile file(path);
  if (path.isEmpty() || !Room->WriteTable(table) ||
      !file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
    return false;
  const std::string text = table.str();
  return file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}

} // namespace ravelin
