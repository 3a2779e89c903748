#include "workflow/report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/gbk_text.h"
#include "formats/grid/text_sink.h"

namespace quarnel::workflow {

namespace {

std::string Escape(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        std::uint32_t group = std::uint32_t(static_cast<unsigned char>(bytes[i])) << 16;
        if (left > 1) group |= std::uint32_t(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (left > 2) group |= std::uint32_t(static_cast<unsigned char>(bytes[i + 2]));
        text += kDigits[(group >> 18) & 63];
        text += kDigits[(group >> 12) & 63];
        text += left > 1 ? kDigits[(group >> 6) & 63] : '=';
        text += left > 2 ? kDigits[group & 63] : '=';
    }
    return text;
}

// A measured number as a reader takes it in: four significant digits (a float's 0.6000000238 is
// 0.6), whole numbers from 10^4 up rounded to units, never an exponent between 10^-4 and 10^15.
std::string ShortNumber(double value) {
    char text[48];
    if (!std::isfinite(value)) return value != value ? "NaN" : value > 0 ? "&infin;" : "&minus;&infin;";
    if (std::fabs(value) >= 1e4 && std::fabs(value) < 1e15)
        std::snprintf(text, sizeof text, "%.0f", value);
    else
        std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

// A JSON value as text for a table cell: numbers with four significant digits.
std::string Cell(const nlohmann::ordered_json& value) {
    if (value.is_number_float()) return ShortNumber(value.get<double>());
    if (value.is_string()) return Escape(value.get<std::string>());
    if (value.is_null()) return "&ndash;";
    return Escape(value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

// Rows of cells, the first the heading.
void PutGrid(std::string& page, const nlohmann::ordered_json& rows) {
    page += "<table class=\"grid\">";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        page += "<tr>";
        for (const auto& cell : rows[r])
            page += (r == 0 ? "<th>" : "<td>") + Cell(cell) + (r == 0 ? "</th>" : "</td>");
        page += "</tr>";
    }
    page += "</table>";
}

bool AllNumbers(const nlohmann::ordered_json& array) {
    return std::all_of(array.begin(), array.end(), [](const auto& v) { return v.is_number(); });
}

// A list of numbers as a table of ten a row; a longer list's rows headed by the place of their
// first number.
void PutNumbers(std::string& page, const nlohmann::ordered_json& numbers) {
    page += "<table class=\"grid\">";
    for (std::size_t i = 0; i < numbers.size(); i += 10) {
        page += numbers.size() > 10 ? "<tr><th>" + std::to_string(i + 1) + "</th>" : std::string("<tr>");
        for (std::size_t j = i; j < std::min(numbers.size(), i + 10); ++j)
            page += "<td>" + Cell(numbers[j]) + "</td>";
        page += "</tr>";
    }
    page += "</table>";
}

// An object as a two-column table, nested objects and arrays as nested tables or lists.
void PutTable(std::string& page, const nlohmann::ordered_json& object) {
    page += "<table>";
    for (const auto& [key, value] : object.items()) {
        page += "<tr><th>" + Escape(key) + "</th><td>";
        if (value.is_object())
            PutTable(page, value);
        else if (value.is_array() && value.size() > 12) {
            page += "<details><summary>" + std::to_string(value.size()) + " entries</summary>";
            if (value.front().is_object())
                for (const auto& item : value) PutTable(page, item);
            else if (AllNumbers(value))
                PutNumbers(page, value);
            else
                page += "<code>" + Cell(value) + "</code>";
            page += "</details>";
        } else if (value.is_array() && !value.empty() && value.front().is_array()) {
            PutGrid(page, value);
        } else if (value.is_array() && !value.empty() && value.front().is_object()) {
            for (const auto& item : value) PutTable(page, item);
        } else if (value.is_array() && !value.empty() && AllNumbers(value)) {
            PutNumbers(page, value);
        } else if (value.is_array()) {
            std::string items;
            for (const auto& item : value) items += (items.empty() ? "" : ", ") + Cell(item);
            page += items;
        } else {
            page += Cell(value);
        }
        page += "</td></tr>";
    }
    page += "</table>";
}

void PutPictures(std::string& page, const std::vector<ReportPicture>& pictures) {
    if (pictures.empty()) return;
    page += "<div class=\"pictures\">";
    for (const ReportPicture& picture : pictures) {
        const std::string png = ReadBytes(picture.png);
        if (png.empty()) continue;
        page += "<figure><img alt=\"" + Escape(picture.caption) + "\" src=\"data:image/png;base64," +
                Base64(png) + "\"><figcaption>" + Escape(picture.caption) + "</figcaption></figure>";
    }
    page += "</div>";
}

// The error per epoch as an inline SVG line (no script), the error axis from 0.
void PutErrorCurve(std::string& page, const std::vector<double>& errors) {
    if (errors.size() < 2) return;
    const double top = *std::max_element(errors.begin(), errors.end());
    if (!(top > 0) || !std::isfinite(top)) return;
    constexpr double kWidth = 480, kHeight = 160;
    std::string points;
    char xy[64];
    for (std::size_t e = 0; e < errors.size(); ++e) {
        std::snprintf(xy, sizeof xy, "%.1f,%.1f ", 40 + kWidth * double(e) / double(errors.size() - 1),
                      10 + kHeight * (1 - errors[e] / top));
        points += xy;
    }
    char labels[256];
    std::snprintf(labels, sizeof labels,
                  "<text x=\"0\" y=\"18\">%.3g</text><text x=\"0\" y=\"170\">0</text>"
                  "<text x=\"40\" y=\"190\">epoch 1</text><text x=\"470\" y=\"190\">%zu</text>",
                  top, errors.size());
    page +=
        "<figure><svg width=\"530\" height=\"200\" font-size=\"11\" role=\"img\">"
        "<polyline fill=\"none\" stroke=\"#1f5fa8\" points=\"" +
        points + "\"/>" + labels +
        "</svg><figcaption>Training error per epoch (half the summed squared error over the "
        "samples)</figcaption></figure>";
}

void PutSection(std::string& page, const ReportSection& section) {
    page += "<section><h3>" + Escape(section.title) + "</h3>";
    if (!section.description.empty()) page += "<p>" + Escape(section.description) + "</p>";
    for (const std::string& failure : section.failures)
        page += "<p class=\"failed\"><strong>Failed</strong> " + Escape(failure) + "</p>";
    if (!section.parameters.empty()) {
        page += "<h4>Parameters</h4>";
        PutTable(page, section.parameters);
    }
    if (!section.results.empty()) {
        page += "<h4>Results</h4>";
        PutTable(page, section.results);
    }
    PutPictures(page, section.pictures);
    for (const std::filesystem::path& report : section.gbkReports) {
        const std::string gbk = ReadBytes(report);
        if (gbk.empty()) continue;
        page += "<details><summary>Report " + Escape(report.filename().string()) +
                " (the job's GBK text, shown as UTF-8)</summary><pre>" + Escape(cli::GbkToUtf8(gbk)) +
                "</pre></details>";
    }
    page += "</section>";
}

// The prediction-area crossing of a method's validation: "threshold, rate", or a dash.
std::string Crossing(const nlohmann::ordered_json& found) {
    const nlohmann::ordered_json crossing =
        found.contains("prediction_area")
            ? found["prediction_area"].value("crossing", nlohmann::ordered_json())
            : nlohmann::ordered_json();
    if (!crossing.is_object()) return "&ndash;";
    return Cell(crossing.value("threshold", nlohmann::ordered_json())) + ", " +
           Cell(crossing.value("prediction_rate", nlohmann::ordered_json()));
}

void PutValidation(std::string& page, const nlohmann::ordered_json& validation) {
    page +=
        "<table class=\"grid\"><tr><th>method</th><th>AUC</th><th>95 % interval</th>"
        "<th>success-rate area</th><th>area for 50 / 75 / 90 % of deposits</th><th>prediction-rate area</th>"
        "<th>average precision</th><th>P-A crossing (value, rate)</th><th>log loss</th><th>Brier score</th>"
        "</tr>";
    if (!validation.is_object()) return;
    for (const auto& item : validation.items()) {
        // Named, not a structured binding: lambdas capture bindings only since C++20's P1091,
        // which clang 14 does not implement.
        const std::string& method = item.key();
        const nlohmann::ordered_json& found = item.value();
        if (method == "ranking") continue;
        const auto value = [&](const char* a, const char* b) {
            return found.contains(a) && found[a].contains(b) ? Cell(found[a][b]) : std::string("&ndash;");
        };
        page += "<tr><td>" + Escape(method) + "</td><td>" + value("roc", "auc") + "</td><td>" +
                value("roc", "auc_low") + " &ndash; " + value("roc", "auc_high") + "</td><td>" +
                value("success_rate", "area") + "</td><td>" + value("success_rate", "area_for_50") + " / " +
                value("success_rate", "area_for_75") + " / " + value("success_rate", "area_for_90") +
                "</td><td>" + value("prediction_rate", "area") + "</td><td>" +
                value("precision_recall", "average_precision") + "</td><td>" + Crossing(found) + "</td><td>" +
                value("probability", "log_loss") + "</td><td>" + value("probability", "brier") + "</td></tr>";
    }
    page += "</table>";
}

// A number of the verdict with `format`, or a dash.
std::string Number(const nlohmann::ordered_json& value, const char* format) {
    if (!value.is_number()) return "&ndash;";
    char text[32];
    std::snprintf(text, sizeof text, format, value.get<double>());
    return text;
}

// The ranking first: which map finds the deposits best, how sure that is, and in words which
// maps cannot be told apart from the best.
void PutVerdict(std::string& page, const nlohmann::ordered_json& ranking, bool heldOut) {
    if (!ranking.is_array() || ranking.empty()) return;
    const std::string judged = heldOut ? "held-out deposits (kept back from every method)"
                                       : "training deposits (no holdout was asked for)";
    page += "<h2>Verdict</h2><p>The maps ranked by how well they find the " + judged +
            ": the area under the ROC curve (AUC; 0.5 is chance, 1 perfect) with its 95 % interval, the "
            "area under the " +
            std::string(heldOut ? "prediction" : "success") +
            "-rate curve, the share of the area that holds 50, 75 and 90 % of the deposits (smaller is "
            "better), and the p-value of DeLong's paired test of each map against the best (below 0.05: "
            "the difference is unlikely to be chance).</p>";
    page +=
        "<table class=\"grid\" id=\"verdict\"><tr><th>rank</th><th>method</th><th>AUC</th><th>95 % "
        "interval</th>"
        "<th>rate area</th><th>area for 50 / 75 / 90 %</th><th>p vs best</th></tr>";
    std::string words;
    const std::string best = ranking[0].value("method", "");
    int rank = 0;
    for (const auto& row : ranking) {
        const std::string method = row.value("method", "");
        ++rank;
        page += "<tr><td>" + std::to_string(rank) + "</td><td>" + Escape(method) + "</td><td>" +
                Number(row["auc"], "%.3f") + "</td><td>" + Number(row["auc_low"], "%.3f") + " &ndash; " +
                Number(row["auc_high"], "%.3f") + "</td><td>" + Number(row["prediction_rate_area"], "%.3f") +
                "</td><td>" + Number(row["area_for_50"], "%.3f") + " / " +
                Number(row["area_for_75"], "%.3f") + " / " + Number(row["area_for_90"], "%.3f") +
                "</td><td>" + (rank == 1 ? std::string("best") : Number(row["p_vs_best"], "%.2g")) +
                "</td></tr>";
        if (rank > 1 && row["p_vs_best"].is_number() && row["p_vs_best"].get<double>() >= 0.05)
            words += "<p>" + Escape(method) + " and " + Escape(best) +
                     " cannot be told apart on these deposits (p = " + Number(row["p_vs_best"], "%.2g") +
                     "): the difference in AUC may well be chance.</p>";
    }
    page += "</table>" + words;
}

// A coordinate of the extent to the cell size's precision (whole units for cells of 1 and up).
std::string Coordinate(double value, double cell) {
    const int decimals = cell >= 1 || !(cell > 0) ? 0 : std::min(9, int(std::ceil(-std::log10(cell))) + 1);
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The grid every layer is on: CRS and EPSG code, extent, cell size and units, rows and columns.
void PutGridHeading(std::string& page, const ReportGrid& grid) {
    const std::string units = grid.units.empty() ? "map units" : grid.units;
    const double cell = std::min(grid.cellWidth, grid.cellHeight);
    const auto item = [&](const char* name, const std::string& text) {
        page += std::string("<dt>") + name + "</dt><dd>" + text + "</dd>";
    };
    // A list, not a table: the verdict stays the page's first table.
    page += "<dl id=\"grid\">";
    item("CRS", Escape(grid.crs));
    item("EPSG", grid.epsg.empty() ? std::string("none identified") : "EPSG:" + Escape(grid.epsg));
    item("extent", "x " + Coordinate(grid.west, cell) + " to " + Coordinate(grid.east, cell) + ", y " +
                       Coordinate(grid.south, cell) + " to " + Coordinate(grid.north, cell) + " " +
                       Escape(units));
    item("cell size",
         ShortNumber(grid.cellWidth) + " &times; " + ShortNumber(grid.cellHeight) + " " + Escape(units));
    item("grid", std::to_string(grid.cols) + " columns &times; " + std::to_string(grid.rows) + " rows");
    page += "</dl>";
}

// Every string of value that names an existing file or folder, as a path from the report's folder.
nlohmann::ordered_json RelativePaths(const nlohmann::ordered_json& value,
                                     const std::filesystem::path& folder) {
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        std::error_code error;
        if (text.find('/') == std::string::npos || !std::filesystem::exists(text, error)) return value;
        const std::filesystem::path relative =
            std::filesystem::absolute(text).lexically_normal().lexically_relative(folder);
        return relative.empty() ? value : nlohmann::ordered_json(relative.generic_string());
    }
    nlohmann::ordered_json copy = value;
    if (value.is_structured())
        for (auto& item : copy.items()) item.value() = RelativePaths(item.value(), folder);
    return copy;
}

// The report as its reader sees it: paths from the report's folder.
RunReport ForReader(const RunReport& report, const std::filesystem::path& folder) {
    RunReport shown = report;
    const auto relative = [&](std::string& path) { path = RelativePaths(path, folder).get<std::string>(); };
    relative(shown.workflow);
    for (auto* sections : {&shown.inputs, &shown.methods})
        for (ReportSection& section : *sections) {
            section.parameters = RelativePaths(section.parameters, folder);
            section.results = RelativePaths(section.results, folder);
            for (std::string& failure : section.failures) relative(failure);
        }
    return shown;
}

constexpr const char* kStyle =
    "body{font-family:DejaVu Sans,Helvetica,Arial,sans-serif;margin:2em auto;padding:0 "
    "1em;max-width:80em;color:#222}"
    "h1{font-size:1.6em}h2{border-bottom:1px solid #ccc;margin-top:2em}section{margin:1.5em 0}"
    "table{border-collapse:collapse;margin:.3em 0}th,td{border:1px solid #ddd;padding:.2em .5em;"
    "text-align:left;vertical-align:top;font-size:.9em}th{background:#f4f4f4}"
    ".pictures{display:flex;flex-wrap:wrap;gap:1em}figure{margin:0}img{max-width:38em;height:auto}"
    "figcaption{font-size:.85em;color:#555}pre{white-space:pre-wrap;font-size:.8em;background:#fafafa;"
    "padding:.5em}code{font-size:.8em}.failed{color:#a00}td,code{overflow-wrap:anywhere}"
    "img{max-width:100%}th{overflow-wrap:anywhere}table{max-width:100%}"
    "#grid{display:grid;grid-template-columns:max-content auto;gap:.1em 1em}#grid dt{font-weight:bold}"
    "#grid dd{margin:0}";

}  // namespace

bool WriteRunReport(const RunReport& given, const std::filesystem::path& path) {
    const RunReport report =
        ForReader(given, std::filesystem::absolute(path).lexically_normal().parent_path());
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Quarnel run: " +
        Escape(report.workflow) + "</title><style>" + kStyle + "</style></head><body>";
    page += "<h1>Prospectivity run</h1><p>Workflow <code>" + Escape(report.workflow) + "</code>.</p>";
    if (report.grid) PutGridHeading(page, *report.grid);
    if (report.validation.is_object() && report.validation.contains("ranking"))
        PutVerdict(page, report.validation["ranking"], report.heldOut);
    page += "<h2>Inputs</h2>";
    for (const ReportSection& section : report.inputs) PutSection(page, section);
    page += "<h2>Methods</h2>";
    for (const ReportSection& section : report.methods) {
        PutSection(page, section);
        if (section.title == "BP network") PutErrorCurve(page, report.bpErrors);
    }
    page +=
        "<h2>Validation</h2><p>Each map against the training deposits (ROC, success rate; hierarchy "
        "analysis uses no deposits) and, with a holdout, against the deposits kept back (prediction "
        "rate).</p>";
    PutValidation(page, report.validation);
    PutPictures(page, report.curves);
    page += "</body></html>\n";
    TextSink sink;
    if (!sink.Open(path.string().c_str())) return false;
    sink.Put(page);
    return sink.Close();
}

}  // namespace quarnel::workflow
