// mox-station: `MOX_View LOG` without a display, which MOX_View hands the run to. It links
// QtCore and no widget library.
#include "station/app/StationStart.h"
#include "station/runtime/HeadlessStation.h"
#include "station/runtime/QtMessages.h"

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kStationCommandLine, argc, argv); rc >= 0) return rc;
    RouteQtMessages();
    return RunHeadlessStation(argc, argv);
}
