#pragma once
// A CRS (WKT) in the words a map reader looks for: its name, its EPSG code (as GDAL identifies
// it, empty when it names none) and the unit of its coordinates ("metre", "degree"...). An empty
// or unreadable WKT gives name "none" and empty code and unit.
#include <string>

namespace quarnel::geo {

struct CrsDescription {
    std::string name = "none";
    std::string epsg;
    std::string units;
};

CrsDescription DescribeCrs(const std::string& wkt);

}  // namespace quarnel::geo
