#include "collect/web/DayConversion.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "collect/web/HapiTime.h"
#include "collect/web/StationBoard.h"
#include "mox/Mm.h"
#include "mox/StationRecord.h"
#include "mox/rtl/SysUtils.h"
#include "station/export/ImageExport.h"

namespace {

// Days kept converted: a month of two stations, a few hundred KB.
constexpr std::size_t kCachedDays = 64;

// The copy and what was made from it go as soon as they are read: a year of minutes would
// otherwise leave gigabytes of copies behind.
void RemoveWork(const std::string& copy, std::initializer_list<const char*> made)
{
    std::error_code ec;
    std::filesystem::remove(copy, ec);
    const std::string base = copy.substr(0, copy.size() - 4);
    for (const char* extension : made) std::filesystem::remove(base + extension, ec);
}

}  // namespace

DayConversion::DayConversion(const Archive& archive, std::string workDir) : archive(archive), work(std::move(workDir))
{
    if (!work.empty() && work.back() != '/') work += '/';
    std::error_code ec;
    std::filesystem::create_directories(work, ec);
}

bool DayConversion::CopyDay(const std::string& station, std::int64_t day, std::string& copy, std::int64_t& size,
                            std::int64_t& modified)
{
    const std::string source = archive.DayFile(station, day);
    struct stat st {};
    if (stat(source.c_str(), &st) != 0 || st.st_size == 0) return false;
    size = st.st_size;
    modified = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    // The copy keeps the day file's name: the loader takes the day from it.
    std::error_code ec;
    std::filesystem::create_directories(work + station, ec);
    copy = work + station + "/" + DayName(day) + ".txt";
    std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing, ec);
    return !ec;
}

std::shared_ptr<const DayFileContent> DayConversion::Day(const std::string& station, std::int64_t day)
{
    const std::string key = station + "/" + DayName(day);
    const std::string source = archive.DayFile(station, day);
    struct stat st {};
    if (stat(source.c_str(), &st) != 0) return nullptr;
    const std::int64_t modified = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    auto found = cache.find(key);
    if (found != cache.end() && found->second.size == st.st_size && found->second.modified == modified) {
        order.remove(key);
        order.push_back(key);
        return found->second.content;
    }
    std::string copy;
    Entry e;
    if (!CopyDay(station, day, copy, e.size, e.modified)) return nullptr;
    try {
        TMOX_Diagram diagram;
        diagram.Convert(copy);
        e.content = std::make_shared<DayFileContent>(ReadDayFile(copy.substr(0, copy.size() - 4) + ".mox"));
    } catch (const std::exception&) {
        RemoveWork(copy, {".mox", ".log"});
        return nullptr;
    }
    RemoveWork(copy, {".mox", ".log"});
    order.remove(key);
    order.push_back(key);
    cache[key] = e;
    while (order.size() > kCachedDays) {
        cache.erase(order.front());
        order.pop_front();
    }
    return e.content;
}

std::string DayConversion::Magnetogram(const std::string& station, std::int64_t day, const StationRecord* record,
                                       int width, int height)
{
    std::string copy;
    std::int64_t size = 0, modified = 0;
    if (!CopyDay(station, day, copy, size, modified)) return {};
    const std::string base = work + station + "/" + DayName(day);
    try {
        TMOX_Diagram diagram;
        diagram.set_Titel(station);
        // Without the station's state the record the archive keeps beside its days names it.
        const FolderRecord kept(diagram, ExtractFilePath(archive.DayFile(station, day)));
        if (record) {
            diagram.set_Ort(record->location);
            diagram.set_Breite(record->latitude);
            diagram.set_Laenge(record->longitude);
            diagram.set_Locator(record->locator);
            diagram.set_Autor(record->author);
        }
        diagram.AutoLoad(copy, false);
        if (diagram.is_empty()) {
            RemoveWork(copy, {".mox", ".log"});
            return {};
        }
        diagram.bestimme_K_Wert();
        TImage picture(width, height);
        diagram.MOX_Image = &picture;
        diagram.ShowMagnetogramm();
        diagram.MOX_Image = nullptr;
        SaveDiagramImage(picture, base, 2);
    } catch (const std::exception&) {
        RemoveWork(copy, {".mox", ".log", ".png"});
        return {};
    }
    std::ostringstream bytes;
    {
        std::ifstream in(base + ".png", std::ios::binary);
        bytes << in.rdbuf();
    }
    RemoveWork(copy, {".mox", ".log", ".png"});
    return bytes.str();
}
