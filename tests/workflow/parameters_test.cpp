// Every parameter has one name and one default in every door: the workflow file takes each
// declared key (and refuses it out of range with its line), the host lists it with its default,
// and the tables of docs/workflow.md are the ones the declarations make.
#include <gtest/gtest.h>

#include <filesystem>

#include "geo_fixtures.h"
#include "quarnel/requests.h"
#include "tests/testkit/testkit.h"
#include "workflow/reader.h"

namespace quarnel::testing {
namespace {

namespace fs = std::filesystem;
using params::Kind;

// Texts joined (GCC 12 warns wrongly of overlaps in chains of `"literal" + std::string`).
std::string Cat(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) text.append(part);
    return text;
}

// A value of the parameter as TOML text: its default, or (beyond) a number above its range.
std::string TomlValue(const params::Parameter& p, bool beyond) {
    switch (p.kind) {
        case Kind::integer:
        case Kind::number:
            // A default in words ("inputs + 1") has no number: the range's low end stands in.
            return params::PlainNumber(beyond ? p.high * 2 + 1 : p.fallback.empty() ? p.value : p.low);
        case Kind::flag:
            return p.value != 0 ? "true" : "false";
        case Kind::choice:
            return Cat({"\"", p.choices[std::size_t(p.value)], "\""});
        case Kind::names:
            return "[\"a\"]";
        default:
            return "\"a\"";
    }
}

// Every table with every key at its default; one key, where given, beyond its range.
std::string EveryKey(const std::string& beyond) {
    const auto keys = [&](std::string_view table, std::initializer_list<std::string_view> skip = {}) {
        std::string text;
        for (const params::Parameter* p : params::FindMethod(table)->parameters) {
            if (p->kind == Kind::tables || std::find(skip.begin(), skip.end(), p->name) != skip.end())
                continue;
            const std::string name = Cat({table, table.empty() ? "" : ".", p->name});
            text += Cat({p->name, " = ", TomlValue(*p, name == beyond), "\n"});
        }
        return text;
    };
    return keys("", {"layers"}) + "[[layers]]\n" + keys("layers", {"prepare", "window"}) +
           "prepare = \"code\"\n[[layers]]\nname = \"w\"\nraster = \"a\"\nprepare = \"window-mean\"\nwindow "
           "= " +
           (beyond == "layers.window" ? "2097153" : "5") + "\n[deposits]\n" + keys("deposits") + "[bp]\n" +
           keys("bp") + "[[hierarchy.levels]]\n" + keys("hierarchy.levels") +
           "[[hierarchy.levels.elements]]\n" + keys("hierarchy.levels.elements") + "[feature]\n" +
           keys("feature") + "[[feature.variables]]\n" + keys("feature.variables") + "[fuzzy]\n" +
           keys("fuzzy") + "[[fuzzy.inputs]]\nmembership = \"gaussian\"\n" +
           keys("fuzzy.inputs", {"membership", "low", "high", "spread", "values"}) + "[logistic]\n" +
           keys("logistic") + "[trees]\n" + keys("trees") + "[wofe]\n" + keys("wofe") +
           "[[wofe.evidence]]\n" + keys("wofe.evidence") + "[validation]\n" + keys("validation");
}

TEST(Parameters, EveryDeclaredKeyIsTakenAtItsDefaultAndRefusedBeyondItsRange) {
    testkit::TempFolder temp;
    const std::string file = temp / "w.toml";
    WriteText(file, EveryKey(""));
    const workflow::Workflow read = workflow::ReadWorkflow(file);
    const params::BpRequest defaults;
    EXPECT_EQ(read.bp->maxIterations, defaults.maxIterations);
    EXPECT_EQ(read.bp->seed, defaults.seed);
    EXPECT_EQ(read.validation.seed, params::ValidationRequest().seed);
    int refused = 0;
    for (const params::Method& method : params::Methods())
        for (const params::Parameter* p : method.parameters) {
            if ((p->kind != Kind::integer && p->kind != Kind::number) || p->high >= 3e38) continue;
            const std::string name = Cat({method.name, method.name.empty() ? "" : ".", p->name});
            WriteText(file, EveryKey(name));
            try {
                workflow::ReadWorkflow(file);
                ADD_FAILURE() << name << " taken beyond its range";
            } catch (const workflow::WorkflowError& error) {
                const std::string text = error.what();
                EXPECT_NE(text.find(Cat({".", p->name, ": must lie between ", params::PlainNumber(p->low),
                                         " and ", params::PlainNumber(p->high)})),
                          std::string::npos)
                    << text;
                EXPECT_EQ(text.find("e+"), std::string::npos) << text;  // plain numbers
                ++refused;
            }
        }
    EXPECT_GE(refused, 10);
}

TEST(Parameters, TheHostListsEachWithItsDefaultAndTheWorkflowPageHoldsTheirTables) {
    const testkit::CliResult listed = testkit::RunCli({"params"});
    ASSERT_EQ(listed.exitCode, 0) << listed.output;
    for (const params::Method& method : params::Methods())
        for (const params::Parameter* p : method.parameters)
            EXPECT_NE(listed.output.find(Cat({"  ", p->name, "  ", p->help})), std::string::npos) << p->name;
    const testkit::CliResult markdown = testkit::RunCli({"params", "--markdown"});
    EXPECT_EQ(markdown.output, params::MarkdownTables());
    const std::string readme = ReadText(std::string(QUARNEL_SOURCE_DIR) + "/docs/workflow.md");
    const std::string begin = "<!-- params:begin -->\n";
    const std::size_t at = readme.find(begin);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(readme.substr(at + begin.size(), readme.find("<!-- params:end -->") - at - begin.size()),
              params::MarkdownTables())
        << "docs/workflow.md: replace the tables by `quarnel params --markdown`";
    // evaluate's holdout share and seed are the validation's, by name and default.
    const std::string evaluate = testkit::RunCli({"evaluate", "--help"}).output;
    EXPECT_NE(evaluate.find("--holdout"), std::string::npos);
    EXPECT_NE(evaluate.find(Cat({"(default ", params::DefaultText(params::validation::kSeed), ")"})),
              std::string::npos);
}

}  // namespace
}  // namespace quarnel::testing
