#pragma once
// The input grids of BP classification: probing their shapes, then loading them into the
// cell-by-input matrix ([cellCount][inputCount], row-major).
//
// Kinds: "0" KVSGDB01 binary grid, "1" DSAA text grid (read line by line), "2" HXF multi-grid
// file; any other code names no input. Every grid of every input fills the next column, in
// input order (an HXF file with several grids fills that many consecutive columns), so the
// columns match the grid count checked against the network. Rows are taken in DSAA order
// (a binary grid's stored rows reversed); cell s = row * cols + col.
//
// Each step returns a status of OnBPClass: kBPClassDone, kBPClassMisfit (an input cannot be
// opened or is not of its kind, cell counts differ, a DSAA body holds another number of values
// than cells) or kBPClassFailed (a binary or HXF grid cannot be read), and on failure sets cause
// to the input and what is wrong with it.
#include <string>
#include <vector>

#include "formats/afx/string_array.h"
#include "jobs/bp/cell_input_matrix.h"
#include "quarnel/bp.h"

namespace quarnel {

enum class InputKind { kvb, dsaa, hxf, none };

struct ClassInput {
    CString path;
    InputKind kind = InputKind::none;
    int grids = 0;
};

struct ClassLayout {
    std::vector<ClassInput> inputs;
    int gridCount = 0;
    int cellCount = 0;
    int nx = 0;  // the shape of the last input that gives one
    int ny = 0;
};

InputKind InputKindFromCode(const CString& code);

// Pairs files[j] with kinds[j] and probes each. Cell counts must agree: the first nonzero
// count fixes cellCount, any later count that differs is a misfit.
int ProbeClassInputs(const CStringArray& files, const CStringArray& kinds, ClassLayout& layout,
                     std::string& cause);

// Before the matrix is sized by cellCount: a binary grid too short for its cells cannot be read
// (kBPClassFailed), and a DSAA file too short to hold cellCount values at two bytes each cannot
// hold its body (kBPClassMisfit); the first such input decides. So a few bytes cannot make the
// job reserve gigabytes.
int CheckInputsHoldCells(const ClassLayout& layout, std::string& cause);

// Fills matrix (cellCount × inputCount, zeroed) and sets range to the [zMin, zMax] of the last
// binary grid loaded, if any.
int LoadClassInputs(const ClassLayout& layout, int inputCount, const CellInputMatrix& matrix,
                    InputRange& range, std::string& cause);

}  // namespace quarnel
