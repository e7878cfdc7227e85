#include "convert/record.h"

#include <cstdio>
#include <cstring>

#include "app/build_stamp.h"
#include "convert/number_text.h"

namespace lorvex {
namespace {

// Echoes one piece of the record line on the console.
void echo_piece(text_output& echo, const char* begin, const char* end) {
  put_raw(echo, begin, static_cast<std::size_t>(end - begin));
  end_piece(echo);
}

}  // namespace

record_fields record_fields_of(const scanned_line& s) {
  const std::int32_t f = s.fields_converted;
  return {f >= 2 ? s.id_digits : "", f >= 3 ? s.clock_khz : 0, f >= 4 ? s.count : 0, f >= 5 ? s.ticks : 0,
          f >= 5 && s.has_value_list ? s.values_offset : -1};
}

void format_time_stamp(std::time_t t, char* out) {
  static const char days[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm;
  if (localtime_r(&t, &tm) == nullptr || tm.tm_wday < 0 || tm.tm_wday > 6 || tm.tm_mon < 0 ||
      tm.tm_mon > 11) {
    std::strcpy(out, "(null)");
    return;
  }
  std::snprintf(out, time_stamp_size, "%s %s %02d %02d:%02d:%02d %04lld\n", days[tm.tm_wday],
                months[tm.tm_mon], tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<long long>(tm.tm_year) + 1900);
}

void write_output_header(text_output& out) {
  put_text(out, "# lorvex built : ");
  put_text(out, build_date);
  put_text(out, " ");
  put_text(out, build_time);
  put_text(out, "\n# run on ");
  char stamp[time_stamp_size];
  format_time_stamp(std::time(nullptr), stamp);
  put_text(out, stamp);
  put_text(out, "\n");
}

void copy_comment_line(text_output& out, const char* line) { put_text(out, line); }

void convert_data_record(text_output& out, const scanned_line& s, const char* line, sequence_state& seq,
                         bool add_trailer, text_output* echo) {
  const record_fields r = record_fields_of(s);

  if (seq.has_previous && std::strncmp(seq.previous_id, r.id_digits, 12) == 0)
    seq.sequence_number = static_cast<std::int32_t>(static_cast<std::uint32_t>(seq.sequence_number) + 1u);
  else
    seq.sequence_number = 0;
  seq.has_previous = true;
  std::strncpy(seq.previous_id, r.id_digits, 12);
  seq.previous_id[12] = '\0';

  const double clock = r.clock_khz;
  const double period = r.ticks / clock;
  const double rate = r.count / period;

  // Each piece is formatted straight into the output buffer; the console
  // echo, when tracing, copies it from there.
  constexpr std::size_t head_max = 1 + 12 + 1 + 11 + 2 * (2 + number_text_max);
  char* const head = reserve(out, head_max);
  char* p = head;
  *p++ = '*';
  const std::size_t id_len = std::strlen(r.id_digits);
  std::memcpy(p, r.id_digits, id_len);
  p += id_len;
  *p++ = '.';
  p = format_int(seq.sequence_number, p);
  *p++ = ',';
  *p++ = ' ';
  p = format_number(rate, p);
  *p++ = ',';
  *p++ = ' ';
  p = format_number(period, p);
  out.len = static_cast<std::size_t>(p - out.buf);
  if (echo != nullptr) echo_piece(*echo, head, p);

  // The list is scanned first, then divided (a loop the compiler turns into
  // vector divisions, each correctly rounded like a scalar one), then
  // written: the conversions of successive values depend on nothing but
  // their own value, and the processor can work on several at once.
  std::int32_t values[max_list_values];
  const int count =
      r.values_offset >= 0 ? scan_value_list(line, r.values_offset, values, max_list_values) : 0;
  double scaled[max_list_values];
  for (int i = 0; i < count; ++i) scaled[i] = values[i] * 16.0 / clock;
  // A list value is at most 2^35 in magnitude: its piece takes at most 18
  // bytes, and the number text stores no further than that.
  constexpr std::size_t list_value_room = 24;
  static_assert(max_list_values * list_value_room <= output_block_size);
  p = reserve(out, static_cast<std::size_t>(count) * list_value_room);
  for (int i = 0; i < count; ++i) {
    char* const piece = p;
    *p++ = ',';
    *p++ = ' ';
    p = format_number(scaled[i], p);
    if (echo != nullptr) echo_piece(*echo, piece, p);
  }
  out.len = static_cast<std::size_t>(p - out.buf);
  if (echo != nullptr) {
    put_text(*echo, "\n");
    end_piece(*echo);
  }
  if (add_trailer) put_raw(out, ", 9999", 6);
  put_text(out, "\n\n");
}

}  // namespace lorvex
