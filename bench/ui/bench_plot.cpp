// Redraw time of the results window's plot: a response of ten million
// samples (a decaying noise tail) drawn whole, and zoomed to a tenth, into a
// picture the size of a large plot. The target is at most 20 ms per redraw.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "PlotView.h"

namespace {

constexpr size_t Samples = 10'000'000;

std::shared_ptr<const std::vector<float>> DecayingNoise() {
  auto samples = std::make_shared<std::vector<float>>(Samples);
  std::mt19937 random(7);
  std::normal_distribution<float> noise(0.0f, 0.1f);
  for (size_t i = 0; i < Samples; ++i)
    (*samples)[i] = noise(random) * std::exp(-static_cast<float>(i) / 2e6f);
  return samples;
}

void Redraw(benchmark::State& state) {
  static const std::shared_ptr<const std::vector<float>> samples = DecayingNoise();
  ravelin::TPlotView view;
  view.SetAxes(QStringLiteral("Time (ms)"), ravelin::TAxisScale::Linear, QStringLiteral("Amplitude"));
  view.SetSeries(
      {{QStringLiteral("response"), QColor(31, 119, 180), samples, nullptr, 0.0, 1000.0 / 48000.0}});
  const double lengthMs = static_cast<double>(Samples) * 1000.0 / 48000.0;
  view.SetFullXRange({0.0, lengthMs});
  view.SetXRange({0.0, lengthMs / static_cast<double>(state.range(0))});
  view.SetYRange({-0.5, 0.5});
  QImage image(1600, 500, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&image);
    view.Render(painter, image.rect());
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetLabel(state.range(0) == 1 ? "whole response" : "a tenth of it");
}
BENCHMARK(Redraw)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv); // fonts for the axis labels
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
