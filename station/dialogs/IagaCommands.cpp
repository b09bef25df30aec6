#include "station/dialogs/IagaCommands.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>
#include <exception>

#include "mox/Iaga2002.h"
#include "mox/Mm.h"
#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/IniFile.h"
#include "mox/rtl/StationRecord.h"
#include "mox/rtl/SysUtils.h"
#include "station/dialogs/DialogParts.h"

namespace {

constexpr const char* kSection = "IAGA";
const QString kImportTitle = "IAGA-2002 -> MOX";
const QString kExportTitle = "Als IAGA-2002 exportieren";

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string Listed(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& l : lines) text += "\n" + l;
    return text;
}

}  // namespace

TIagaCommands::TIagaCommands(TStationContext& context) : QObject(context.MainWindow), ctx(context)
{
    ChooseFile = [this](const std::string& folder) {
        return QFileDialog::getOpenFileName(ctx.MainWindow, kImportTitle, Q(folder),
                                            "IAGA-2002 [*.min, *.sec] (*.min *.sec *.MIN *.SEC);;"
                                            "alle Dateien [*.*] (*)")
            .toStdString();
    };
    ChooseFolder = [this](const std::string& folder) {
        return QFileDialog::getExistingDirectory(ctx.MainWindow, kExportTitle, Q(folder)).toStdString();
    };
    AskCode = [this] {
        return QInputDialog::getText(ctx.MainWindow, kExportTitle,
                                     "IAGA-Code der Station (drei Buchstaben oder Ziffern):")
            .trimmed()
            .toStdString();
    };
    Tell = [this](const std::string& text, bool error) {
        if (error) QMessageBox::critical(ctx.MainWindow, "MOX_View", Q(text));
        else QMessageBox::information(ctx.MainWindow, "MOX_View", Q(text));
    };
}

void TIagaCommands::ImportClick()
{
    const std::string file = ChooseFile(ctx.Ini->ReadString(kSection, "Import-Data", ""));
    if (file.empty()) return;
    ctx.Ini->WriteString(kSection, "Import-Data", ExtractFilePath(file));
    std::vector<std::string> days;
    try {
        WaitCursor wait;
        // Beside the observatory's file, as the Magnetsrode conversion does.
        days = ImportIaga2002(file);
        ctx.Diagram->AutoLoad(days.front(), false);
    } catch (const std::exception& e) {
        Tell(e.what(), true);
    }
    if (ctx.Redraw) ctx.Redraw();
    if (RefreshCurveWindows) RefreshCurveWindows();
    if (!ctx.Diagram->is_empty() && ctx.EnableKorrektur) ctx.EnableKorrektur(true);
    if (days.size() > 1)
        Tell("Die Datei enthält " + IntToStr(long(days.size())) +
                 " Tage; geladen ist der erste. Geschrieben:" + Listed(days),
             false);
}

std::vector<std::string> TIagaCommands::LoadedDayFiles() const
{
    std::vector<std::string> files;
    for (int c = 1; c <= TMOX_Diagram::CurveCount; ++c) {
        if (!ctx.Diagram->is_loaded(c)) continue;
        const std::string f = ctx.Diagram->get_Header(c).FileName;
        if (std::find(files.begin(), files.end(), f) == files.end()) files.push_back(f);
    }
    return files;
}

std::string TIagaCommands::StationCode()
{
    std::string problem;
    if (const std::string stored = SettingsIagaCode(*ctx.Ini, problem); !stored.empty()) return stored;
    const std::string code = AskCode();
    if (code.empty()) return {};
    if (!IsValidIagaCode(code)) {
        Tell("'" + code + "' ist kein IAGA-Code aus drei Buchstaben oder Ziffern.", true);
        return {};
    }
    ctx.Ini->WriteString(kSection, "Code", code);
    return code;
}

void TIagaCommands::ExportClick()
{
    const std::vector<std::string> files = LoadedDayFiles();
    if (files.empty()) {
        Tell("Es ist keine Kurve geladen: bitte zuerst einen Tag laden.", true);
        return;
    }
    // A day of an archive's station goes under that station's code, the others under this one's.
    std::vector<std::string> codes, problems;
    bool own = false;
    for (const std::string& f : files) {
        const std::string dir = ExtractFilePath(f);
        const bool archived = !RecordSettingsFor(dir, "").empty();
        std::string problem;
        codes.push_back(archived ? FolderIagaCode(dir, *ctx.Ini, problem) : std::string());
        problems.push_back(problem.empty() ? problem : f + ": " + problem);
        own |= !archived;
    }
    const std::string code = own ? StationCode() : std::string();
    if (own && code.empty()) return;
    std::string folder = ctx.Ini->ReadString(kSection, "Export-Data", "");
    folder = ChooseFolder(folder.empty() ? ExtractFilePath(files.front()) : folder);
    if (folder.empty()) return;
    ctx.Ini->WriteString(kSection, "Export-Data", folder);

    std::vector<std::string> written, failed;
    {
        WaitCursor wait;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string& f = files[i];
            if (!problems[i].empty()) {
                failed.push_back(problems[i]);
                continue;
            }
            try {
                written.push_back(ExportIaga2002(f, codes[i].empty() ? code : codes[i], folder));
            } catch (const std::exception& e) {
                failed.push_back(e.what());
            }
        }
    }
    std::string text;
    if (!written.empty()) text = "Geschrieben:" + Listed(written);
    if (!failed.empty()) text += (text.empty() ? "" : "\n\n") + std::string("Nicht exportiert:") + Listed(failed);
    for (const std::string& note : TakeSettingNotes()) text += "\n\n" + note;
    Tell(text, !failed.empty());
}
