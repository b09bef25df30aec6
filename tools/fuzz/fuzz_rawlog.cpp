// Raw device logs: whatever a serial line can deliver, converted and loaded.
#include <system_error>

#include "FuzzFile.h"
#include "mox/Mm.h"
#include "mox/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string log = WriteFuzzFile("20030615.txt", data, size);
    TMOX_Diagram d;
    try {
        d.AutoLoad(log, size % 2 == 0);
    } catch (const EConvertError&) {
    } catch (const std::system_error&) {
    }
    return 0;
}
