#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "jobs/frame/support_classes.h"
#include "formats/kor/cxarray.h"
#include "loaded_library.h"

namespace {

const std::set<std::string> kJobs = {
    "OnBPClass",        "OnBPTrain",          "OnCalAvgVar", "OnDataNormalize",
    "OnDataNormalize2", "OnDataNormalizeHXF", "qelDecompos", "qelFeater",
};

const std::set<std::string> kInlineMembers = {
    "CVarrayBase<char>::operator=(CVarrayBase<char> const&)",
    "CVarrayBase<unsigned char>::operator=(CVarrayBase<unsigned char> const&)",
    "CVarrayBase<short>::operator=(CVarrayBase<short> const&)",
    "CVarrayBase<unsigned short>::operator=(CVarrayBase<unsigned short> const&)",
    "CVarrayBase<int>::operator=(CVarrayBase<int> const&)",
    "CVarrayBase<float>::operator=(CVarrayBase<float> const&)",
    "CVarrayBase<double>::operator=(CVarrayBase<double> const&)",
    "CErrorInfo::operator=(CErrorInfo const&)",
    "CTempFile::operator=(CTempFile const&)",
    "CxFile::operator=(CxFile const&)",
    "CxMapFile::operator=(CxMapFile const&)",
    "CxString::operator=(CxString const&)",
    "CxMapFile::GetAppendNull() const",
    "CxMapFile::GetFileHandle() const",
    "CxMapFile::GetFileMappingHandle() const",
    "CxMapFile::GetMapViewStart() const",
    "CxMapFile::GetMappingSize() const",
    "CxMapFile::GetReadOlny() const",
};

// Demangled names of the symbols the library defines in its dynamic symbol table.
std::set<std::string> ExportedNames() {
    const std::string command = std::string("nm -D --defined-only -C '") + QUARNEL_LIBRARY + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(nullptr, pipe) << command;
    std::set<std::string> names;
    if (pipe == nullptr) return names;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type;
        std::getline(fields >> std::ws, name);
        names.insert(name);
    }
    EXPECT_EQ(0, pclose(pipe)) << command;
    return names;
}

TEST(ExportTableTest, NothingOutsideTheTableIsExported) {
    const std::set<std::string> names = ExportedNames();
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names)
        EXPECT_TRUE(kJobs.count(name) != 0 || kInlineMembers.count(name) != 0) << "exported: " << name;
}

TEST(ExportTableTest, EveryInlineMemberIsExported) {
    const std::set<std::string> names = ExportedNames();
    for (const std::string& member : kInlineMembers)
        EXPECT_EQ(1u, names.count(member)) << "missing: " << member;
}

// Goes green once every job of the table is in the library.
TEST(ExportTableTest, EveryJobIsExportedUndecorated) {
    const std::set<std::string> names = ExportedNames();
    for (const std::string& job : kJobs) EXPECT_EQ(1u, names.count(job)) << "missing: " << job;
}

// On this ABI a member function is called as a function taking `this` first, so the exported
// members can be called through the addresses dlsym gives.
class ExportedMemberTest : public ::testing::Test {
  protected:
    LoadedLibrary library_{RTLD_LAZY | RTLD_LOCAL};
};

TEST_F(ExportedMemberTest, MapFileGettersReturnTheirFields) {
    ASSERT_NE(nullptr, library_.handle()) << dlerror();
    int a = 0;
    int b = 0;
    CxMapFile map;
    map.m_fileHandle = &a;
    map.m_fileMappingHandle = &b;
    map.m_mapViewStart = 4096;
    map.m_mappingSize = std::int64_t{1} << 40;
    map.m_readOnly = true;
    using Pointer = void* (*)(const CxMapFile*);
    using Int64 = std::int64_t (*)(const CxMapFile*);
    using Flag = bool (*)(const CxMapFile*);
    EXPECT_EQ(&a, library_.Find<Pointer>("_ZNK9CxMapFile13GetFileHandleEv")(&map));
    EXPECT_EQ(&b, library_.Find<Pointer>("_ZNK9CxMapFile20GetFileMappingHandleEv")(&map));
    EXPECT_EQ(4096, library_.Find<Int64>("_ZNK9CxMapFile15GetMapViewStartEv")(&map));
    EXPECT_EQ(std::int64_t{1} << 40, library_.Find<Int64>("_ZNK9CxMapFile14GetMappingSizeEv")(&map));
    EXPECT_TRUE(library_.Find<Flag>("_ZNK9CxMapFile11GetReadOlnyEv")(&map));
    EXPECT_FALSE(library_.Find<Flag>("_ZNK9CxMapFile13GetAppendNullEv")(&map));
}

TEST_F(ExportedMemberTest, AssignmentsCopyEveryMember) {
    ASSERT_NE(nullptr, library_.handle()) << dlerror();
    int a = 0;
    CxMapFile map;
    map.m_fileHandle = map.m_fileMappingHandle = map.m_mapView = &a;
    map.m_mapViewStart = -7;
    map.m_mappingSize = 99;
    map.m_readOnly = map.m_appendNull = true;
    CxMapFile mapCopy;
    using AssignMap = CxMapFile* (*)(CxMapFile*, const CxMapFile*);
    EXPECT_EQ(&mapCopy, library_.Find<AssignMap>("_ZN9CxMapFileaSERKS_")(&mapCopy, &map));
    EXPECT_EQ(&a, mapCopy.m_mapView);
    EXPECT_EQ(-7, mapCopy.m_mapViewStart);
    EXPECT_EQ(99, mapCopy.m_mappingSize);
    EXPECT_TRUE(mapCopy.m_readOnly && mapCopy.m_appendNull);

    CErrorInfo error;
    error.m_code = 3001;
    std::strcpy(error.m_message, "\xB4\xED\xCE\xF3");
    CErrorInfo errorCopy;
    using AssignError = CErrorInfo* (*)(CErrorInfo*, const CErrorInfo*);
    EXPECT_EQ(&errorCopy, library_.Find<AssignError>("_ZN10CErrorInfoaSERKS_")(&errorCopy, &error));
    EXPECT_EQ(3001, errorCopy.m_code);
    EXPECT_STREQ(error.m_message, errorCopy.m_message);

    CxFile file;
    file.m_position = 12345;
    std::strcpy(file.m_path, "grids/a.grd");
    CxFile fileCopy;
    using AssignFile = CxFile* (*)(CxFile*, const CxFile*);
    EXPECT_EQ(&fileCopy, library_.Find<AssignFile>("_ZN6CxFileaSERKS_")(&fileCopy, &file));
    EXPECT_EQ(12345, fileCopy.m_position);
    EXPECT_STREQ("grids/a.grd", fileCopy.m_path);
}

TEST_F(ExportedMemberTest, ArrayAssignmentCopiesTheViewAndFreesNothing) {
    ASSERT_NE(nullptr, library_.handle()) << dlerror();
    CxArray<double> source(2, 3, ZT_STOR_ROWMAJOR);
    source.Data()[5] = 2.5;
    CxArray<double> target(1, 1, ZT_STOR_ROWMAJOR);
    using Assign = CVarrayBase<double>* (*)(CVarrayBase<double>*, const CVarrayBase<double>*);
    const auto assign = library_.Find<Assign>("_ZN11CVarrayBaseIdEaSERKS0_");
    ASSERT_NE(nullptr, assign);
    EXPECT_EQ(&target, assign(&target, &source));
    EXPECT_EQ(2, target.GetRows());
    EXPECT_EQ(3, target.GetCols());
    EXPECT_EQ(2.5, target.GetAt(1, 2));
}

}  // namespace
