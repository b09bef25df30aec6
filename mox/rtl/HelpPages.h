#pragma once
// Where the programs find their help pages.
#include <string>

// $MOX_HELP_DIR if set; else the pages beside the programs (share/mox/help next to bin, or next
// to libexec for the internal programs, both in the build tree and installed); else the folder
// of the installation the build was made for. Empty if none holds the pages.
std::string HelpFolder();
