// Times drawing a full diagram (four curves, alarm marks, K labels and bars) and writing it
// as an image file, the work a station does on every resize and every batch.
//
//   mox-bench-render [repetitions]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

#include "mox/Mm.h"
#include "mox/rtl/CommandLine.h"
#include "station/export/ImageExport.h"

namespace {

// A disturbed day: daily variation, noise, a storm from 14:00 with fast swings.
double Field(int component, int minute)
{
    const double t = minute / 1440.0;
    double v = 20000.0 * (component + 1) + 25.0 * std::sin(2.0 * M_PI * (t - 0.3) + component);
    v += 3.0 * std::sin(minute * 0.7 + component) + 2.0 * std::cos(minute * 1.3);
    if (minute > 840 && minute < 1080)
        v += 180.0 * std::sin((minute - 840) / 9.0 + component) * std::exp(-(minute - 840) / 200.0);
    return std::round(v);
}

std::string DayFile()
{
    std::string text = "TYPE: 4\r\nTYPEDESCRIPTION: Bx, By, Bz, B\r\nVECTORS: 4\r\n"
                       "NAME1: Bx\r\nNAME2: By\r\nNAME3: Bz\r\nNAME4: B\r\nDATE: 15.06.03\r\n"
                       "LOCATION: Polverin\r\nLATITUDE: 52.0 N\r\nLONGITUDE: 13.0 E\r\n"
                       "LOCATOR: JO62AA\r\nAUTHOR: Benchmark\r\nREMARKS: \r\n";
    const char* names[] = {"Bx", "By", "Bz", "B"};
    for (int c = 0; c < 4; ++c) {
        text += std::string("DATA: ") + names[c] + "\r\n";
        for (int m = 0; m < 1440; ++m) text += std::to_string(long(Field(c, m))) + "\r\n";
        text += "END\r\n";
    }
    return text;
}

struct Stats {
    double median, best, mean;
};

Stats Measure(int repetitions, const std::function<void()>& work)
{
    work();  // warm caches: glyphs, faces, pages
    std::vector<double> ms;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms) sum += v;
    return {ms[ms.size() / 2], ms.front(), sum / double(ms.size())};
}

// The same by the processor time of this thread, which neighbours on a busy machine do not
// stretch.
Stats MeasureCpu(int repetitions, const std::function<void()>& f)
{
    const auto now = [] {
        timespec ts;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    };
    f();
    std::vector<double> ms;
    for (int i = 0; i < repetitions; ++i) {
        const double start = now();
        f();
        ms.push_back(now() - start);
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms) sum += v;
    return {ms[ms.size() / 2], ms.front(), sum / double(ms.size())};
}

void Print(const char* what, const Stats& s)
{
    std::printf("| %s | %.3f | %.3f | %.3f |\n", what, s.median, s.best, s.mean);
}

}  // namespace

const TCommandLine kCommandLine{"mox-bench-render",
                                "Usage: mox-bench-render [REPETITIONS]\n"
                                "Measures drawing and writing a magnetogram (default: 50 repetitions).\n",
                                {},
                                1};

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kCommandLine, argc, argv); rc >= 0) return rc;
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    if (!TextRenderingAvailable()) std::fprintf(stderr, "mox-bench-render: no font found, drawing without text\n");

    const auto dir = std::filesystem::temp_directory_path() / ("mox-bench-render-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string day = (dir / "20030615.mox").string();
    std::ofstream(day, std::ios::binary) << DayFile();

    TMOX_Diagram d;
    for (int c = 1; c <= 4; ++c) d.LoadData(day, c, c);
    d.set_is_AutoScale(true);
    d.set_Alarm_limit(4);
    d.set_Titel("Magnetogramm $ORT$, $DATUM1$, $UHRZEIT1$ UTC");
    int k[8];
    for (int b = 1; b <= 8; ++b) k[b - 1] = d.get_K_index(b);
    std::printf("four curves loaded; K index %d %d %d %d %d %d %d %d; %d repetitions\n\n", k[0], k[1], k[2], k[3], k[4],
                k[5], k[6], k[7], repetitions);
    std::printf("| Work | Median ms | Best ms | Mean ms |\n|---|---:|---:|---:|\n");

    for (auto [w, h] : {std::pair{1000, 600}, {400, 250}, {1600, 1000}}) {
        TImage img(w, h);
        d.MOX_Image = &img;
        char label[64];
        std::snprintf(label, sizeof label, "ShowMagnetogramm %dx%d", w, h);
        Print(label, Measure(repetitions, [&] { d.ShowMagnetogramm(); }));
    }

    TImage img(1000, 600);
    d.MOX_Image = &img;
    d.ShowMagnetogramm();
    const std::string base = (dir / "diagram").string();
    Print("SaveDiagramImage PNG 1000x600", Measure(repetitions, [&] { SaveDiagramImage(img, base, 2); }));
    Print("SaveDiagramImage JPEG 1000x600", Measure(repetitions, [&] { SaveDiagramImage(img, base, 1); }));
    Print("SaveDiagramImage BMP 1000x600", Measure(repetitions, [&] { SaveDiagramImage(img, base, 0); }));
    std::printf("\nfile sizes: PNG %ju bytes, JPEG %ju bytes, BMP %ju bytes\n",
                std::uintmax_t(std::filesystem::file_size(base + ".png")),
                std::uintmax_t(std::filesystem::file_size(base + ".jpg")),
                std::uintmax_t(std::filesystem::file_size(base + ".bmp")));

    // The batch pictures (standard and preview) with each PNG row filter, reduced to the
    // palette as SaveDiagramImage writes them, stored as palette indexes and as RGB.
    std::printf("\nPNG row filters, compression level 9 (processor time of the writing thread):\n\n| Picture | Colours "
                "| Filter | Median ms | Best ms | Bytes |\n"
                "|---|---|---|---:|---:|---:|\n");
    const std::pair<PngRowFilter, const char*> filters[] = {
        {PngRowFilter::None, "none"},   {PngRowFilter::Sub, "sub"},
        {PngRowFilter::Up, "up"},       {PngRowFilter::Average, "average"},
        {PngRowFilter::Paeth, "paeth"}, {PngRowFilter::Adaptive, "adaptive (all five)"}};
    const std::pair<PngColours, const char*> colourForms[] = {{PngColours::PaletteWhenItFits, "palette"},
                                                              {PngColours::Rgb, "RGB"}};
    for (auto [w, h] : {std::pair{642, 376}, {400, 250}}) {
        TImage batch(w, h);
        d.MOX_Image = &batch;
        d.ShowMagnetogramm();
        TBitmap reduced;
        reduced.Assign(batch.Picture);
        reduced.SetPixelFormat(pf8bit);
        const std::string file = (dir / "filter.png").string();
        for (const auto& [colours, colourName] : colourForms)
            for (const auto& [filter, name] : filters) {
                const Stats s = MeasureCpu(repetitions, [&] { BitmapToPng(file, reduced, clNone, filter, colours); });
                std::printf("| %dx%d | %s | %s | %.2f | %.2f | %ju |\n", w, h, colourName, name, s.median, s.best,
                            std::uintmax_t(std::filesystem::file_size(file)));
            }
    }
    std::filesystem::remove_all(dir);
    return 0;
}
