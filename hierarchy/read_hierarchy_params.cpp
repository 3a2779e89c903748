#include "hierarchy/read_hierarchy_params.h"

#include <cstring>

#include "grid/scan_stream.h"
#include "hierarchy/hierarchy_status.h"

namespace quarnel {

namespace {

bool ReadElement(ScanStream& in, HierarchyElement& element, float& importance) {
    return in.Word(element.name, kNameField).ok() && in.Float(importance).ok() &&
           in.Word(element.file, kFileField).ok();
}

bool ReadLevel(ScanStream& in, HierarchyParams& params, int level) {
    if (!in.Float(params.levelImportance[level]).ok() || !in.Int(params.elementCount[level]).ok())
        return false;
    const int count = params.elementCount[level];
    if (count < 0 || count > kMaxElements) return false;
    for (int i = 0; i < count; ++i) {
        if (!ReadElement(in, params.elements[level][i], params.elementImportance[level][i])) return false;
    }
    return true;
}

bool ReadAfterKeyword(ScanStream& in, HierarchyParams& params) {
    if (!in.Int(params.target).ok()) return false;
    for (int level = 0; level < kLevelCount; ++level) {
        if (!in.Int(params.levelOn[level]).ok()) return false;
    }
    for (int level = 0; level < kLevelCount; ++level) {
        if (params.LevelPresent(level) && !ReadLevel(in, params, level)) return false;
    }
    return in.Word(params.outputFile, kFileField).ok() && in.Word(params.reportFile, kFileField).ok();
}

}  // namespace

int ReadHierarchyParams(const char* path, HierarchyParams& params) {
    using namespace hierarchy_status;
    params = HierarchyParams{};
    ScanStream in;
    if (!in.Open(path)) return kParameterFileNotOpened;
    char keyword[kKeywordField];
    const ScanResult first = in.Word(keyword, sizeof keyword);
    // An empty file has no first token, so its first token is not the keyword either.
    if (first.status == ScanStatus::end_of_input) return kNotTheKeyword;
    if (!first.ok()) return kMalformedParameterFile;
    if (std::strcmp(keyword, "QELFrmDECOMPOSE") != 0) return kNotTheKeyword;
    return ReadAfterKeyword(in, params) ? kSuccess : kMalformedParameterFile;
}

}  // namespace quarnel
