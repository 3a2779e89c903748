#include "formats/grid/grid_status.h"

namespace quarnel {

const char* GridReadStatusText(GridReadStatus status) {
    switch (status) {
        case GridReadStatus::ok:
            return "ok";
        case GridReadStatus::not_found:
            return "cannot open the grid file";
        case GridReadStatus::not_dsaa:
            return "not a DSAA grid";
        case GridReadStatus::malformed:
            return "malformed grid";
        case GridReadStatus::bad_size:
            return "grid counts are not positive or too large for the file";
        case GridReadStatus::too_short:
            return "grid file ends before all values";
        case GridReadStatus::out_of_memory:
            return "not enough memory for the grid";
        case GridReadStatus::read_error:
            return "cannot read the grid file";
        case GridReadStatus::not_finite:
            return "a value is not a finite number";
    }
    return "unknown";
}

}  // namespace quarnel
