#pragma once
// A cairo drawing bound for one PNG or SVG file, and the drawing steps the pictures share.
// Open creates the surface (for SVG also the output file, which cairo writes as it draws); Save
// puts the file in place whole (formats/grid/output_file.h) or reports why not.
#include <cairo.h>

#include <string>

#include "formats/grid/output_file.h"
#include "plot/plot.h"

namespace quarnel::plot {

class Canvas {
  public:
    Canvas() = default;
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // False with the cause set when the extension is neither .png nor .svg, the file cannot be
    // created or cairo cannot make the surface.
    bool Open(const std::string& path, int width, int height, std::string& cause);
    cairo_t* context() const { return context_; }
    bool Save(std::string& cause);

  private:
    std::string path_;
    bool svg_ = false;
    OutputFile file_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* context_ = nullptr;
};

enum class Align { Start, Middle, End };

// Text in DejaVu Sans with its anchor at (x, y): horizontally at the start, middle or end of the
// text, vertically at its top, middle or baseline (Start, Middle, End).
void DrawText(cairo_t* cr, double x, double y, const std::string& text, double size, Align horizontal,
              Align vertical, bool bold = false);
void SetColour(cairo_t* cr, Rgb colour);

// A step of 1, 2 or 5 times a power of ten that cuts span into about `wanted` parts.
double NiceStep(double span, int wanted);
// A number as a label: up to `digits` significant digits, no trailing zeros, no "-0".
std::string TickLabel(double value, int digits = 10);

}  // namespace quarnel::plot
