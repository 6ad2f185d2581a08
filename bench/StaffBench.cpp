// velk_staff_bench: drawing a movement's line on the staff of the Pitches page, for lines of 1,000 and 32,767
// positions (the longest sequence). Each figure must stay under a frame (16 ms): painting the part in view, and
// everything the staff does when a note is appended (the new line laid out, the last note brought into view
// and painted).

#include "pitches/Notation.h"
#include "pitches/StaffDrawing.h"
#include "pitches/StaffView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{

// A line that uses every height and accidental of the two octaves.
std::vector<std::string> longLine(std::int64_t length)
{
    static const char* const letters[] = {"C", "D", "E", "F", "G", "A", "B", "c", "d", "e", "f", "g", "a", "b"};
    static const char* const marks[] = {"", "*", "", "/", "", "**", "", "//"};
    std::vector<std::string> spellings;
    spellings.reserve(static_cast<std::size_t>(length));
    for (std::int64_t i = 0; i < length; ++i) {
        spellings.push_back(std::string(letters[(i * 5) % 14]) + marks[(i * 3) % 8]);
    }
    return spellings;
}

// The part of the staff a window shows: about a screen's width.
constexpr int kViewWidth = 1200;

void StaffPaint(benchmark::State& state)
{
    const velk::pitches::StaffDrawing drawing(velk::pitches::notateLine(longLine(state.range(0)), 4), 13);
    QImage view(kViewWidth, static_cast<int>(drawing.size().height()) + 1, QImage::Format_RGB32);
    // Scrolled to the middle of the line, the selected note in view.
    const double scroll = drawing.size().width() / 2;
    const auto selected = drawing.noteAt(scroll + kViewWidth / 2.0);
    for (auto _ : state) {
        view.fill(Qt::white);
        QPainter painter(&view);
        drawing.paint(painter, QPointF(-scroll, 0), selected, QRectF(view.rect()));
        painter.end();
        benchmark::DoNotOptimize(view.bits());
    }
}

void StaffAppend(benchmark::State& state)
{
    std::vector<std::string> spellings = longLine(state.range(0) - 1);
    velk::pitches::StaffView staff;
    staff.resize(kViewWidth, staff.sizeHint().height());
    staff.setLine(velk::pitches::notateLine(spellings, 4));
    QImage view(staff.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        state.PauseTiming();
        spellings.resize(static_cast<std::size_t>(state.range(0) - 1));
        staff.setLine(velk::pitches::notateLine(spellings, 4));
        state.ResumeTiming();
        // What the page and the staff do for one appended note.
        spellings.push_back("f*");
        staff.setLine(velk::pitches::notateLine(spellings, 4));
        staff.setCurrent(spellings.size() - 1, true);
        staff.render(&view);
        benchmark::DoNotOptimize(view.bits());
    }
}

BENCHMARK(StaffPaint)->Arg(1000)->Arg(32767)->Unit(benchmark::kMillisecond);
BENCHMARK(StaffAppend)->Arg(1000)->Arg(32767)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
