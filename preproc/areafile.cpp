#include "areafile.h"

namespace tarn {

std::string numberedAreaName(long area)
{
    return "area" + std::to_string(area) + ".txt";
}

}  // namespace tarn
