#pragma once
// The small web outputs a batch writes beside the diagram image: the WAP text (the last hour in
// five-minute steps with trend markers), a 96 x 65 graph of the last two hours as PNG, the
// graph's data as one comma-separated line, and an HTML page made of the station's templates
// around the day's readings.
//
// The files are staged in a BatchFiles, which puts each in place in one step when the batch
// publishes, and only when its content changed: a web server never hands out half a file, and
// a failed write leaves the previous file in place.
//
// Curves: the first sensor is curve 1 and the second curve 2; with the previous day loaded
// (`withPreviousDay`) the current day sits in curves 2 and 4.
#include <string>
#include <vector>

class BatchFiles;
class TMOX_Diagram;

// `name` is the base name plus ".wap". Stages `name` (CR LF lines, Windows-1252), then the
// graph (`name` without its last four characters, plus "_wap.png"), then the data file (the
// graph's name with ".txt" for ".png", one line without a line end).
// Returns false when the text or the data file could not be staged; when the text cannot be,
// nothing else is. A graph that cannot be staged raises EImageWriteError
// (station/export/ImageExport.h) after the text and before the data file.
// Times are written with the process's long time format, dates with its short date format.
bool WriteWapFiles(const TMOX_Diagram& Diagram, bool withPreviousDay, const std::string& name, BatchFiles& files);

// Stages the page `name` from imageDir + "Header.txt", the first sensor's readings of the day
// as one quoted, comma-separated string, and imageDir + "Footer.txt". The templates are copied
// byte for byte, their lines ended with CR LF; the footer's first line continues the line of
// the closing quote. imageDir is a folder with or without a trailing separator.
// Returns false, staging nothing, when a template is missing or the page cannot be staged.
bool WriteHtmlPage(const TMOX_Diagram& Diagram, bool withPreviousDay, const std::string& imageDir,
                   const std::string& name, BatchFiles& files);

// The page's templates, "Header.txt" and "Footer.txt", that imageDir lacks, in that order.
std::vector<std::string> MissingHtmlTemplates(const std::string& imageDir);
// What the observer is told when the page cannot be made for want of its templates: which files
// are missing, where, and what they are for. Empty when none is missing.
std::string MissingTemplatesMessage(const std::string& imageDir, const std::vector<std::string>& missing);
