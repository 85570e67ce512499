// A plot widget on QPainter: curves over a linear or logarithmic x axis, drawn as a min/max envelope per
// pixel column when they hold more samples than the plot has columns (so a response of ten million samples
// redraws in a few milliseconds), with marker lines and a legend. The wheel zooms x about the pointer,
// dragging pans it, a double click shows the whole x range again.
#pragma once

#include <memory>
#include <vector>

#include <QColor>
#include <QPoint>
#include <QString>
#include <QWidget>

namespace ravelin {

enum class TAxisScale { Linear, Log };

struct TPlotSeries {
  QString Name;
  QColor Color;
  std::shared_ptr<const std::vector<float>> Y; // shared with the caller's cache
  // x of each sample, ascending; when null, sample i lies at X0 + i Dx.
  std::shared_ptr<const std::vector<double>> X;
  double X0 = 0.0;
  double Dx = 1.0; // > 0
  bool Dashed = false;
  bool InLegend = true;
};

// A line across the plot: at x (vertical) or at y (horizontal).
struct TPlotMarker {
  bool Vertical = true;
  double Value = 0.0;
  QColor Color;
  QString Label;
};

// x of sample i.
double SeriesX(const TPlotSeries& series, int64_t i);

struct TAxisRange {
  double Low = 0.0;
  double High = 1.0;
};

class TPlotView final : public QWidget {
  Q_OBJECT

public:
  explicit TPlotView(QWidget* parent = nullptr);

  void SetAxes(const QString& xTitle, TAxisScale xScale, const QString& yTitle);
  void SetSeries(std::vector<TPlotSeries> series);
  void SetMarkers(std::vector<TPlotMarker> markers);
  // The x range a double click returns to (the zoom's outer limit).
  void SetFullXRange(TAxisRange range);
  void SetXRange(TAxisRange range);
  void SetYRange(TAxisRange range);
  TAxisRange XRange() const { return FX; }
  TAxisRange YRange() const { return FY; }
  const std::vector<TPlotSeries>& Series() const { return FSeries; }

  // Draws the whole plot into area (also used for pictures and benchmarks).
  void Render(QPainter& painter, const QRect& area) const;
  // Zooms x by factor (< 1 closer) about x value centre, within the full range.
  void ZoomX(double factor, double centre);

  QSize sizeHint() const override { return {640, 360}; }

protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  struct TFrame; // pixel mapping of one drawing
  TFrame FrameFor(const QRect& area) const;
  void DrawGrid(QPainter& painter, const TFrame& frame) const;
  void DrawSeries(QPainter& painter, const TFrame& frame, const TPlotSeries& series) const;
  void DrawMarkers(QPainter& painter, const TFrame& frame) const;
  void DrawLegend(QPainter& painter, const TFrame& frame) const;
  TAxisRange Clamped(TAxisRange range) const;

  QString FXTitle;
  QString FYTitle;
  TAxisScale FXScale = TAxisScale::Linear;
  std::vector<TPlotSeries> FSeries;
  std::vector<TPlotMarker> FMarkers;
  TAxisRange FFullX;
  TAxisRange FX;
  TAxisRange FY;
  QPoint FDragStart;
  TAxisRange FDragRange;
};

} // namespace ravelin
