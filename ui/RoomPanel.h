// The results window's room tab: the room parameters of one response channel
// per octave or one-third octave band (empty cells where a band's decay
// cannot support a value, its warnings in a column and as the row's tooltip)
// and a plot of the bands' backward integrals with their fitted T20 and T30
// lines. A band analysis is computed when first shown and kept per file,
// channel and band width until the next run.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <QWidget>

#include "roomParameters.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace ravelin {

class TPlotView;

class TRoomPanel final : public QWidget {
  Q_OBJECT

public:
  // Table columns.
  enum TColumn {
    ColBand,
    ColEdt,
    ColT20,
    ColT30,
    ColC50,
    ColC80,
    ColD50,
    ColTs,
    ColInr,
    ColWarnings,
    ColumnCount
  };

  explicit TRoomPanel(QWidget* parent);

  // Shows the bands of one channel (from 0) of the response file at path; name
  // is the file's in the exported table. Throws TRavelinError where the response is too
  // long for the band filters.
  void Show(const QString& name, const std::string& path, int channel,
            std::shared_ptr<const std::vector<float>> response, int32_t sampleRate);
  // Shows nothing.
  void Clear();
  // Drops the kept analyses (the files may be written again).
  void Forget();
  // The shown table as the room report's CSV; false when nothing is shown.
  bool WriteTable(std::ostream& out) const;

  QComboBox* const ComboBands; // octaves, one-third octaves
  QTableWidget* const Table;
  TPlotView* const Plot;
  QPushButton* const ButtonSave; // the results window connects it

private:
  struct TAnalysis {
    std::vector<TBandParameters> Bands;
    std::vector<TBandDecay> Decays;
    std::vector<std::shared_ptr<const std::vector<float>>> Levels; // the decays' levels, for the plot
  };
  struct TSource {
    QString Name;
    std::string Path;
    int Channel = 0;
    std::shared_ptr<const std::vector<float>> Response;
    int32_t SampleRate = 0;
  };

  TBandWidth Width() const;
  void Analyse();
  void FillTable();
  void UpdatePlot();

  TSource FSource;
  std::shared_ptr<const TAnalysis> FShown;
  std::map<std::tuple<std::string, int, int>, std::shared_ptr<const TAnalysis>> FCache;
};

} // namespace ravelin
