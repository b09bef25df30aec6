#pragma once
// What the station's dialogs work on: the main window's diagram and settings file, and the
// few things they ask of the main window. The main window fills it once at start.
#include <functional>

class QWidget;
class TIniFile;
class TMOX_Diagram;

struct TStationContext {
    TMOX_Diagram* Diagram = nullptr;
    TIniFile* Ini = nullptr;
    QWidget* MainWindow = nullptr;              // parent of the dialogs
    std::function<void()> Redraw;               // re-layout and redraw the magnetogram
    std::function<void(bool)> EnableKorrektur;  // the manual correction command
};
