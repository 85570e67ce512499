// The results window: a sortable table of the run's files (one row per file
// and channel: status, latency, peak, peak-to-noise ratio and warnings, rows
// with warnings or errors highlighted) that fills as files finish, and plots
// of the selected rows read back from their output files: the impulse, the
// energy-time curve with its noise floor and decay end, the magnitude
// response with a smoothing choice, phase and group delay. Several selected
// rows overlay their curves with a legend. The plot, its curves and the table
// can be saved. The distortion tab shows the harmonic orders and the THD of
// the first selected row (from runs with harmonics); the room tab its room
// parameters, computed while the tab is shown.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <QWidget>

#include "PlotView.h"
#include "RoomPanel.h"
#include "frontEnd.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace ravelin {

enum class TPlotKind { Impulse, Etc, Magnitude, Phase, GroupDelay, Distortion, Room };

class TFormResults final : public QWidget {
  Q_OBJECT

public:
  // Table columns.
  enum TColumn { ColFile, ColChannel, ColStatus, ColLatency, ColPeak, ColPnr, ColWarnings, ColumnCount };

  explicit TFormResults(QWidget* parent);

  // Clears the table for a new run.
  void BeginRun();
  void AddResult(const TFileResult& result);

  // Saves what is shown: the current plot as PNG, its curves as CSV
  // ("series,x,y" rows), the table in its current order as CSV. The path is
  // asked through the desktop; false when cancelled or not written.
  bool SavePlot();
  bool SaveCurves();
  bool SaveTable();
  // The room tab's table as the room report's CSV.
  bool SaveRoomTable();

  TPlotView* Plot(TPlotKind kind) const;
  TPlotKind CurrentPlot() const;

  QTableWidget* const Table;
  QComboBox* const ComboChannel;   // "All channels", then "Channel 1" ...
  QComboBox* const ComboSmoothing; // none, 1/1 ... 1/48 octave
  QTabWidget* const Tabs;
  TPlotView* const Distortion;   // orders 2 .. K and THD, dB re the fundamental
  QLabel* const LabelDistortion; // above it: the harmonics' warnings, or why there is no plot
  TRoomPanel* const Room;        // the last tab
  QLabel* const LabelStatus;     // why a selected row cannot be plotted
  QPushButton* const ButtonSavePlot;
  QPushButton* const ButtonSaveCurves;
  QPushButton* const ButtonSaveTable;

private:
  // What the plots show of one response channel.
  struct TChannelPlot {
    double MsPerSample = 0.0;
    int64_t PeakIndex = 0;
    std::shared_ptr<const std::vector<float>> Impulse;
    std::shared_ptr<const std::vector<double>> TimeMs, FrequencyHz;
    std::shared_ptr<const std::vector<float>> EtcDb, SchroederDb, MagnitudeDb, PhaseDeg, GroupDelayMs;
  };
  struct TRow {
    QString Name;
    std::string OutputPath; // empty unless processed
    int Channel = 0;        // 0-based
    TChannelFigures Figures;
    std::shared_ptr<const THarmonicCurves> Harmonics; // null without harmonics
  };

  void BuildLayout();
  void AddRow(const TRow& row, const QString& status, const QString& warnings, bool failed);
  // Hides the rows of the channels not chosen (the plots keep their zoom).
  void ApplyChannelFilter();
  std::vector<const TRow*> SelectedRows() const;
  const TChannelPlot& PlotOf(const TRow& row, int smoothing);
  void UpdatePlots();
  void UpdateDistortion(const std::vector<const TRow*>& rows);
  // The room tab, while it is shown.
  void UpdateRoom();
  void ShowCurves(TPlotKind kind, std::vector<TPlotSeries> series, TAxisRange x, TAxisRange y);
  QString AskSavePath(const QString& title, const QString& filter, const QString& suffix);

  std::vector<TRow> FRows; // the table's rows refer to these by index
  // By output file, channel and smoothing, for the rows shown lately.
  std::map<std::tuple<std::string, int, int>, TChannelPlot> FPlots;
};

} // namespace ravelin
