#pragma once
// The known model units: cells (row, column, counted from 0 in file order) with a deposit size.
//
// ReadModelUnits reads the model-unit file ("%s%ld" title and count, then count records of
// sequence, row, column, size) into three parallel arrays of exactly count entries.
// ModelUnitCursor matches visited cells against the units in sorted order: only the unit under
// the cursor is compared, so a unit outside the grid, or one repeating the cell before it, is
// never matched and neither is any unit after it.
#include <cstdint>
#include <memory>
#include <string>

namespace quarnel {

struct ModelUnitList {
    std::unique_ptr<std::int32_t[]> unitRows;
    std::unique_ptr<std::int32_t[]> unitCols;
    std::unique_ptr<std::int32_t[]> unitSizes;
    std::int32_t unitCount = 0;
};

// 0, or 3600 (not opened), 3070 (arrays not allocated), 3057 (title longer than 51 characters),
// 3058 (count negative or more than the file can hold, a record missing or not an integer);
// on failure cause, when given, says what and where.
int ReadModelUnits(const char* path, ModelUnitList& units, std::string* cause = nullptr);

class ModelUnitCursor {
  public:
    explicit ModelUnitCursor(const ModelUnitList& units) : units_(units) {}

    // True when (row, col) is the unit under the cursor, which then moves to the next unit.
    bool Match(std::int32_t row, std::int32_t col) {
        if (next_ < units_.unitCount && units_.unitRows[next_] == row && units_.unitCols[next_] == col) {
            ++next_;
            return true;
        }
        return false;
    }
    // Deposit size of the unit matched last.
    std::int32_t MatchedSize() const { return units_.unitSizes[next_ - 1]; }

  private:
    const ModelUnitList& units_;
    std::int32_t next_ = 0;
};

}  // namespace quarnel
