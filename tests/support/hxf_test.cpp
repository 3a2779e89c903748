#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "formats/hxf/ihxf.h"
#include "formats/kor/cxarray.h"
#include "tests/testkit/testkit.h"

namespace {

namespace fs = std::filesystem;

class HxfFileTest : public ::testing::Test {
  protected:
    std::string PathOf(const std::string& name) const { return folder_ / name; }

    std::string WriteBytes(const std::string& name, const std::vector<unsigned char>& bytes) const {
        return folder_.Write(name, std::string(bytes.begin(), bytes.end()));
    }

    static std::vector<unsigned char> ReadBytes(const std::string& path) {
        const std::string bytes = quarnel::testkit::ReadFile(path);
        return {bytes.begin(), bytes.end()};
    }

    quarnel::testkit::TempFolder folder_;
};

template <class T>
HXFLoadRequest RequestFor(short type, CxArray<T>& array) {
    HXFLoadRequest request;
    std::memset(&request, 0xA5, sizeof request);  // callers leave the first bytes unset
    request.elementType = type;
    request.storMode = 2;
    request.array = &array;
    return request;
}

template <class T>
int Load(int handle, const char* id, short type, CxArray<T>& array) {
    HXFLoadRequest request = RequestFor(type, array);
    return LoadGridData(handle, id, &request);
}

// A grid of 3 × 4 values reaching both limits of T, distinct per grid.
template <class T>
std::vector<T> SampleGrid(int grid) {
    std::vector<T> values(12);
    for (int i = 0; i < 12; ++i)
        values[static_cast<std::size_t>(i)] = static_cast<T>((grid * 13 + i * 7) % 50);
    values[0] = std::numeric_limits<T>::lowest();
    values[11] = std::numeric_limits<T>::max();
    if constexpr (std::is_floating_point_v<T>) values[5] = static_cast<T>(-0.1 * (grid + 1));
    return values;
}

template <class T>
struct TypeCode;
template <>
struct TypeCode<char> {
    static constexpr short value = HXF_CHAR;
};
template <>
struct TypeCode<unsigned char> {
    static constexpr short value = HXF_UCHAR;
};
template <>
struct TypeCode<short> {
    static constexpr short value = HXF_SHORT;
};
template <>
struct TypeCode<unsigned short> {
    static constexpr short value = HXF_USHORT;
};
template <>
struct TypeCode<int> {
    static constexpr short value = HXF_INT;
};
template <>
struct TypeCode<float> {
    static constexpr short value = HXF_FLOAT;
};
template <>
struct TypeCode<double> {
    static constexpr short value = HXF_DOUBLE;
};

template <class T>
class HxfRoundTripTest : public HxfFileTest {};
using ElementTypes = ::testing::Types<char, unsigned char, short, unsigned short, int, float, double>;
TYPED_TEST_SUITE(HxfRoundTripTest, ElementTypes);

TYPED_TEST(HxfRoundTripTest, WrittenGridsReadBackValueForValue) {
    const short type = TypeCode<TypeParam>::value;
    const auto first = SampleGrid<TypeParam>(0);
    const auto second = SampleGrid<TypeParam>(1);
    const char* ids[] = {"first", "0123456789012345678901234567890"};
    const void* values[] = {first.data(), second.data()};
    const std::string path = this->PathOf("grids.hxf");
    ASSERT_EQ(0, WriteHXFFile(path.c_str(), type, 3, 4, 2, ids, values));

    int handle = GetHXFHandle(path.c_str());
    ASSERT_NE(0, handle);
    HXFGridFileInfo info;
    EXPECT_EQ(HXF_OK, GetGridFileInfo(handle, &info));
    EXPECT_EQ(type, info.elementType);
    EXPECT_EQ(3, info.rows);
    EXPECT_EQ(4, info.cols);
    ASSERT_EQ(2, GetNumberOfGrid(handle));
    HXFGridGCSInfo gcs;
    EXPECT_EQ(HXF_OK, GetGridGCSInfo(handle, &gcs));
    EXPECT_EQ(0, gcs.code);

    const std::vector<TypeParam>* expected[] = {&first, &second};
    for (int k = 1; k <= 2; ++k) {
        char id[32];
        ASSERT_EQ(HXF_OK, GetGridID(handle, k, id, 32));
        EXPECT_STREQ(ids[k - 1], id);
        CxArray<TypeParam> array(0, 0, ZT_StorMode(2));
        ASSERT_EQ(HXF_OK, Load(handle, id, type, array));
        ASSERT_EQ(3, array.GetRows());
        ASSERT_EQ(4, array.GetCols());
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ((*expected[k - 1])[static_cast<std::size_t>(r * 4 + c)], array.GetAt(r, c))
                    << r << "," << c;
    }
    EXPECT_EQ(HXF_OK, CloseGridFile(&handle));
    EXPECT_EQ(0, handle);
}

TEST_F(HxfFileTest, FileBytesFollowTheDocumentedLayout) {
    const short values[] = {-2, 258};
    const char* ids[] = {"ab"};
    const void* grids[] = {values};
    const std::string path = PathOf("layout.hxf");
    ASSERT_EQ(0, WriteHXFFile(path.c_str(), HXF_SHORT, 2, 1, 1, ids, grids));
    std::vector<unsigned char> expected = {'H', 'X', 'F', 'G', 'R', 'I', 'D', 'S', 1, 0, 3, 0,
                                           2,   0,   0,   0,   1,   0,   0,   0,   1, 0, 0, 0};
    expected.resize(64, 0);  // an empty coordinate-system record
    expected.push_back('a');
    expected.push_back('b');
    expected.resize(64 + 32, 0);
    const unsigned char data[] = {0xFE, 0xFF, 0x02, 0x01};
    expected.insert(expected.end(), std::begin(data), std::end(data));
    EXPECT_EQ(expected, ReadBytes(path));
}

TEST_F(HxfFileTest, RequestOfAnotherTypeConvertsValues) {
    const double values[] = {-3.7, 2.5, 1e300, -1e300, std::nan(""), 300.9};
    const char* ids[] = {"d"};
    const void* grids[] = {values};
    const std::string path = PathOf("double.hxf");
    ASSERT_EQ(0, WriteHXFFile(path.c_str(), HXF_DOUBLE, 2, 3, 1, ids, grids));
    int handle = GetHXFHandle(path.c_str());
    ASSERT_NE(0, handle);

    CxArray<float> asFloat(0, 0, ZT_StorMode(2));
    ASSERT_EQ(HXF_OK, Load(handle, "d", HXF_FLOAT, asFloat));
    EXPECT_EQ(-3.7f, asFloat.GetAt(0, 0));
    EXPECT_EQ(std::numeric_limits<float>::infinity(), asFloat.GetAt(0, 2));
    EXPECT_EQ(-std::numeric_limits<float>::infinity(), asFloat.GetAt(1, 0));
    EXPECT_TRUE(std::isnan(asFloat.GetAt(1, 1)));

    CxArray<int> asInt(0, 0, ZT_StorMode(2));
    ASSERT_EQ(HXF_OK, Load(handle, "d", HXF_INT, asInt));
    const int expectedInts[] = {-3, 2, INT_MAX, INT_MIN, 0, 300};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(expectedInts[i], asInt.GetAt(i / 3, i % 3)) << i;

    CxArray<unsigned char> asByte(0, 0, ZT_StorMode(2));
    ASSERT_EQ(HXF_OK, Load(handle, "d", HXF_UCHAR, asByte));
    EXPECT_EQ(0, asByte.GetAt(0, 0));
    EXPECT_EQ(255, asByte.GetAt(1, 2));
    CloseGridFile(&handle);
}

TEST_F(HxfFileTest, IntegersSaturateIntoNarrowerTypes) {
    const int values[] = {-70000, 200, 70000};
    const char* ids[] = {"i"};
    const void* grids[] = {values};
    const std::string path = PathOf("int.hxf");
    ASSERT_EQ(0, WriteHXFFile(path.c_str(), HXF_LONG, 1, 3, 1, ids, grids));
    int handle = GetHXFHandle(path.c_str());
    CxArray<short> asShort(0, 0, ZT_StorMode(2));
    ASSERT_EQ(HXF_OK, Load(handle, "i", HXF_SHORT, asShort));
    EXPECT_EQ(SHRT_MIN, asShort.GetAt(0, 0));
    EXPECT_EQ(200, asShort.GetAt(0, 1));
    EXPECT_EQ(SHRT_MAX, asShort.GetAt(0, 2));
    CxArray<unsigned short> asUnsigned(0, 0, ZT_StorMode(2));
    ASSERT_EQ(HXF_OK, Load(handle, "i", HXF_USHORT, asUnsigned));
    EXPECT_EQ(0, asUnsigned.GetAt(0, 0));
    EXPECT_EQ(USHRT_MAX, asUnsigned.GetAt(0, 2));
    CxArray<char> asChar(0, 0, ZT_StorMode(2));
    ASSERT_EQ(HXF_OK, Load(handle, "i", HXF_CHAR, asChar));
    EXPECT_EQ(std::numeric_limits<char>::max(), asChar.GetAt(0, 1));
    CloseGridFile(&handle);
}

TEST_F(HxfFileTest, HandleZeroIsSafeEverywhere) {
    EXPECT_EQ(0, GetHXFHandle(PathOf("absent.hxf").c_str()));
    EXPECT_EQ(0, GetHXFHandle(nullptr));
    HXFGridFileInfo info;
    std::memset(&info, 0x5A, sizeof info);
    EXPECT_EQ(HXF_ERR_HANDLE, GetGridFileInfo(0, &info));
    EXPECT_EQ(0, info.rows);
    EXPECT_EQ(0, info.cols);
    EXPECT_EQ(0, info.elementType);
    HXFGridGCSInfo gcs;
    EXPECT_EQ(HXF_ERR_HANDLE, GetGridGCSInfo(0, &gcs));
    EXPECT_EQ(0, GetNumberOfGrid(0));
    char id[32] = "stale";
    EXPECT_EQ(HXF_ERR_HANDLE, GetGridID(0, 1, id, 32));
    EXPECT_STREQ("", id);
    CxArray<float> array(2, 2, ZT_StorMode(2));
    EXPECT_EQ(HXF_ERR_HANDLE, Load(0, "x", HXF_FLOAT, array));
    EXPECT_EQ(nullptr, array.Data());
    int handle = 0;
    EXPECT_EQ(HXF_ERR_HANDLE, CloseGridFile(&handle));
    EXPECT_EQ(HXF_ERR_ARGUMENT, CloseGridFile(nullptr));
    EXPECT_EQ(HXF_ERR_ARGUMENT, GetGridFileInfo(0, nullptr));
    EXPECT_EQ(HXF_ERR_ARGUMENT, LoadGridData(0, "x", nullptr));
}

class OneGridFileTest : public HxfFileTest {
  protected:
    void SetUp() override {
        HxfFileTest::SetUp();
        const char* ids[] = {"grid"};
        const void* grids[] = {values_};
        path_ = PathOf("one.hxf");
        ASSERT_EQ(0, WriteHXFFile(path_.c_str(), HXF_FLOAT, 2, 2, 1, ids, grids));
    }

