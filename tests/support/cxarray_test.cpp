#include "formats/kor/cxarray.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

template <class T>
class CxArrayTest : public ::testing::Test {};

using ElementTypes = ::testing::Types<char, unsigned char, short, unsigned short, int, float, double>;
TYPED_TEST_SUITE(CxArrayTest, ElementTypes);

TYPED_TEST(CxArrayTest, NewArrayIsZeroFilledRowMajor) {
    CxArray<TypeParam> a(2, 3, ZT_STOR_ROWMAJOR);
    ASSERT_EQ(2, a.GetRows());
    ASSERT_EQ(3, a.GetCols());
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(TypeParam{}, a.GetAt(r, c));
    a.Data()[1 * 3 + 2] = TypeParam{7};
    EXPECT_EQ(TypeParam{7}, a.GetAt(1, 2));
    EXPECT_EQ(TypeParam{}, a.GetAt(2, 1));
}

TYPED_TEST(CxArrayTest, OutsideTheShapeGivesZero) {
    CxArray<TypeParam> a(2, 2, ZT_STOR_ROWMAJOR);
    for (int i = 0; i < 4; ++i) a.Data()[i] = TypeParam{9};
    EXPECT_EQ(TypeParam{}, a.GetAt(-1, 0));
    EXPECT_EQ(TypeParam{}, a.GetAt(0, -1));
    EXPECT_EQ(TypeParam{}, a.GetAt(2, 0));
    EXPECT_EQ(TypeParam{}, a.GetAt(0, 2));
    EXPECT_EQ(TypeParam{}, a.GetAt(INT_MAX, INT_MAX));
    EXPECT_EQ(TypeParam{9}, a.GetAt(1, 1));
}

TYPED_TEST(CxArrayTest, EmptyArrayAsCallersCreateIt) {
    CxArray<TypeParam> a(0, 0, ZT_StorMode(2));
    EXPECT_EQ(nullptr, a.Data());
    EXPECT_EQ(0, a.GetRows());
    EXPECT_EQ(2, a.GetStorMode());
    EXPECT_EQ(TypeParam{}, a.GetAt(0, 0));
}

TYPED_TEST(CxArrayTest, ResizeRefusesImpossibleShapesAndLeavesEmpty) {
    CxArray<TypeParam> a(3, 3, ZT_STOR_ROWMAJOR);
    EXPECT_FALSE(a.Resize(-1, 4));
    EXPECT_EQ(nullptr, a.Data());
    EXPECT_EQ(0, a.GetCols());
    EXPECT_TRUE(a.Resize(4, 0));
    EXPECT_EQ(0, a.GetRows());
    EXPECT_TRUE(a.Resize(1, 5));
    EXPECT_EQ(5, a.GetCols());
}

TYPED_TEST(CxArrayTest, CopiedViewSharesValuesAndFreesNothing) {
    CxArray<TypeParam> owner(1, 2, ZT_STOR_ROWMAJOR);
    owner.Data()[1] = TypeParam{5};
    CxArray<TypeParam> other(3, 3, ZT_STOR_ROWMAJOR);
    CVarrayBase<TypeParam>& view = other;
    view = owner;
    EXPECT_EQ(1, other.GetRows());
    EXPECT_EQ(TypeParam{5}, other.GetAt(0, 1));
    EXPECT_EQ(owner.Data(), other.Data());
}

TEST(CxArrayLimitTest, ShapeBeyondMemoryFailsCleanly) {
    CxArray<double> a(INT_MAX, INT_MAX, ZT_STOR_ROWMAJOR);
    EXPECT_EQ(nullptr, a.Data());
    EXPECT_EQ(0, a.GetRows());
    EXPECT_EQ(0.0, a.GetAt(0, 0));
}

}  // namespace
