#pragma once
// Names, sizes and counters of the station's batch runs: what the periodic batch and the
// one-shot image run write where, and when the upload command is due.
#include <string>

struct ImageSize {
    int Width = 0;
    int Height = 0;
};

// The standard picture of the periodic batch and the preview picture.
constexpr ImageSize kStandardImage{642, 376};
constexpr ImageSize kPreviewImage{400, 250};

// dataDir + "mox_data.txt": the copy of the day's log the batch converts.
std::string SnapshotName(const std::string& dataDir);
// Where the batch copies the day log when there is no room beside it: a folder of its own in
// the runtime folder ($RUNTIME_DIRECTORY, else $XDG_RUNTIME_DIR), else in the temporary one.
std::string SpareSnapshotFolder();
// imageDir + "mox_data": the base of the image, WAP and HTML names.
std::string ImageBase(const std::string& imageDir);
// The preview's base: the image base with "_small" in place of "_data".
std::string PreviewBase(const std::string& imageBase);
// imageDir + the raw log's name without folder and extension.
std::string OneShotBase(const std::string& imageDir, const std::string& rawLog);
// ".bmp", ".jpg", ".png" for the formats 0, 1, 2; empty for any other value.
std::string ImageExtension(int format);
// The format of a file name chosen in the save dialog by its exact extension, -1 if none.
int FormatOfExtension(const std::string& fileName);

// Size argument of the one-shot run: false when it is not a whole number. Values below the
// minimum keep the current size.
bool ParseSizeArgument(const std::string& text, int minimum, int current, int& result);

// Starts the upload after every n-th batch. An interval below 1 counts as 1: the dialog
// offers 1..60, and a 0 from a hand-edited file must not stop the uploads.
class UploadSchedule {
public:
    UploadSchedule(std::string command, int interval);
    // New settings from the dialog; the count of batches since the last upload goes on.
    void Set(std::string command, int interval);
    // Counts one finished batch; true when the upload is due now.
    bool BatchDone();
    int Counter() const { return counter; }
    const std::string& Command() const { return command; }

private:
    std::string command;
    int interval = 1;
    int counter = 0;
};
