#include "geo/crs.h"

#include <ogr_spatialref.h>

namespace quarnel::geo {

CrsDescription DescribeCrs(const std::string& wkt) {
    CrsDescription found;
    OGRSpatialReference crs;
    if (wkt.empty() || crs.importFromWkt(wkt.c_str()) != OGRERR_NONE) return found;
    const char* name = crs.GetName();
    found.name = name != nullptr ? name : "unnamed";
    // A WKT without an authority may still be one of EPSG's; identifying it changes nothing else.
    if (crs.GetAuthorityCode(nullptr) == nullptr) crs.AutoIdentifyEPSG();
    const char* authority = crs.GetAuthorityName(nullptr);
    const char* code = crs.GetAuthorityCode(nullptr);
    if (authority != nullptr && code != nullptr && std::string(authority) == "EPSG") found.epsg = code;
    if (crs.IsGeographic()) {
        found.units = "degree";
    } else {
        const char* unit = nullptr;
        crs.GetLinearUnits(&unit);
        if (unit != nullptr) found.units = unit;
    }
    return found;
}

}  // namespace quarnel::geo
