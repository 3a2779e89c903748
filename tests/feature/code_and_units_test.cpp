#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "jobs/feature/code_value.h"
#include "jobs/feature/feature_status.h"
#include "jobs/feature/mine_feater.h"
#include "jobs/feature/model_units.h"
#include "feature_files.h"

namespace quarnel {
namespace {

using testkit::TempFolder;
using testkit::WriteFile;

TEST(CodeValue, UpperTestComesFirstSoCrossedThresholdsNeverCodeZero) {
    EXPECT_EQ(CodeValue(1.5f, 2.0f, 1.0f), 1.0f);
    EXPECT_EQ(CodeValue(0.5f, 2.0f, 1.0f), -1.0f);
    for (float x : {-5.0f, 0.99f, 1.0f, 1.01f, 1.99f, 2.0f, 7.0f})
        EXPECT_NE(CodeValue(x, 2.0f, 1.0f), 0.0f) << x;
}

TEST(CodeValue, ThresholdsThemselvesCodeToTheirSide) {
    EXPECT_EQ(CodeValue(3.0f, 1.5f, 3.0f), 1.0f);
    EXPECT_EQ(CodeValue(1.5f, 1.5f, 3.0f), -1.0f);
    EXPECT_EQ(CodeValue(2.0f, 1.5f, 3.0f), 0.0f);
    EXPECT_EQ(CodeValue(std::nextafter(3.0f, 0.0f), 1.5f, 3.0f), 0.0f);
    EXPECT_EQ(CodeValue(std::nextafter(1.5f, 3.0f), 1.5f, 3.0f), 0.0f);
}

struct Unit {
    std::int32_t row, col, size;
    bool operator==(const Unit&) const = default;
};

std::vector<Unit> Sorted(std::vector<Unit> units) {
    std::vector<std::int32_t> rows, cols, sizes;
    for (const Unit& u : units) {
        rows.push_back(u.row);
        cols.push_back(u.col);
        sizes.push_back(u.size);
    }
    CMine_Feater job;
    EXPECT_EQ(job.SortModelUnits(rows.data(), cols.data(), sizes.data(), static_cast<int>(units.size())), 0);
    for (std::size_t k = 0; k < units.size(); ++k) units[k] = {rows[k], cols[k], sizes[k]};
    return units;
}

TEST(SortModelUnits, OrdersByRowThenColumnCarryingSizes) {
    EXPECT_EQ(Sorted({{2, 5, 1}, {0, 7, 2}, {2, 1, 3}, {0, 3, 4}, {2, 0, 5}}),
              (std::vector<Unit>{{0, 3, 4}, {0, 7, 2}, {2, 0, 5}, {2, 1, 3}, {2, 5, 1}}));
}

TEST(SortModelUnits, LastRunOfEqualRowsIsSortedToo) {
    EXPECT_EQ(Sorted({{1, 9, 1}, {1, 4, 2}, {1, 6, 3}}),
              (std::vector<Unit>{{1, 4, 2}, {1, 6, 3}, {1, 9, 1}}));
}

// Selection sort is not stable: the swap that brings row 0 forward sends size 10 behind size 20.
TEST(SortModelUnits, SameCellUnitsKeepTheOrderTheSelectionSortLeaves) {
    EXPECT_EQ(Sorted({{1, 0, 10}, {1, 0, 20}, {0, 0, 30}}),
              (std::vector<Unit>{{0, 0, 30}, {1, 0, 20}, {1, 0, 10}}));
}

TEST(SortModelUnits, EmptyAndSingleListsAreLeftAlone) {
    EXPECT_EQ(Sorted({}), std::vector<Unit>{});
    EXPECT_EQ(Sorted({{4, 4, 4}}), (std::vector<Unit>{{4, 4, 4}}));
}

ModelUnitList ListOf(const std::vector<Unit>& units) {
    ModelUnitList list;
    const auto m = static_cast<std::int32_t>(units.size());
    list.unitRows.reset(new std::int32_t[m]);
    list.unitCols.reset(new std::int32_t[m]);
    list.unitSizes.reset(new std::int32_t[m]);
    list.unitCount = m;
    for (std::int32_t k = 0; k < m; ++k) {
        list.unitRows[k] = units[k].row;
        list.unitCols[k] = units[k].col;
        list.unitSizes[k] = units[k].size;
    }
    return list;
}

// The cells of a rows x cols grid, in file order, that the cursor matches, with their sizes.
std::vector<Unit> MatchedCells(const ModelUnitList& list, int rows, int cols) {
    ModelUnitCursor cursor(list);
    std::vector<Unit> matched;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            if (cursor.Match(r, c)) matched.push_back({r, c, cursor.MatchedSize()});
        }
    }
    return matched;
}

