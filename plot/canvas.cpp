#include "plot/canvas.h"

#include <cairo-svg.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace quarnel::plot {

namespace {

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length) {
    return std::fwrite(data, 1, length, static_cast<std::FILE*>(closure)) == length
               ? CAIRO_STATUS_SUCCESS
               : CAIRO_STATUS_WRITE_ERROR;
}

std::string LowerExtension(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return "";
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// The length of the well-formed UTF-8 sequence at text[i] (no overlong forms, surrogates or code
// points above U+10FFFF), or 0.
std::size_t SequenceLength(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    const std::size_t length = lead >= 0xc2 && lead <= 0xdf   ? 2
                               : lead >= 0xe0 && lead <= 0xef ? 3
                               : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                              : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) return 0;
    }
    const unsigned char second = byte(i + 1);
    if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second >= 0xa0) ||
        (lead == 0xf0 && second < 0x90) || (lead == 0xf4 && second >= 0x90))
        return 0;
    return length;
}

// cairo draws nothing more once given text that is not UTF-8 (a title from a GBK file name), so
// each byte of a malformed sequence becomes "?".
std::string Utf8(const std::string& text) {
    std::string clean;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = SequenceLength(text, i);
        clean += length == 0 ? "?" : text.substr(i, length);
        i += length == 0 ? 1 : length;
    }
    return clean;
}

}  // namespace

Canvas::~Canvas() {
    if (context_ != nullptr) cairo_destroy(context_);
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

bool Canvas::Open(const std::string& path, int width, int height, std::string& cause) {
    path_ = path;
    const std::string extension = LowerExtension(path);
    if (extension != "png" && extension != "svg") {
        cause = path + ": the picture's name must end in .png or .svg";
        return false;
    }
    svg_ = extension == "svg";
    if (!file_.Create(path.c_str())) {
        cause = path + ": cannot create the file";
        return false;
    }
    surface_ = svg_ ? cairo_svg_surface_create_for_stream(WriteToFile, file_.stream(), width, height)
                    : cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    context_ = cairo_create(surface_);
    if (cairo_status(context_) != CAIRO_STATUS_SUCCESS) {
        cause = path + ": cannot draw a " + std::to_string(width) + " x " + std::to_string(height) +
                " picture: " + cairo_status_to_string(cairo_status(context_));
        return false;
    }
    return true;
}

bool Canvas::Save(std::string& cause) {
    cairo_status_t status = cairo_status(context_);
    if (status == CAIRO_STATUS_SUCCESS && !svg_)
        status = cairo_surface_write_to_png_stream(surface_, WriteToFile, file_.stream());
    cairo_surface_finish(surface_);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface_);
    if (status != CAIRO_STATUS_SUCCESS) {
        cause = path_ + ": " + cairo_status_to_string(status);
        file_.Discard();
        return false;
    }
    if (!file_.Commit()) {
        cause = path_ + ": cannot write the file";
        return false;
    }
    return true;
}

void DrawText(cairo_t* cr, double x, double y, const std::string& raw, double size, Align horizontal,
              Align vertical, bool bold) {
    const std::string text = Utf8(raw);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    const double across = horizontal == Align::Start    ? 0
                          : horizontal == Align::Middle ? extents.x_advance / 2
                                                        : extents.x_advance;
    // Vertical anchors by the font size, so labels of one row share a baseline whatever their letters.
    const double down = vertical == Align::Start ? 0.8 * size : vertical == Align::Middle ? 0.35 * size : 0;
    cairo_move_to(cr, x - across, y + down);
    cairo_show_text(cr, text.c_str());
    // show_text leaves a current point, which the next path would start from.
    cairo_new_path(cr);
}

void SetColour(cairo_t* cr, Rgb colour) {
    cairo_set_source_rgb(cr, colour.r / 255.0, colour.g / 255.0, colour.b / 255.0);
}

double NiceStep(double span, int wanted) {
    if (!(span > 0) || !std::isfinite(span)) return 1;
    const double rough = span / std::max(wanted, 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough) return factor * power;
    }
    return 10 * power;
}

std::string TickLabel(double value, int digits) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, value == 0 ? 0.0 : value);
    return text;
}

}  // namespace quarnel::plot