    const float values_[4] = {1.5f, 2.5f, 3.5f, 4.5f};
    std::string path_;
};

TEST_F(OneGridFileTest, ClosedHandleReportsNoGrids) {
    int handle = GetHXFHandle(path_.c_str());
    const int stale = handle;
    ASSERT_EQ(HXF_OK, CloseGridFile(&handle));
    EXPECT_EQ(0, handle);
    EXPECT_EQ(0, GetNumberOfGrid(stale));
    CxArray<float> array(0, 0, ZT_StorMode(2));
    EXPECT_EQ(HXF_ERR_HANDLE, Load(stale, "grid", HXF_FLOAT, array));
    int again = stale;
    EXPECT_EQ(HXF_ERR_HANDLE, CloseGridFile(&again));
}

TEST_F(OneGridFileTest, TwoHandlesOnOneFileAreIndependent) {
    int a = GetHXFHandle(path_.c_str());
    int b = GetHXFHandle(path_.c_str());
    ASSERT_NE(0, a);
    ASSERT_NE(0, b);
    EXPECT_NE(a, b);
    CloseGridFile(&a);
    CxArray<float> array(0, 0, ZT_StorMode(2));
    EXPECT_EQ(HXF_OK, Load(b, "grid", HXF_FLOAT, array));
    EXPECT_EQ(4.5f, array.GetAt(1, 1));
    CloseGridFile(&b);
}

TEST_F(OneGridFileTest, UnknownIdAndBadRequestsFailCleanly) {
    int handle = GetHXFHandle(path_.c_str());
    CxArray<float> array(3, 3, ZT_StorMode(2));
    EXPECT_EQ(HXF_ERR_NOT_FOUND, Load(handle, "gri", HXF_FLOAT, array));
    EXPECT_EQ(nullptr, array.Data());
    EXPECT_EQ(HXF_ERR_NOT_FOUND, Load(handle, nullptr, HXF_FLOAT, array));
    CxArray<float> untouched(1, 1, ZT_StorMode(2));
    EXPECT_EQ(HXF_ERR_ARGUMENT, Load(handle, "grid", 7, untouched));
    EXPECT_EQ(1, untouched.GetRows());
    char id[32];
    EXPECT_EQ(HXF_ERR_ARGUMENT, GetGridID(handle, 0, id, 32));
    EXPECT_EQ(HXF_ERR_ARGUMENT, GetGridID(handle, 2, id, 32));
    EXPECT_EQ(HXF_ERR_ARGUMENT, GetGridID(handle, 1, id, 0));
    EXPECT_EQ(HXF_OK, GetGridID(handle, 1, id, 3));
    EXPECT_STREQ("gr", id);
    CloseGridFile(&handle);
}

TEST_F(HxfFileTest, FileShortenedAfterOpeningFailsTheLoad) {
    const std::vector<float> values(200 * 100, 1.0f);
    const char* ids[] = {"big"};
    const void* grids[] = {values.data()};
    const std::string path = PathOf("big.hxf");
    ASSERT_EQ(0, WriteHXFFile(path.c_str(), HXF_FLOAT, 200, 100, 1, ids, grids));
    int handle = GetHXFHandle(path.c_str());
    ASSERT_NE(0, handle);
    fs::resize_file(path, 64 + 32 + values.size() * 2);
    CxArray<float> array(0, 0, ZT_StorMode(2));
    EXPECT_EQ(HXF_ERR_IO, Load(handle, "big", HXF_FLOAT, array));
    EXPECT_EQ(nullptr, array.Data());
    EXPECT_EQ(0, array.GetRows());
    CloseGridFile(&handle);
}

TEST_F(OneGridFileTest, DamagedFilesGiveHandleZero) {
    const std::vector<unsigned char> good = ReadBytes(path_);
    ASSERT_EQ(64u + 32u + 16u, good.size());
    auto damaged = [&](const std::string& name, auto change) {
        std::vector<unsigned char> bytes = good;
        change(bytes);
        return GetHXFHandle(WriteBytes(name, bytes).c_str());
    };
    auto setInt32 = [](std::vector<unsigned char>& b, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
    };
    EXPECT_EQ(0, damaged("short.hxf", [](auto& b) { b.pop_back(); }));
    EXPECT_EQ(0, damaged("long.hxf", [](auto& b) { b.push_back(0); }));
    EXPECT_EQ(0, damaged("header.hxf", [](auto& b) { b.resize(40); }));
    EXPECT_EQ(0, damaged("empty.hxf", [](auto& b) { b.clear(); }));
    EXPECT_EQ(0, damaged("magic.hxf", [](auto& b) { b[0] = 'h'; }));
    EXPECT_EQ(0, damaged("version.hxf", [](auto& b) { b[8] = 2; }));
    EXPECT_EQ(0, damaged("type.hxf", [](auto& b) { b[10] = 7; }));
    EXPECT_EQ(0, damaged("rows.hxf", [&](auto& b) { setInt32(b, 12, 0); }));
    EXPECT_EQ(0, damaged("negative.hxf", [&](auto& b) { setInt32(b, 16, 0xFFFFFFFFu); }));
    EXPECT_EQ(0, damaged("huge.hxf", [&](auto& b) { setInt32(b, 12, INT_MAX), setInt32(b, 16, INT_MAX); }));
    EXPECT_EQ(0, damaged("count.hxf", [&](auto& b) { setInt32(b, 20, INT_MAX); }));
    EXPECT_EQ(0, damaged("noid.hxf", [](auto& b) { std::memset(b.data() + 64, 'x', 32); }));
    std::vector<unsigned char> garbage(4096);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<unsigned char>(i * 131 + 7);
    EXPECT_EQ(0, GetHXFHandle(WriteBytes("garbage.hxf", garbage).c_str()));
    EXPECT_EQ(0, GetHXFHandle(PathOf(".").c_str()));
}

TEST_F(HxfFileTest, WriterRefusesBadArgumentsAndCreatesNothing) {
    const float values[] = {1, 2, 3, 4};
    const void* one[] = {values};
    const void* two[] = {values, values};
    const std::string path = PathOf("refused.hxf");
    auto write = [&](int type, int rows, int cols, int count, std::vector<const char*> ids,
                     const void* const* grids) {
        return WriteHXFFile(path.c_str(), type, rows, cols, count, ids.data(), grids);
    };
    EXPECT_NE(0, write(HXF_FLOAT, 2, 2, 1, {"0123456789012345678901234567890X"}, one));
    EXPECT_NE(0, write(HXF_FLOAT, 2, 2, 1, {""}, one));
    EXPECT_NE(0, write(HXF_FLOAT, 2, 2, 1, {nullptr}, one));
    EXPECT_NE(0, write(HXF_FLOAT, 2, 2, 2, {"same", "same"}, two));
    EXPECT_NE(0, write(7, 2, 2, 1, {"a"}, one));
    EXPECT_NE(0, write(HXF_FLOAT, 0, 2, 1, {"a"}, one));
    EXPECT_NE(0, write(HXF_FLOAT, 2, -1, 1, {"a"}, one));
    EXPECT_NE(0, write(HXF_FLOAT, 65536, 65536, 1, {"a"}, one));
    EXPECT_NE(0, write(HXF_FLOAT, 2, 2, -1, {"a"}, one));
    EXPECT_NE(0, write(HXF_FLOAT, 2, 2, 1, {"a"}, nullptr));
    const void* missing[] = {nullptr};
    EXPECT_NE(0, write(HXF_FLOAT, 2, 2, 1, {"a"}, missing));
    EXPECT_NE(0, WriteHXFFile(nullptr, HXF_FLOAT, 2, 2, 0, nullptr, nullptr));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_NE(0, WriteHXFFile(PathOf("no/dir.hxf").c_str(), HXF_FLOAT, 2, 2, 1,
                              std::vector<const char*>{"a"}.data(), one));
}

TEST_F(HxfFileTest, FileWithoutGridsOpensAndReportsNone) {
    const std::string path = PathOf("none.hxf");
    ASSERT_EQ(0, WriteHXFFile(path.c_str(), HXF_DOUBLE, 5, 6, 0, nullptr, nullptr));
    int handle = GetHXFHandle(path.c_str());
    ASSERT_NE(0, handle);
    EXPECT_EQ(0, GetNumberOfGrid(handle));
    HXFGridFileInfo info;
    GetGridFileInfo(handle, &info);
    EXPECT_EQ(5, info.rows);
    EXPECT_EQ(6, info.cols);
    CloseGridFile(&handle);
}

}  // namespace
