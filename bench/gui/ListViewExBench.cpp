// What drawing the full-row list costs: shortening texts with "..." and painting a screenful
// of rows with the longest texts a cell can hold.
#include "gui/CListViewEx.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void BM_FitTextWithEllipsis(benchmark::State& state) {
    const QFontMetrics metrics(QApplication::font());
    const QString text(int(state.range(0)), QLatin1Char('m'));
    const int width = int(state.range(1));
    for (auto _ : state)
        benchmark::DoNotOptimize(CListViewEx::FitTextWithEllipsis(metrics, text, width, 12));
}
// Short and longest texts, in a narrow and a wide column.
BENCHMARK(BM_FitTextWithEllipsis)->Args({20, 100})->Args({259, 100})->Args({259, 1000});

void BM_PaintScreenfulOfLongRows(benchmark::State& state) {
    CListViewEx list;
    list.resize(800, 600);
    list.InsertColumn(0, "date/time", Qt::AlignLeft, 100);
    list.InsertColumn(1, "to", Qt::AlignLeft, 80);
    list.InsertColumn(2, "who", Qt::AlignLeft, 190);
    list.SetFullRowSelect(true);
    const QString longText(CListViewEx::maxItemText, QLatin1Char('w'));
    for (int row = 0; row < 200; ++row)
        new QTreeWidgetItem(&list, {longText, longText, longText});
    list.setCurrentItem(list.topLevelItem(3));
    list.show();
    QImage image(list.viewport()->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        list.viewport()->render(&image);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PaintScreenfulOfLongRows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
