#include "feature_files.h"

#include <sstream>

namespace quarnel::test {

std::string GridText(int rows, int cols, const std::vector<double>& values, double blank,
                     const std::string& word, const std::string& reals) {
    std::ostringstream text;
    text << word << "\n" << rows << " " << cols << " " << reals << "\n" << blank << "\n";
    for (std::size_t i = 0; i < values.size(); ++i) {
        text << values[i] << ((i + 1) % static_cast<std::size_t>(cols > 0 ? cols : 1) == 0 ? "\n" : " ");
    }
    return text.str();
}

std::string ParamText(const std::vector<VariableLine>& vars, int hasModelUnits, const std::string& unitPath,
                      int method, const std::string& scorePath, const std::string& reportPath) {
    std::ostringstream text;
    text << "QelFrmFeater\n" << vars.size() << "\n";
    for (const VariableLine& var : vars) {
        text << var.name << " " << var.lower << " " << var.upper << " " << var.gridPath << "\n";
    }
    text << hasModelUnits << " " << unitPath << "\n"
         << method << " " << scorePath << " " << reportPath << "\n";
    return text.str();
}

}  // namespace quarnel::test
