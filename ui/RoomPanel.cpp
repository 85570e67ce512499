#include "RoomPanel.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <set>

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "Desktop.h"
#include "PlotView.h"

namespace ravelin {

namespace {

constexpr size_t MaxCachedAnalyses = 16;
constexpr double LowestShownDb = -80.0;
constexpr int MaxTableWidth = 640; // pixels

// A cell holding value rounded to decimals (a number, so that it sorts), or nothing.
QTableWidgetItem* NumberItem(const std::optional<double>& value, int decimals) {
  auto* item = new QTableWidgetItem;
  if (value) {
    const double scale = std::pow(10.0, decimals);
    item->setData(Qt::DisplayRole, std::round(*value * scale) / scale);
  }
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

QString BandName(double hz) {
  return hz >= 1000.0 ? QStringLiteral("%1 kHz").arg(hz / 1000.0) : QStringLiteral("%1 Hz").arg(hz);
}

// A straight line between two points, in ms and dB.
TPlotSeries FittedLine(const QString& name, const TFittedLine& line, const QColor& colour) {
  TPlotSeries series;
  series.Name = name;
  series.Color = colour.darker(170); // apart from the curve it lies on
  series.Y = std::make_shared<const std::vector<float>>(
      std::vector<float>{static_cast<float>(line.StartDb), static_cast<float>(line.EndDb)});
  series.X =
      std::make_shared<const std::vector<double>>(std::vector<double>{1e3 * line.StartS, 1e3 * line.EndS});
  series.Dashed = true;
  series.InLegend = false;
  return series;
}

} // namespace

TRoomPanel::TRoomPanel(QWidget* parent) :
    QWidget(parent), ComboBands(new QComboBox(this)), Table(new QTableWidget(0, ColumnCount, this)),
    Plot(new TPlotView(this)), ButtonSave(new QPushButton(tr("Save &room table..."), this)) {
  ComboBands->addItems({tr("Octave bands"), tr("1/3 octave bands")});
  Table->setHorizontalHeaderLabels({tr("Band Hz"), tr("EDT s"), tr("T20 s"), tr("T30 s"), tr("C50 dB"),
                                    tr("C80 dB"), tr("D50"), tr("Ts ms"), tr("INR dB"), tr("Warnings")});
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Table->verticalHeader()->hide();
  Table->horizontalHeader()->setStretchLastSection(true);
  Plot->SetAxes(tr("Time from the onset (ms)"), TAxisScale::Linear, tr("Backward integral (dB)"));

  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel(tr("Bands:"), this));
  controls->addWidget(ComboBands);
  controls->addStretch(1);
  controls->addWidget(ButtonSave);
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->addWidget(Table);
  splitter->addWidget(Plot);
  splitter->setStretchFactor(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(controls);
  layout->addWidget(splitter, 1);

  connect(ComboBands, &QComboBox::currentIndexChanged, this,
          [this] { RunGuarded(this, [this] { Analyse(); }); });
  connect(Table, &QTableWidget::itemSelectionChanged, this, &TRoomPanel::UpdatePlot);
}

TBandWidth TRoomPanel::Width() const {
  return ComboBands->currentIndex() == 1 ? TBandWidth::Third : TBandWidth::Octave;
}

void TRoomPanel::Show(const QString& name, const std::string& path, int channel,
                      std::shared_ptr<const std::vector<float>> response, int32_t sampleRate) {
  FSource = {name, path, channel, std::move(response), sampleRate};
  Analyse();
}

void TRoomPanel::Clear() {
  FSource = {};
  FShown.reset();
  FillTable();
}

void TRoomPanel::Forget() {
  FCache.clear();
  Clear();
}

void TRoomPanel::Analyse() {
  if (!FSource.Response) {
    Clear();
    return;
  }
  const auto key = std::make_tuple(FSource.Path, FSource.Channel, static_cast<int>(Width()));
  auto found = FCache.find(key);
  if (found == FCache.end()) {
    if (FCache.size() >= MaxCachedAnalyses)
      FCache.clear();
    auto analysis = std::make_shared<TAnalysis>();
    for (TBandAnalysis& band :
         RoomAnalysis(FSource.Response->data(), static_cast<int32_t>(FSource.Response->size()),
                      FSource.SampleRate, Width())) {
      analysis->Levels.push_back(std::make_shared<const std::vector<float>>(std::move(band.Decay.LevelDb)));
      analysis->Bands.push_back(std::move(band.Parameters));
      analysis->Decays.push_back(std::move(band.Decay));
    }
    found = FCache.emplace(key, std::move(analysis)).first;
  }
  if (FShown == found->second)
    return; // already shown: the band selection stays
  FShown = found->second;
  FillTable();
}

void TRoomPanel::FillTable() {
  const QSignalBlocker blocker(Table);
  Table->setRowCount(0);
  const size_t count = FShown ? FShown->Bands.size() : 0;
  Table->setRowCount(static_cast<int>(count));
  for (size_t b = 0; b < count; ++b) {
    const TBandParameters& p = FShown->Bands[b];
    const auto r = static_cast<int>(b);
    const std::pair<const std::optional<double>*, int> values[] = {{&p.EdtS, 3},  {&p.T20S, 3},  {&p.T30S, 3},
                                                                   {&p.C50Db, 2}, {&p.C80Db, 2}, {&p.D50, 3},
                                                                   {&p.TsMs, 2},  {&p.InrDb, 2}};
    Table->setItem(r, ColBand, NumberItem(p.BandHz, 0));
    for (int column = ColEdt; column <= ColInr; ++column) {
      const auto& [value, decimals] = values[column - ColEdt];
      Table->setItem(r, column, NumberItem(*value, decimals));
    }
    QStringList warnings;
    for (const std::string& warning : p.Warnings)
      warnings << QString::fromStdString(warning);
    Table->setItem(r, ColWarnings, new QTableWidgetItem(warnings.join(QStringLiteral("; "))));
    Table->item(r, ColWarnings)->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    for (int column = 0; column < ColumnCount; ++column)
      Table->item(r, column)->setToolTip(warnings.join(QLatin1Char('\n')));
  }
  Table->resizeColumnsToContents();
  // The values whole beside the plot; the warnings scroll (and are tooltips).
  int width = 2 * Table->frameWidth() + Table->verticalScrollBar()->sizeHint().width();
  for (int column = 0; column < ColWarnings; ++column)
    width += Table->columnWidth(column);
  Table->setMinimumWidth(std::min(width, MaxTableWidth));
  UpdatePlot();
}

// The selected bands' integrals and fitted lines; with none selected, those
// of the octave series.
void TRoomPanel::UpdatePlot() {
  std::vector<TPlotSeries> series;
  double longestMs = 1.0, lowestDb = 0.0;
  const size_t count = FShown ? FShown->Bands.size() : 0;
  std::set<int> rows;
  for (const QModelIndex& index : Table->selectionModel()->selectedRows())
    rows.insert(index.row());
  std::set<double> octaves;
  for (const TBand& band : AnalysisBands(TBandWidth::Octave, std::max(1, FSource.SampleRate)))
    octaves.insert(band.NominalHz);
  for (size_t b = 0; b < count; ++b) {
    const double hz = FShown->Bands[b].BandHz;
    if (rows.empty() ? octaves.count(hz) == 0 : rows.count(static_cast<int>(b)) == 0)
      continue;
    const TBandDecay& decay = FShown->Decays[b];
    const std::shared_ptr<const std::vector<float>>& levels = FShown->Levels[b];
    const QColor colour =
        QColor::fromHsv(static_cast<int>(300.0 * static_cast<double>(b) /
                                         static_cast<double>(std::max<size_t>(1, count - 1))),
                        220, 200);
    series.push_back({BandName(hz), colour, levels, nullptr, 0.0, std::max(1e-9, 1e3 * decay.StepS)});
    for (const auto& [line, fit] : {std::pair(&decay.T20, "T20"), std::pair(&decay.T30, "T30")})
      if (*line)
        series.push_back(FittedLine(tr("%1 %2 fit").arg(BandName(hz), QLatin1String(fit)), **line, colour));
    if (!levels->empty()) {
      longestMs = std::max(longestMs, 1e3 * decay.StepS * static_cast<double>(levels->size()));
      lowestDb = std::min(lowestDb, static_cast<double>(levels->back()));
    }
  }
  Plot->SetSeries(std::move(series));
  Plot->SetFullXRange({0.0, longestMs});
  Plot->SetYRange({std::max(LowestShownDb, lowestDb) - 5.0, 3.0});
}

bool TRoomPanel::WriteTable(std::ostream& out) const {
  if (!FShown)
    return false;
  std::vector<TRoomRow> rows;
  for (const TBandParameters& band : FShown->Bands)
    rows.push_back({FSource.Name.toStdString(), FSource.Channel + 1, band, band.Warnings});
  WriteRoomReport(out, rows, TReportFormat::Csv);
  return static_cast<bool>(out);
}

} // namespace ravelin
