#include "station/app/CorrectionMemo.h"

#include "mox/rtl/SysUtils.h"
#include "mox/rtl/TextFile.h"

bool CorrectionMemo::Open(const std::string& path)
{
    std::vector<std::string> read;
    if (FileExists(path) && !ReadTextLines(path, read)) return false;
    file = path;
    lines = std::move(read);
    pending = 0;
    return true;
}

void CorrectionMemo::Add(const std::string& line)
{
    lines.push_back(line);
    ++pending;
}

bool CorrectionMemo::RemoveLast()
{
    if (pending == 0) return false;
    lines.pop_back();
    --pending;
    return true;
}

bool CorrectionMemo::Save()
{
    if (file.empty() || !WriteTextLines(file, lines)) return false;
    pending = 0;
    return true;
}

void CorrectionMemo::Clear()
{
    file.clear();
    lines.clear();
    pending = 0;
}
