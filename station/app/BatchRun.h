#pragma once
// The one batch pipeline of the station: a day loaded into the diagram, drawn at the sizes
// asked for and written into the image folder with the pages beside it. The logging station's
// periodic batch and the one-shot image run both go through it.
#include <string>

#include "station/app/BatchPlan.h"
#include "station/app/Reports.h"

class TMOX_Diagram;

// Loads `file` (a raw log is converted first) as the diagram's day, with the day before it when
// asked. The diagram is emptied first. The error, empty when the day loaded (it may still hold
// no readings).
std::string LoadDay(TMOX_Diagram& diagram, const std::string& file, bool withPreviousDay);

// LoadDay for the batch's copy of the day log: its day file and conversion report are
// replaced only when they changed, and synced together.
std::string LoadSnapshot(TMOX_Diagram& diagram, const std::string& snapshot, bool withPreviousDay);

// Makes `dir` with its parents; false with the folder and the reason in `error`. `created`
// says whether the folder was made now.
bool MakeFolder(const std::string& dir, std::string& error, bool* created = nullptr);

// Draws the diagram at `size` on a picture of its own and writes it as `base` plus the
// format's extension; the diagram keeps drawing where it drew before. The error, empty on
// success; a picture too large for the memory costs this picture only.
std::string DrawAndSave(TMOX_Diagram& diagram, ImageSize size, const std::string& base, int format);

struct BatchOutputs {
    std::string ImageDir;  // ends in '/'
    ImageSize Size = kStandardImage;
    int Format = 0;
    bool WithPreviousDay = false;
    bool Preview = false;
    bool Wap = true;
    bool Html = true;
};

// Publishes the image (and preview), the WAP files and the page of a loaded day through one
// BatchFiles: only the files whose content changed are written, and they are synced together.
// The folder is made when missing. The reports say what failed and what was made; true when
// the image is in place, which is when an upload is worth starting.
bool PublishDay(TMOX_Diagram& diagram, const BatchOutputs& outputs, Reports& reports);
