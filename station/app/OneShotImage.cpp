#include "station/app/OneShotImage.h"

#include "mox/Mm.h"
#include "mox/StationRecord.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/SysUtils.h"
#include "station/app/BatchRun.h"
#include "station/app/SkippedCorrections.h"
#include "station/app/StationSettings.h"

namespace {

constexpr ImageSize kMinimum{400, 250};

std::string Joined(const std::vector<std::string>& words)
{
    std::string s;
    for (const std::string& w : words) s += (s.empty() ? "" : " ") + w;
    return s;
}

bool IsLogArgument(const char* a) { return SameText(a, "LOG"); }

}  // namespace

bool OneShotSize(const std::vector<std::string>& sizeArguments, ImageSize current, ImageSize& size, std::string& error)
{
    size = current;
    for (const std::string& a : sizeArguments)
        if (int v; TryStrToInt(a, v) && v < 0) {
            error = "Breite und Höhe dürfen nicht negativ sein: " + Joined(sizeArguments);
            return false;
        }
    if ((sizeArguments.size() > 0 && !ParseSizeArgument(sizeArguments[0], kMinimum.Width, current.Width, size.Width)) ||
        (sizeArguments.size() > 1 &&
         !ParseSizeArgument(sizeArguments[1], kMinimum.Height, current.Height, size.Height))) {
        error = "Breite und Höhe müssen ganze Zahlen sein: " + Joined(sizeArguments);
        return false;
    }
    if (size.Width > kMaxOneShotSide || size.Height > kMaxOneShotSide) {
        error = "Breite und Höhe dürfen höchstens " + std::to_string(kMaxOneShotSide) +
                " Pixel betragen: " + Joined(sizeArguments);
        return false;
    }
    return true;
}

int RunOneShotImage(TMOX_Diagram& diagram, const TIniFile& ini, bool withPreviousDay, const std::string& file,
                    ImageSize size, std::FILE* out, std::FILE* err)
{
    if (!FileExists(file)) {
        std::fprintf(err, "MOX_View: %s: Datei nicht gefunden\n", file.c_str());
        return oneShotFailed;
    }
    // The picture of an archive's station day names that station, as its day file does.
    const FolderRecord record(diagram, ExtractFilePath(file));
    // A raw log is converted first.
    if (const std::string error = LoadDay(diagram, file, withPreviousDay); !error.empty())
        std::fprintf(err, "MOX_View: %s\n", error.c_str());
    if (diagram.is_empty()) {
        std::fprintf(err, "MOX_View: %s: keine Messwerte\n", file.c_str());
        return oneShotFailed;
    }
    diagram.bestimme_K_Wert();
    if (const std::string skipped = SkippedCorrectionLines(diagram); !skipped.empty())
        std::fprintf(err, "MOX_View: %s", skipped.c_str());
    const std::string imageDir = ReadImageDir(ini);
    const int format = ReadImageFormat(ini);
    const std::string base = OneShotBase(imageDir, file);
    std::string error;
    if (MakeFolder(imageDir, error)) error = DrawAndSave(diagram, size, base, format);
    if (!error.empty()) {
        std::fprintf(err, "MOX_View: %s\n", error.c_str());
        return oneShotFailed;
    }
    if (ImageExtension(format).empty()) {
        std::fprintf(err, "MOX_View: Bildformat %d schreibt kein Bild\n", format);
        return oneShotFailed;
    }
    std::fprintf(out, "%s%s\n", base.c_str(), ImageExtension(format).c_str());
    return oneShotOk;
}

std::optional<int> RunOneShotWithoutWindow(int argc, char** argv)
{
    // Options (Qt's own too) and the logging station go the window's way.
    if (argc != 4 || argv[1][0] == '-' || IsLogArgument(argv[1])) return std::nullopt;
    ImageSize size;
    std::string error;
    if (!OneShotSize({argv[2], argv[3]}, {0, 0}, size, error)) {
        std::fprintf(stderr, "MOX_View: %s\n", error.c_str());
        return oneShotUsage;
    }
    if (size.Width == 0 || size.Height == 0) return std::nullopt;  // the window's size
    WarnWithoutFonts(stderr);
    UseStationFormats();
    const TIniFile ini(MoxIniPath());
    TMOX_Diagram diagram;
    const StationSettings settings = ReadStationSettings(ini, diagram, false);
    const int result = RunOneShotImage(diagram, ini, settings.BatchVortag, argv[1], size, stdout, stderr);
    std::fflush(stdout);
    return result;
}

void WarnWithoutFonts(std::FILE* err)
{
    if (!TextRenderingAvailable())
        std::fprintf(err, "MOX_View: keine Schrift gefunden (fonts-liberation fehlt?); "
                          "die Diagramme erscheinen ohne Beschriftung.\n");
}