TEST(ModelUnitCursor, MatchesSortedUnitsInFileOrder) {
    EXPECT_EQ(MatchedCells(ListOf({{0, 2, 3}, {1, 0, 4}, {2, 3, 5}}), 3, 4),
              (std::vector<Unit>{{0, 2, 3}, {1, 0, 4}, {2, 3, 5}}));
}

TEST(ModelUnitCursor, NoUnitsMatchNothing) {
    EXPECT_TRUE(MatchedCells(ListOf({}), 3, 4).empty());
}

TEST(ModelUnitCursor, RepeatedCellMatchesOnceAndBlocksEveryLaterUnit) {
    EXPECT_EQ(MatchedCells(ListOf({{0, 1, 1}, {0, 1, 2}, {2, 2, 3}}), 3, 4), (std::vector<Unit>{{0, 1, 1}}));
}

TEST(ModelUnitCursor, UnitsOutsideTheGridAreNeverMatched) {
    EXPECT_TRUE(MatchedCells(ListOf({{-1, 0, 1}, {1, 1, 2}}), 3, 4).empty());
    EXPECT_EQ(MatchedCells(ListOf({{1, 1, 2}, {1, 4, 7}, {2, 0, 3}}), 3, 4), (std::vector<Unit>{{1, 1, 2}}));
    EXPECT_EQ(MatchedCells(ListOf({{0, 0, 1}, {3, 0, 9}}), 3, 4), (std::vector<Unit>{{0, 0, 1}}));
}

int ReadUnits(const std::string& text, ModelUnitList& list) {
    TempFolder folder;
    WriteFile(folder / "units.txt", text);
    return ReadModelUnits((folder / "units.txt").c_str(), list);
}

TEST(ReadModelUnits, ReadsRecordsInFileOrder) {
    ModelUnitList list;
    ASSERT_EQ(ReadUnits("IOCG 3\n1 2 5 1\n2 0 7 2\n3\t2 1 3\n", list), kFeatureOk);
    ASSERT_EQ(list.unitCount, 3);
    EXPECT_EQ((std::vector<int>{list.unitRows[0], list.unitCols[0], list.unitSizes[0]}),
              (std::vector<int>{2, 5, 1}));
    EXPECT_EQ((std::vector<int>{list.unitRows[2], list.unitCols[2], list.unitSizes[2]}),
              (std::vector<int>{2, 1, 3}));
}

TEST(ReadModelUnits, ZeroUnitsIsAnEmptyList) {
    ModelUnitList list;
    EXPECT_EQ(ReadUnits("none 0\n", list), kFeatureOk);
    EXPECT_EQ(list.unitCount, 0);
}

TEST(ReadModelUnits, MissingFileIs3600) {
    ModelUnitList list;
    EXPECT_EQ(ReadModelUnits("/nonexistent/units.txt", list), kFeatureUnitFileUnopened);
}

TEST(ReadModelUnits, TitleOfMoreThan51CharactersIsRefused) {
    ModelUnitList list;
    EXPECT_EQ(ReadUnits(std::string(51, 'T') + " 1\n1 0 0 1\n", list), kFeatureOk);
    EXPECT_EQ(ReadUnits(std::string(52, 'T') + " 1\n1 0 0 1\n", list), kFeatureParamsRefused);
}

TEST(ReadModelUnits, ShortOrMalformedFilesAre3058) {
    ModelUnitList list;
    EXPECT_EQ(ReadUnits("", list), kFeatureMalformedInput);
    EXPECT_EQ(ReadUnits("title", list), kFeatureMalformedInput);
    EXPECT_EQ(ReadUnits("title many\n", list), kFeatureMalformedInput);
    EXPECT_EQ(ReadUnits("title -1\n", list), kFeatureMalformedInput);
    EXPECT_EQ(ReadUnits("title 2\n1 0 0 1\n2 1 1\n", list), kFeatureMalformedInput);
    EXPECT_EQ(ReadUnits("title 2\n1 0 0 1\n2 1 x 1\n", list), kFeatureMalformedInput);
    EXPECT_EQ(ReadUnits("title 1\n1 0 0 99999999999\n", list), kFeatureMalformedInput);
}

TEST(ReadModelUnits, CountTheFileCannotHoldIsRefusedBeforeAllocating) {
    ModelUnitList list;
    EXPECT_EQ(ReadUnits("title 2000000000\n1 0 0 1\n", list), kFeatureMalformedInput);
    EXPECT_EQ(list.unitCount, 0);
}

}  // namespace
}  // namespace quarnel
