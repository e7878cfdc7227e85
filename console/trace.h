#pragma once
// The per-line trace on the console. Each function is one print; on a
// terminal it is visible at once. The echo of a record line is written by
// convert_data_record itself.
#include <cstdint>

#include "convert/record.h"
#include "convert/text_output.h"
#include "scan/line_scan.h"

namespace lorvex {

// "\nLINE # %d\n", before each read.
void trace_line_header(text_output& console, std::int32_t line_number);

// "[%d] %c " and the id column "%14.14s", after each scan. A blank line's
// kind 0 is written as a zero byte.
void trace_scan(text_output& console, const scanned_line& s);

// " %dKHz  #%d %d\n" with the header fields a data record is converted
// from.
void trace_header_fields(text_output& console, const record_fields& r);

}  // namespace lorvex
