#pragma once
// The three DSAA layouts the jobs write. Each writes the whole grid: "DSAA", nx and ny, the
// x, y and z ranges of its layout, then one line per row, first row first, lines ending as the
// platform's text files do (kTextFileLineEnds). False when the file cannot be created or any
// write fails.
namespace quarnel {

class TextSink;

// Normalisation: ranges "%d " 0 "%d\n" nx-1, "%d " 0 "%d\n" ny-1, "%6.2f  " 0 "%6.2f\n" 1;
// each value "%6.2f  ".
bool WriteNormalisedDsaa(const char* path, const double* const* values, int rows, int cols);

// Window statistics: ranges "%f " 0.0 "%f\n" nx-1, "%f " 0.0 "%f\n" ny-1, "%f " 0.0 "%f\n"
// 1.0; each value "%6.2f  ". Written into an open sink and finished, not closed, so that the
// job puts its two grids in place together; false when a write failed.
bool WriteStatisticsDsaa(TextSink& sink, const double* const* values, int rows, int cols);

// BP classification: classes holds ny x nx class values, row after row. Ranges "%d " 1
// "%d\n" nx, "%d " 1 "%d\n" ny, then the smallest and largest class ("%d " and "%d\n", found
// starting from 9999 and 0); each value "%d ".
bool WriteClassDsaa(const char* path, const int* classes, int nx, int ny);

}  // namespace quarnel
