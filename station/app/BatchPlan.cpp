#include "station/app/BatchPlan.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "mox/rtl/SysUtils.h"

std::string SnapshotName(const std::string& dataDir) { return dataDir + "mox_data.txt"; }

std::string SpareSnapshotFolder()
{
    for (const char* name : {"RUNTIME_DIRECTORY", "XDG_RUNTIME_DIR"})
        if (const char* v = std::getenv(name); v && *v)
            return std::string(v).substr(0, std::string(v).find(':')) + "/mox-batch";
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    return (ec ? std::string("/tmp") : temp.string()) + "/mox-batch-" + std::to_string(getuid());
}

std::string ImageBase(const std::string& imageDir) { return imageDir + "mox_data"; }

std::string PreviewBase(const std::string& imageBase)
{
    return imageBase.substr(0, imageBase.size() >= 5 ? imageBase.size() - 5 : 0) + "_small";
}

std::string OneShotBase(const std::string& imageDir, const std::string& rawLog)
{
    const std::size_t slash = rawLog.rfind('/');
    std::string name = slash == std::string::npos ? rawLog : rawLog.substr(slash + 1);
    name.resize(name.size() >= 4 ? name.size() - 4 : 0);
    return imageDir + name;
}

std::string ImageExtension(int format)
{
    switch (format) {
    case 0: return ".bmp";
    case 1: return ".jpg";
    case 2: return ".png";
    default: return {};
    }
}

int FormatOfExtension(const std::string& fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) return -1;
    const std::string ext = fileName.substr(dot);
    for (int f = 0; f <= 2; ++f)
        if (ext == ImageExtension(f)) return f;
    return -1;
}

bool ParseSizeArgument(const std::string& text, int minimum, int current, int& result)
{
    int v;
    if (!TryStrToInt(text, v)) return false;
    result = v >= minimum ? v : current;
    return true;
}

UploadSchedule::UploadSchedule(std::string cmd, int n) { Set(std::move(cmd), n); }

void UploadSchedule::Set(std::string cmd, int n)
{
    command = std::move(cmd);
    interval = n < 1 ? 1 : n;
}

bool UploadSchedule::BatchDone()
{
    if (command.empty()) return false;
    if (++counter % interval != 0) return false;
    counter = 0;
    return true;
}
