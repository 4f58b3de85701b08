#include "areafile.h"

namespace tarn {

std::string numberedAreaName(long area)
{
    return "area" + std::to_string(area) + ".txt";
}

std::string areaFileName(long area, AreaAccess access)
{
    if (area == 0)
        return access == AreaAccess::kMapiRead ? "rmail.z" : kMailAreaName;
    if (area == -50 && access != AreaAccess::kWrite)
        return kTempAreaName;
    return numberedAreaName(area);
}

}  // namespace tarn
