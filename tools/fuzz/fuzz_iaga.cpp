// IAGA-2002 files as observers download them, and day files on their way out: both readers
// must refuse what they cannot read with an error, never crash.
#include <system_error>

#include "FuzzFile.h"
#include "mox/Iaga2002.h"
#include "mox/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input = WriteFuzzFile("fuzz.min", data, size);
    try {
        ImportIaga2002(input, FuzzDir() + "out");
    } catch (const EConvertError&) {
    } catch (const std::system_error&) {
    }
    try {
        ExportIaga2002(input, "FUZ", FuzzDir() + "out");
    } catch (const EConvertError&) {
    } catch (const std::system_error&) {
    }
    return 0;
}
