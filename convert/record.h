#pragma once
// The output file: its two header lines, copied comments and one record
// line of three-decimal numbers per data record.
#include <cstdint>
#include <ctime>

#include "convert/text_output.h"
#include "scan/line_scan.h"

namespace lorvex {

struct sequence_state {
  bool has_previous = false;
  char previous_id[13] = {};
  std::int32_t sequence_number = 0;
};

// What a data record line is converted from: only what its own scan
// assigned. An id it did not assign is empty, a header field is 0, and
// without the fourth separator the value list is empty (values_offset -1).
struct record_fields {
  const char* id_digits;
  std::int32_t clock_khz;
  std::int32_t count;
  std::int32_t ticks;
  std::int32_t values_offset;
};

record_fields record_fields_of(const scanned_line& s);

// The run line's time stamp for t in local time, "Mon Mar 07 09:05:02 2011"
// and a LF (25 characters), or "(null)" when no local time can be formed.
// Writes a zero byte after it; out needs room for time_stamp_size bytes.
inline constexpr int time_stamp_size = 64;
void format_time_stamp(std::time_t t, char* out);

// The build line and the run line, stamped with the current local time.
void write_output_header(text_output& out);

// Writes the line text (up to its first zero byte) unchanged.
void copy_comment_line(text_output& out, const char* line);

// Numbers the record, converts it and writes its record line. When echo is
// given, the record line's text without trailer goes there too, ending in
// one LF.
void convert_data_record(text_output& out, const scanned_line& s, const char* line, sequence_state& seq,
                         bool add_trailer, text_output* echo);

}  // namespace lorvex
