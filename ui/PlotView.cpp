#include "PlotView.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace ravelin {

namespace {

constexpr int MarginLeft = 60;
constexpr int MarginRight = 12;
constexpr int MarginTop = 10;
constexpr int MarginBottom = 40;
// Smallest visible x span as a share of the full span (linear axis) or as a
// ratio of its ends (log axis).
constexpr double MinLinearSpan = 1e-7;
constexpr double MinLogRatio = 1.001;

// 1, 2 or 5 times a power of ten, near span / count.
double NiceStep(double span, int count) {
  const double raw = span / count;
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double step : {1.0, 2.0, 5.0}) {
    if (step * decade >= raw)
      return step * decade;
  }
  return 10.0 * decade;
}

// A frequency-like tick label: 20, 500, 1k, 20k.
QString LogLabel(double value) {
  return value >= 1000.0 ? QString::number(value / 1000.0, 'g', 3) + QLatin1Char('k')
                         : QString::number(value, 'g', 3);
}

// Index of the first sample at or after x (0 .. size).
int64_t IndexAt(const TPlotSeries& series, double x) {
  const auto count = static_cast<int64_t>(series.Y->size());
  if (series.X) {
    const auto end = series.X->begin() + std::min<int64_t>(count, static_cast<int64_t>(series.X->size()));
    return std::lower_bound(series.X->begin(), end, x) - series.X->begin();
  }
  const double index = std::ceil((x - series.X0) / series.Dx);
  return static_cast<int64_t>(std::clamp(index, 0.0, static_cast<double>(count)));
}

} // namespace

double SeriesX(const TPlotSeries& series, int64_t i) {
  return series.X ? (*series.X)[static_cast<size_t>(i)] : series.X0 + static_cast<double>(i) * series.Dx;
}

struct TPlotView::TFrame {
  QRectF Plot;
  TAxisScale Scale = TAxisScale::Linear;
  TAxisRange X;
  TAxisRange Y;

  // Position along the x axis, 0 at its low end and 1 at its high end.
  double U(double x) const {
    return Scale == TAxisScale::Log ? std::log(x / X.Low) / std::log(X.High / X.Low)
                                    : (x - X.Low) / (X.High - X.Low);
  }
  double XAt(double u) const {
    return Scale == TAxisScale::Log ? X.Low * std::pow(X.High / X.Low, u) : X.Low + u * (X.High - X.Low);
  }
  double Px(double x) const { return Plot.left() + U(x) * Plot.width(); }
  double Py(double y) const { return Plot.bottom() - (y - Y.Low) / (Y.High - Y.Low) * Plot.height(); }
};

TPlotView::TPlotView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(320, 200);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPlotView::SetAxes(const QString& xTitle, TAxisScale xScale, const QString& yTitle) {
  FXTitle = xTitle;
  FXScale = xScale;
  FYTitle = yTitle;
  update();
}

void TPlotView::SetSeries(std::vector<TPlotSeries> series) {
  FSeries = std::move(series);
  update();
}

void TPlotView::SetMarkers(std::vector<TPlotMarker> markers) {
  FMarkers = std::move(markers);
  update();
}

void TPlotView::SetFullXRange(TAxisRange range) {
  FFullX = range;
  FX = range;
  update();
}

void TPlotView::SetXRange(TAxisRange range) {
  FX = Clamped(range);
  update();
}

void TPlotView::SetYRange(TAxisRange range) {
  if (!(range.High > range.Low))
    range.High = range.Low + 1.0;
  FY = range;
  update();
}

TAxisRange TPlotView::Clamped(TAxisRange range) const {
  const bool log = FXScale == TAxisScale::Log;
  const double fullSpan = log ? std::log(FFullX.High / FFullX.Low) : FFullX.High - FFullX.Low;
  double low = log ? std::log(range.Low / FFullX.Low) : range.Low - FFullX.Low;
  double span = log ? std::log(range.High / range.Low) : range.High - range.Low;
  const double minSpan = log ? std::log(MinLogRatio) : fullSpan * MinLinearSpan;
  span = std::clamp(span, minSpan, fullSpan);
  low = std::clamp(low, 0.0, fullSpan - span);
  if (log)
    return {FFullX.Low * std::exp(low), FFullX.Low * std::exp(low + span)};
  return {FFullX.Low + low, FFullX.Low + low + span};
}

void TPlotView::ZoomX(double factor, double centre) {
  if (FXScale == TAxisScale::Log) {
    const double low = std::log(FX.Low), high = std::log(FX.High), c = std::log(centre);
    SetXRange({std::exp(c + (low - c) * factor), std::exp(c + (high - c) * factor)});
  } else {
    SetXRange({centre + (FX.Low - centre) * factor, centre + (FX.High - centre) * factor});
  }
}

