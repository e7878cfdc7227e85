#include "console/trace.h"

#include <cstring>

#include "convert/number_text.h"

namespace lorvex {

void trace_line_header(text_output& console, std::int32_t line_number) {
  char text[32] = "\nLINE # ";
  char* p = format_int(line_number, text + 8);
  *p++ = '\n';
  put_text(console, {text, static_cast<std::size_t>(p - text)});
  end_piece(console);
}

void trace_scan(text_output& console, const scanned_line& s) {
  char text[32] = "[";
  char* p = format_int(s.fields_converted, text + 1);
  *p++ = ']';
  *p++ = ' ';
  *p++ = s.kind;
  *p++ = ' ';
  put_raw(console, text, static_cast<std::size_t>(p - text));
  end_piece(console);

  // The id holds at most 12 digits, so the column is never cut.
  char column[14];
  const std::size_t len = std::strlen(s.id_digits);
  std::memset(column, ' ', sizeof column - len);
  std::memcpy(column + sizeof column - len, s.id_digits, len);
  put_raw(console, column, sizeof column);
  end_piece(console);
}

void trace_header_fields(text_output& console, const record_fields& r) {
  char text[64] = " ";
  char* p = format_int(r.clock_khz, text + 1);
  std::memcpy(p, "KHz  #", 6);
  p = format_int(r.count, p + 6);
  *p++ = ' ';
  p = format_int(r.ticks, p);
  *p++ = '\n';
  put_text(console, {text, static_cast<std::size_t>(p - text)});
  end_piece(console);
}

}  // namespace lorvex
