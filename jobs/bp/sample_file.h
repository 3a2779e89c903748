#pragma once
// The BP sample file: the header line "BP Training Sample File !!!" (trailing white space
// allowed, nothing before it), then one sample per line: inputCount reals followed by
// outputCount integer class bits, taken with the blank-separated token rule.
//
// ReadSampleFile fills a sample set already allocated for its counts. Missing lines and
// missing tokens leave zeros; lines after the last expected sample are not read. Nothing is
// read past a first line that is not the header.
#include "jobs/bp/bp_records.h"

namespace quarnel {

// line_too_long: a line longer than any sample line can be (CStdioFile::kMaxLineLength).
enum class SampleFileStatus { ok, cannot_open, not_sample_file, line_too_long };

SampleFileStatus ReadSampleFile(const char* path, BPSampleSet& samples);

}  // namespace quarnel