TPlotView::TFrame TPlotView::FrameFor(const QRect& area) const {
  TFrame frame;
  frame.Plot = QRectF(area.left() + MarginLeft, area.top() + MarginTop,
                      area.width() - MarginLeft - MarginRight, area.height() - MarginTop - MarginBottom);
  frame.Scale = FXScale;
  frame.X = FX;
  frame.Y = FY;
  return frame;
}

void TPlotView::Render(QPainter& painter, const QRect& area) const {
  painter.fillRect(area, Qt::white);
  const TFrame frame = FrameFor(area);
  if (frame.Plot.width() < 2 || frame.Plot.height() < 2)
    return;
  DrawGrid(painter, frame);
  painter.save();
  painter.setClipRect(frame.Plot);
  for (const TPlotSeries& series : FSeries)
    DrawSeries(painter, frame, series);
  DrawMarkers(painter, frame);
  painter.restore();
  DrawLegend(painter, frame);
}

void TPlotView::DrawGrid(QPainter& painter, const TFrame& frame) const {
  const QRectF& plot = frame.Plot;
  const QPen minor(QColor(236, 236, 236)), major(QColor(212, 212, 212));
  const auto verticalAt = [&](double x, const QPen& pen, const QString& label) {
    const double px = frame.Px(x);
    painter.setPen(pen);
    painter.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
    if (!label.isEmpty()) {
      painter.setPen(Qt::black);
      painter.drawText(QRectF(px - 30, plot.bottom() + 2, 60, 16), Qt::AlignHCenter | Qt::AlignTop, label);
    }
  };
  if (frame.Scale == TAxisScale::Log) {
    for (double decade = std::pow(10.0, std::floor(std::log10(frame.X.Low))); decade <= frame.X.High;
         decade *= 10.0) {
      for (int m = 1; m <= 9; ++m) {
        const double x = m * decade;
        if (x >= frame.X.Low && x <= frame.X.High)
          verticalAt(x, m == 1 ? major : minor, m == 1 || m == 2 || m == 5 ? LogLabel(x) : QString());
      }
    }
  } else {
    const double step = NiceStep(frame.X.High - frame.X.Low, 8);
    for (double x = std::ceil(frame.X.Low / step) * step; x <= frame.X.High; x += step)
      verticalAt(x, major, QString::number(x, 'g', 6));
  }
  const double yStep = NiceStep(frame.Y.High - frame.Y.Low, 6);
  for (double y = std::ceil(frame.Y.Low / yStep) * yStep; y <= frame.Y.High; y += yStep) {
    const double py = frame.Py(y);
    painter.setPen(major);
    painter.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, py - 8, plot.left() - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(std::abs(y) < yStep * 1e-6 ? 0.0 : y, 'g', 5));
  }
  painter.setPen(Qt::black);
  painter.drawRect(plot);
  painter.drawText(QRectF(plot.left(), plot.bottom() + 18, plot.width(), 18), Qt::AlignHCenter, FXTitle);
  painter.save();
  painter.translate(12, plot.center().y());
  painter.rotate(-90);
  painter.drawText(QRectF(-plot.height() / 2, -10, plot.height(), 18), Qt::AlignHCenter, FYTitle);
  painter.restore();
}

// Samples in view are drawn one by one when they are few; else each pixel
// column gets one vertical line from the smallest to the largest of its
// samples (and its left neighbour's last, so the envelope has no gaps).
void TPlotView::DrawSeries(QPainter& painter, const TFrame& frame, const TPlotSeries& series) const {
  if (!series.Y || series.Y->empty())
    return;
  const std::vector<float>& y = *series.Y;
  const auto count = static_cast<int64_t>(series.X ? std::min(y.size(), series.X->size()) : y.size());
  const auto indexAt = [&](double x) { return IndexAt(series, x); };
  const int64_t first = std::max<int64_t>(0, indexAt(frame.X.Low) - 1);
  const int64_t last = std::min(count, indexAt(frame.X.High) + 1);
  const auto columns = static_cast<int>(frame.Plot.width());
  QPen pen(series.Color, 1.2);
  if (series.Dashed)
    pen.setStyle(Qt::DashLine);
  painter.setPen(pen);
  const auto xOf = [&](int64_t i) { return SeriesX(series, i); };
  if (last - first <= 2 * static_cast<int64_t>(columns)) {
    QPolygonF line;
    for (int64_t i = first; i < last; ++i) {
      if (frame.Scale == TAxisScale::Linear || xOf(i) > 0.0)
        line << QPointF(frame.Px(xOf(i)), frame.Py(static_cast<double>(y[static_cast<size_t>(i)])));
    }
    painter.drawPolyline(line);
    return;
  }
  QVector<QLineF> lines;
  lines.reserve(columns);
  int64_t begin = first;
  float previous = y[static_cast<size_t>(first)];
  for (int column = 0; column < columns; ++column) {
    const int64_t end = std::min(last, indexAt(frame.XAt(static_cast<double>(column + 1) / columns)));
    if (end <= begin)
      continue;
    float low = previous, high = previous;
    for (int64_t i = begin; i < end; ++i) {
      const float v = y[static_cast<size_t>(i)];
      low = v < low ? v : low;
      high = v > high ? v : high;
    }
    const double px = frame.Plot.left() + column + 0.5;
    lines << QLineF(px, frame.Py(static_cast<double>(high)), px, frame.Py(static_cast<double>(low)));
    previous = y[static_cast<size_t>(end - 1)];
    begin = end;
  }
  painter.drawLines(lines);
}

