#include "station/serial/PortAdvice.h"

#include <grp.h>
#include <sys/stat.h>

namespace {

// The group whose members may use the device; root's group is nobody's way in, so the
// Debian group of serial ports is named instead.
std::string AccessGroup(const std::string& device)
{
    struct stat st;
    if (stat(device.c_str(), &st) == 0 && st.st_gid != 0)
        if (const group* g = getgrgid(st.st_gid)) return g->gr_name;
    return "dialout";
}

}  // namespace

std::string PortPermissionAdvice(const std::string& device)
{
    const std::string group = AccessGroup(device);
    return "Zugriff auf " + device + " haben die Mitglieder der Gruppe \"" + group + "\": \"sudo adduser $USER " +
           group + "\" eingeben, danach ab- und wieder anmelden.";
}

std::string PortNoPermissionText(const std::string& device, const std::string& systemText)
{
    return device + ": keine Berechtigung, die Schnittstelle zu öffnen (" + systemText + "). " +
           PortPermissionAdvice(device);
}

std::string PortInUseText(const std::string& device, const std::string& systemText)
{
    return device + ": die Schnittstelle wird von einem anderen Programm benutzt (" + systemText + ")";
}

std::string PortOpenFailedText(const std::string& device, const std::string& systemText)
{
    return device + ": die Schnittstelle lässt sich nicht öffnen (" + systemText + ")";
}
