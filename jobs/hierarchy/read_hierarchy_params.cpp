#include "jobs/hierarchy/read_hierarchy_params.h"

#include <cstring>
#include <string>

#include "formats/grid/scan_stream.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/level_texts.h"

namespace quarnel {

namespace {

// The stream and, once a read fails, what was being read and where, for the cause.
struct ParamReader {
    ScanStream in;
    std::string failure;

    bool Check(const ScanResult& read, const std::string& what) {
        if (read.ok()) return true;
        failure = what + " at byte " + std::to_string(read.position) + ": " + ScanStatusText(read.status);
        return false;
    }
    bool Word(char* out, std::size_t capacity, const std::string& what) {
        return Check(in.Word(out, capacity), what);
    }
    bool Int(std::int32_t& out, const std::string& what) { return Check(in.Int(out), what); }
    bool Float(float& out, const std::string& what) { return Check(in.Float(out), what); }
};

std::string ElementText(int level, int i) {
    return std::string(LevelName(level)) + " element " + std::to_string(i + 1);
}

bool ReadElement(ParamReader& in, int level, int i, HierarchyElement& element, float& importance) {
    const std::string what = ElementText(level, i);
    return in.Word(element.name, kNameField, "the name of " + what) &&
           in.Float(importance, "the importance of " + what) &&
           in.Word(element.file, kFileField, "the file of " + what);
}

bool ReadLevel(ParamReader& in, HierarchyParams& params, int level) {
    const std::string what = std::string("the ") + LevelName(level) + " level";
    if (!in.Float(params.levelImportance[level], "the importance of " + what) ||
        !in.Int(params.elementCount[level], "the element count of " + what))
        return false;
    const int count = params.elementCount[level];
    if (count < 0 || count > kMaxElements) {
        in.failure = "the element count of " + what + " is " + std::to_string(count) + ", not 0..10";
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (!ReadElement(in, level, i, params.elements[level][i], params.elementImportance[level][i]))
            return false;
    }
    return true;
}

bool ReadAfterKeyword(ParamReader& in, HierarchyParams& params) {
    if (!in.Int(params.target, "the target")) return false;
    for (int level = 0; level < kLevelCount; ++level) {
        if (!in.Int(params.levelOn[level], std::string("the presence of the ") + LevelName(level) + " level"))
            return false;
    }
    for (int level = 0; level < kLevelCount; ++level) {
        if (params.LevelPresent(level) && !ReadLevel(in, params, level)) return false;
    }
    return in.Word(params.outputFile, kFileField, "the output file name") &&
           in.Word(params.reportFile, kFileField, "the report file name");
}

int Fail(int status, std::string text, std::string* cause) {
    if (cause != nullptr) *cause = std::move(text);
    return status;
}

}  // namespace

int ReadHierarchyParams(const char* path, HierarchyParams& params, std::string* cause) {
    using namespace hierarchy_status;
    params = HierarchyParams{};
    ParamReader reader;
    if (!reader.in.Open(path))
        return Fail(kParameterFileNotOpened, std::string(path) + ": cannot be opened", cause);
    char keyword[kKeywordField];
    const ScanResult first = reader.in.Word(keyword, sizeof keyword);
    // An empty file has no first token, so its first token is not the keyword either.
    if (first.status == ScanStatus::end_of_input)
        return Fail(kNotTheKeyword, std::string(path) + ": empty", cause);
    if (!reader.Check(first, "the keyword"))
        return Fail(kMalformedParameterFile, path + (": " + reader.failure), cause);
    if (std::strcmp(keyword, "QELFrmDECOMPOSE") != 0)
        return Fail(kNotTheKeyword, std::string(path) + ": the first token is \"" + keyword + "\"", cause);
    if (ReadAfterKeyword(reader, params)) return kSuccess;
    return Fail(kMalformedParameterFile, path + (": " + reader.failure), cause);
}

}  // namespace quarnel
