#pragma once
// The logging station without a display: the runtime under a QCoreApplication, its reports on
// stderr for the journal. No widget is made and no platform plugin loaded.
int RunHeadlessStation(int argc, char** argv);
