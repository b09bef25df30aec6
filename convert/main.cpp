// MOX_Convert: converts a folder's raw day logs into .mox day files. Without arguments it
// shows its window; "auto <folder> [--iaga <folder>]" converts that folder unattended (for
// cron), optionally also into IAGA-2002 files, and ends without opening any window.
//
// This program links no Qt: the window is an internal program that it replaces itself by, so
// that the unattended run loads no window library.
#include "convert/ConvertStart.h"
#include "mox/rtl/InternalPrograms.h"

int main(int argc, char** argv)
{
    if (const int rc = AnswerCommandLine(kConvertCommandLine, argc, argv); rc >= 0) return rc;
    if (IsAutoRun(argc, argv)) return RunAutoConversion(argc, argv);
    return ExecInternalProgram(kConvertWindowProgram, argv);
}
