// Observatory minute files as the conversion dialog hands them over.
#include <system_error>

#include "FuzzFile.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input = WriteFuzzFile("mr.txt", data, size);
    TMOX_Diagram d;
    try {
        d.ConvertMR(input, EncodeDate(2003, 6, 15));
    } catch (const std::system_error&) {
    }
    return 0;
}
