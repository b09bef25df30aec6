// MOX_View: the station program. No argument: viewer; "LOG": logging station; a raw log file
// with optional width and height: one image, then the program ends.
//
// This program links no Qt: the image with both sizes is drawn here, and the runs that need Qt
// go to the internal programs, the headless station and the window, which it replaces itself
// by. A run so loads only the libraries its way needs.
#include <optional>

#include "mox/rtl/InternalPrograms.h"
#include "station/app/OneShotImage.h"
#include "station/app/StationStart.h"

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kStationCommandLine, argc, argv); rc >= 0) return rc;
    if (const std::optional<int> result = RunOneShotWithoutWindow(argc, argv)) return *result;
    return ExecInternalProgram(RunsHeadless(argc, argv) ? kHeadlessStationProgram : kStationWindowProgram, argv);
}
