#pragma once
// The suite's internal programs: the windows and the headless station, to which the programs
// a user starts hand the runs that need Qt. A program loads its libraries before its first
// line runs, so the one a user starts links only what its runs without Qt need, and replaces
// itself by the internal program for the others.
#include <string>

// Where internal program `name` lies: the libexec folder beside the running program's folder
// (build tree and install alike), else that of the installation the build was made for.
std::string InternalProgramPath(const std::string& name);

// Replaces this process by internal program `name` with the same arguments, argv[0] too, and
// the same environment. Returns only when that fails, with the exit code (127: not found, 126:
// not started, as env(1) has it) after the message on stderr.
int ExecInternalProgram(const std::string& name, char** argv);
