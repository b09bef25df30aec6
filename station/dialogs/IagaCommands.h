#pragma once
// The two IAGA-2002 commands of the station: an observatory's file converted into day files
// and its first day loaded into the diagram, and the loaded curves' day files written as
// IAGA-2002 minute files for others to use.
#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "station/dialogs/StationContext.h"

class TIagaCommands : public QObject {
public:
    explicit TIagaCommands(TStationContext& context);

    // "IAGA-2002 -> *.MOX"
    void ImportClick();
    // "Als IAGA-2002 exportieren..."
    void ExportClick();

    // The day files of the loaded curves, each once, in the order of the curves.
    std::vector<std::string> LoadedDayFiles() const;

    // Choosers and messages; file dialogs and message boxes by default, tests put their own.
    // Each chooser starts in the given folder and gives an empty text when cancelled.
    std::function<std::string(const std::string& folder)> ChooseFile;
    std::function<std::string(const std::string& folder)> ChooseFolder;
    std::function<std::string()> AskCode;
    std::function<void(const std::string& text, bool error)> Tell;
    std::function<void()> RefreshCurveWindows;

private:
    std::string StationCode();

    TStationContext& ctx;
};