void TPlotView::DrawMarkers(QPainter& painter, const TFrame& frame) const {
  for (const TPlotMarker& marker : FMarkers) {
    QPen pen(marker.Color, 1.0, Qt::DashDotLine);
    painter.setPen(pen);
    if (marker.Vertical) {
      const double px = frame.Px(marker.Value);
      painter.drawLine(QPointF(px, frame.Plot.top()), QPointF(px, frame.Plot.bottom()));
      painter.drawText(QPointF(px + 3, frame.Plot.bottom() - 4), marker.Label);
    } else {
      const double py = frame.Py(marker.Value);
      painter.drawLine(QPointF(frame.Plot.left(), py), QPointF(frame.Plot.right(), py));
      painter.drawText(QPointF(frame.Plot.left() + 4, py - 3), marker.Label);
    }
  }
}

void TPlotView::DrawLegend(QPainter& painter, const TFrame& frame) const {
  std::vector<const TPlotSeries*> shown;
  for (const TPlotSeries& series : FSeries) {
    if (series.InLegend && !series.Name.isEmpty())
      shown.push_back(&series);
  }
  if (shown.empty())
    return;
  const QFontMetrics metrics = painter.fontMetrics();
  int width = 0;
  for (const TPlotSeries* series : shown)
    width = std::max(width, metrics.horizontalAdvance(series->Name));
  const int row = metrics.height() + 2;
  const QRectF box(frame.Plot.right() - width - 44, frame.Plot.top() + 6, width + 38,
                   row * static_cast<double>(shown.size()) + 6);
  painter.setPen(QColor(160, 160, 160));
  painter.setBrush(QColor(255, 255, 255, 230));
  painter.drawRect(box);
  painter.setBrush(Qt::NoBrush);
  double y = box.top() + 3 + row / 2.0;
  for (const TPlotSeries* series : shown) {
    painter.setPen(QPen(series->Color, 2.0));
    painter.drawLine(QPointF(box.left() + 6, y), QPointF(box.left() + 26, y));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(box.left() + 32, y - row / 2.0, width + 4, row), Qt::AlignVCenter, series->Name);
    y += row;
  }
}

void TPlotView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  Render(painter, rect());
}

void TPlotView::wheelEvent(QWheelEvent* event) {
  const TFrame frame = FrameFor(rect());
  const double u = (event->position().x() - frame.Plot.left()) / frame.Plot.width();
  ZoomX(std::pow(0.8, event->angleDelta().y() / 120.0), frame.XAt(std::clamp(u, 0.0, 1.0)));
  event->accept();
}

void TPlotView::mousePressEvent(QMouseEvent* event) {
  FDragStart = event->position().toPoint();
  FDragRange = FX;
}

void TPlotView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton))
    return;
  const TFrame frame = FrameFor(rect());
  const double du = (FDragStart.x() - event->position().x()) / frame.Plot.width();
  if (FXScale == TAxisScale::Log) {
    const double ratio = std::pow(FDragRange.High / FDragRange.Low, du);
    SetXRange({FDragRange.Low * ratio, FDragRange.High * ratio});
  } else {
    const double shift = du * (FDragRange.High - FDragRange.Low);
    SetXRange({FDragRange.Low + shift, FDragRange.High + shift});
  }
}

void TPlotView::mouseDoubleClickEvent(QMouseEvent* /*event*/) {
  SetXRange(FFullX);
}

} // namespace ravelin
