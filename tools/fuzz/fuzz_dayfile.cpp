// Day files and correction files as they may come from a damaged disk or a careless editor.
#include <cstring>

#include "FuzzFile.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first part is the day file, the rest after a NUL byte the day's correction file.
    const auto* split = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
    const std::size_t daySize = split ? std::size_t(split - data) : size;
    const std::string day = WriteFuzzFile("20030615.mox", data, daySize);
    WriteFuzzFile("20030615.kor", split ? split + 1 : data, split ? size - daySize - 1 : 0);
    TMOX_Diagram d;
    d.set_is_Korrektur(true);
    d.set_is_noisefilter(size % 2 == 0);
    d.set_is_offsetfilter(size % 3 == 0);
    for (int selector = 0; selector <= 4; ++selector) {
        try {
            d.LoadData(day, selector, selector % 4 + 1);
        } catch (const EConvertError&) {
        }
    }
    return 0;
}
