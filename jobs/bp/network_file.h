#pragma once
// The BP network file, written by training and read by classification:
//   line 1            "%10d  %10d  %10d  %20.8f\n": inputCount, hiddenCount, outputCount, trainError
//   line 2            hiddenCount hidden thresholds
//   line 3            outputCount output thresholds
//   next inputCount   lines, row i of weightInputHidden (hiddenCount values)
//   next hiddenCount  lines, row j of weightHiddenOutput (outputCount values)
// Every threshold and weight is written "%12.5f", one line feed after the last of a line. A
// value whose text fills its field gets one blank before it, so values never run together and
// every network reads back as written. Values are read with the blank-separated token rule
// (atoi for the counts, atof for the rest); missing lines and tokens read as 0.
//
// Reading comes in two halves, so that classification can check its inputs against the counts
// before it reads (and sizes) the rest of the network.
#include "formats/afx/stdio_file.h"
#include "jobs/bp/bp_records.h"

namespace quarnel {

class TextSink;

// Writes path whole (an OutputFile); false when it cannot be created or a write fails.
bool WriteNetworkFile(const char* path, const BPNetwork& network);
// The same text into an open sink.
void PutNetwork(TextSink& sink, const BPNetwork& network);

enum class NetworkFileStatus {
    ok,
    cannot_open,
    bad_counts,     // a count below 1 on the first line, or more values than the file has bytes
    line_too_long,  // a line longer than any network line can be (CStdioFile::kMaxLineLength)
};

// What a status means, for a cause naming the file: "cannot be opened", ...; empty for ok.
const char* NetworkFileStatusText(NetworkFileStatus status);

// First line: the three counts and the training error, nothing allocated.
NetworkFileStatus ReadNetworkCounts(CStdioFile& file, BPNetwork& network);
// The thresholds and weights of a network already allocated for its counts.
NetworkFileStatus ReadNetworkValues(CStdioFile& file, BPNetwork& network);
// Both halves; throws std::bad_alloc or std::length_error when the network does not fit memory.
NetworkFileStatus ReadNetworkFile(const char* path, BPNetwork& network);

}  // namespace quarnel
