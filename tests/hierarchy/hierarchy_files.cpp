#include "tests/hierarchy/hierarchy_files.h"

namespace quarnel::test {

std::string ParameterText(int target, const std::array<LevelEntry, 4>& levels, const std::string& outputFile,
                          const std::string& reportFile) {
    std::string text = "QELFrmDECOMPOSE\n" + std::to_string(target) + "\n";
    for (const LevelEntry& level : levels) text += std::to_string(level.presence) + " ";
    text += "\n";
    for (const LevelEntry& level : levels) {
        if (level.presence != 1) continue;
        text += level.importance + " " + std::to_string(level.elements.size()) + "\n";
        for (const ElementEntry& e : level.elements)
            text += e.name + " " + e.importance + " " + e.file + "\n";
    }
    return text + outputFile + "\n" + reportFile + "\n";
}

}  // namespace quarnel::test
