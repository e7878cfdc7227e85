// Fuzzes the conversion of one input file: the block reader and its text
// mode, the line grammar, the record arithmetic, both writers and the read
// loop's stop rules.
//
// The first byte holds the run's switches, the other bytes are the input
// file. Input, output and console are memory files. The output after its
// header and the console trace are rebuilt from a plain model of the input
// and compared byte for byte; any difference aborts with a description.
//
// The model: the input is cut at the first 0x1A and every CR LF becomes LF,
// in one pass. It is then split into reads of up to and including a LF, at
// most 1199 characters. A read's text ends at its first zero byte; its
// kind is its first character that is not white space. '#' is copied,
// '*' becomes a record line, anything else (also a blank read) counts
// towards the 31 in a row that end the run.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/build_stamp.h"
#include "app/options.h"
#include "app/run.h"
#include "convert/number_text.h"
#include "convert/text_output.h"
#include "scan/line_reader.h"

namespace {

// The switch byte: bit 0 quiet, bit 1 trailer, bits 2 to 4 the layout,
// bit 5 a console that writes every piece at once (as on a terminal), bits
// 6 and 7 how far before a buffer boundary the data starts.
constexpr unsigned quiet_bit = 1u << 0;
constexpr unsigned trailer_bit = 1u << 1;
constexpr unsigned layout_shift = 2;
constexpr unsigned immediate_console_bit = 1u << 5;
constexpr unsigned back_shift = 6;
// Layouts: the data alone, or after comment lines so that the data starts
// just before the end of the first input block, or so that its output
// starts just before the end of the output buffer. Padded runs are slow:
// they are kept to a quarter of the inputs.
constexpr unsigned pad_input_layout = 6;
constexpr unsigned pad_output_layout = 7;

constexpr std::size_t read_max = 1199;
constexpr int stop_after_non_records = 31;

// ---------------------------------------------------------------------------
// Reporting

std::string visible(std::string_view bytes) {
  std::string s;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r') {
      s += "\\r";
    } else if (c == '\n') {
      s += "\\n";
    } else if (c == '\\') {
      s += "\\\\";
    } else if (u < 0x20 || u >= 0x7f) {
      char hex[8];
      (void)std::snprintf(hex, sizeof hex, "\\x%02x", u);
      s += hex;
    } else {
      s += c;
    }
  }
  return s;
}

[[noreturn]] void fail(const char* what) {
  (void)std::fprintf(stderr, "fuzz_convert: %s\n", what);
  (void)std::fflush(stderr);
  std::abort();
}

// Aborts, showing where got first differs from want.
[[noreturn]] void fail_mismatch(const char* what, std::string_view got, std::string_view want) {
  std::size_t at = 0;
  while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
  const std::size_t from = at > 80 ? at - 80 : 0;
  (void)std::fprintf(stderr, "fuzz_convert: %s differs at byte %zu (got %zu bytes, want %zu)\n", what, at,
                     got.size(), want.size());
  (void)std::fprintf(stderr, "  got : ...%s...\n", visible(got.substr(from, at - from + 80)).c_str());
  (void)std::fprintf(stderr, "  want: ...%s...\n", visible(want.substr(from, at - from + 80)).c_str());
  fail("mismatch");
}

// ---------------------------------------------------------------------------
// The model

bool is_white(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool is_decimal(char c) { return c >= '0' && c <= '9'; }

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::size_t skip_white(std::string_view t, std::size_t i) {
  while (i < t.size() && is_white(t[i])) ++i;
  return i;
}

// A hexadecimal number at t[i]: white space, a sign, a 0x prefix, at least
// one digit. Keeps the low 32 bits; "-" negates them. On success moves i
// past the digits.
bool read_hex(std::string_view t, std::size_t& i, std::int32_t& value) {
  std::size_t j = skip_white(t, i);
  bool minus = false;
  if (j < t.size() && (t[j] == '+' || t[j] == '-')) {
    minus = t[j] == '-';
    ++j;
  }
  if (j + 1 < t.size() && t[j] == '0' && (t[j + 1] == 'x' || t[j + 1] == 'X')) j += 2;
  if (j == t.size() || hex_value(t[j]) < 0) return false;
  std::uint32_t v = 0;
  for (; j < t.size() && hex_value(t[j]) >= 0; ++j) v = v * 16u + static_cast<std::uint32_t>(hex_value(t[j]));
  if (minus) v = 0u - v;
  value = static_cast<std::int32_t>(v);
  i = j;
  return true;
}

// What one read's text holds. Fields it does not reach stay empty or 0.
struct model_line {
  char kind = 0;
  int fields = -1;  // -1 for a blank text, else kind, id and header fields found
  std::string id;
  std::int32_t clock_khz = 0;
  std::int32_t count = 0;
  std::int32_t ticks = 0;
  std::vector<std::int32_t> values;
};

// kind, 1 to 12 id digits, three header fields each after one separator
// character, a fourth separator, then the value list.
model_line scan_model(std::string_view t) {
  model_line m;
  std::size_t i = skip_white(t, 0);
  if (i == t.size()) return m;
  m.kind = t[i++];
  m.fields = 1;

  i = skip_white(t, i);
  std::size_t n = 0;
  while (n < 12 && i + n < t.size() && is_decimal(t[i + n])) ++n;
  if (n == 0) return m;
  m.id = std::string(t.substr(i, n));
  i += n;
  m.fields = 2;

  for (std::int32_t* field : {&m.clock_khz, &m.count, &m.ticks}) {
    i = skip_white(t, i);
    if (i == t.size()) return m;
    ++i;  // the separator
    if (!read_hex(t, i, *field)) return m;
    ++m.fields;
  }

  i = skip_white(t, i);
  if (i == t.size()) return m;
  ++i;  // the fourth separator
  std::int32_t v = 0;
  while (read_hex(t, i, v)) m.values.push_back(v);
  return m;
}

// The input as the reader sees it, into t: cut at the first 0x1A, and
// every CR LF as LF in one pass.
void text_mode(std::string_view raw, std::string& t) {
  const std::size_t eof = raw.find('\x1a');
  if (eof != std::string_view::npos) raw = raw.substr(0, eof);
  t.clear();
  for (std::size_t from = 0;;) {
    const std::size_t crlf = raw.find("\r\n", from);
    if (crlf == std::string_view::npos) {
      t.append(raw.substr(from));
      return;
    }
    t.append(raw.substr(from, crlf - from));
    from = crlf + 1;  // on to the LF
  }
}

// Appends text with every LF as CR LF.
void append_crlf(std::string& s, std::string_view text) {
  for (std::size_t from = 0;;) {
    const std::size_t lf = text.find('\n', from);
    if (lf == std::string_view::npos) {
      s.append(text.substr(from));
      return;
    }
    s.append(text.substr(from, lf - from)).append("\r\n");
    from = lf + 1;
  }
}

std::string number(double v) {
  char buf[lorvex::number_text_max];
  const char* const end = lorvex::format_number_exact(v, buf);
  return {buf, static_cast<std::size_t>(end - buf)};
}

struct expected_run {
  std::string body;     // the output after its header
  std::string console;  // the trace
  int records = 0;
};

// Fills x from the raw input. The buffers are kept from run to run: a
// padded input makes them large.
void model_run(std::string_view raw, bool trailer, expected_run& x) {
  static std::string text;
  text_mode(raw, text);
  x.body.clear();
  x.console.clear();
  x.records = 0;
  std::size_t pos = 0;
  bool ended = false;
  int non_records = 0;
  int reads = 0;
  std::string id_column;  // the last id any read assigned
  bool has_previous = false;
  std::string previous_id;
  std::uint32_t sequence = 0;

  while (!ended && non_records < stop_after_non_records) {
    x.console += "\r\nLINE # " + std::to_string(++reads) + "\r\n";
    if (pos == text.size()) break;
    std::size_t len = 0;
    bool at_lf = false;
    while (len < read_max && pos + len < text.size()) {
      if (text[pos + len++] == '\n') {
        at_lf = true;
        break;
      }
    }
    std::string_view piece = std::string_view(text).substr(pos, len);
    pos += len;
    if (!at_lf && len < read_max) ended = true;  // ran out of input
    piece = piece.substr(0, piece.find('\0'));

    const model_line m = scan_model(piece);
    if (m.fields >= 2) id_column = m.id;
    x.console += '[' + std::to_string(m.fields) + "] ";
    x.console += m.kind;
    x.console += ' ';
    x.console += std::string(14 - id_column.size(), ' ') + id_column;

    if (m.kind == '#') {
      non_records = 0;
      append_crlf(x.body, piece);
    } else if (m.kind == '*') {
      non_records = 0;
      ++x.records;
      sequence = has_previous && previous_id == m.id ? sequence + 1u : 0u;
      has_previous = true;
      previous_id = m.id;

      const double clock = m.clock_khz;
      const double period = m.ticks / clock;
      const double rate = m.count / period;
      std::string line = '*' + m.id + '.' + std::to_string(static_cast<std::int32_t>(sequence)) + ", " +
                         number(rate) + ", " + number(period);
      for (const std::int32_t v : m.values) line += ", " + number(v * 16.0 / clock);

      x.console += ' ' + std::to_string(m.clock_khz) + "KHz  #" + std::to_string(m.count) + ' ' +
                   std::to_string(m.ticks) + "\r\n" + line + "\r\n";
      x.body += line + (trailer ? ", 9999" : "") + "\r\n\r\n";
    } else {
      ++non_records;
    }
  }
}

// ---------------------------------------------------------------------------
// Padding

// Comment lines of 1000 input bytes each, n input bytes in all.
std::string input_padding(std::size_t n) {
  std::string s;
  s.reserve(n);
  while (n - s.size() >= 1000) s += '#' + std::string(998, 'p') + '\n';
  const std::size_t r = n - s.size();
  if (r == 1) s += '\n';
  if (r >= 2) s += '#' + std::string(r - 2, 'p') + '\n';
  return s;
}

// Comment lines that give n output bytes in all (each LF becomes CR LF),
// n >= 1001.
std::string output_padding(std::size_t n) {
  std::string s;
  std::size_t out = 0;
  while (n - out >= 1001) {
    s += '#' + std::string(998, 'p') + '\n';
    out += 1001;
  }
  std::size_t r = n - out;
  if (r == 0) return s;
  if (r < 3) {  // too short for a comment line: lengthen the last one instead
    s.resize(s.size() - 1000);
    r += 1001;
  }
  return s + '#' + std::string(r - 3, 'p') + '\n';
}

std::size_t header_size() {
  // "# lorvex built : DATE TIME\r\n# run on " then a 24-character stamp
  // and two line ends.
  return 17 + std::strlen(lorvex::build_date) + 1 + std::strlen(lorvex::build_time) + 2 + 9 + 24 + 4;
}

// ---------------------------------------------------------------------------
// Memory files

int memory_file(const char* name) {
  const int fd = ::memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) fail("memfd_create failed");
  return fd;
}

// Makes the file hold bytes, read from the start. Shrinks it rather than
// emptying it: freeing and refaulting its pages costs more than the run.
void fill_file(int fd, std::string_view bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t w = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) fail("cannot fill a memory file");
    done += static_cast<std::size_t>(w);
  }
  if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
    fail("cannot rewind a memory file");
}

// Rewinds a file for writing; what a run writes is then what lies before
// the file position (older bytes after it are ignored).
void rewind_file(int fd) {
  if (::lseek(fd, 0, SEEK_SET) != 0) fail("cannot rewind a memory file");
}

// Into s, the bytes written since rewind_file.
void written_bytes(int fd, std::string& s) {
  const off_t end = ::lseek(fd, 0, SEEK_CUR);
  if (end < 0) fail("cannot tell a memory file's position");
  s.resize(static_cast<std::size_t>(end));
  std::size_t got = 0;
  while (got < s.size()) {
    const ssize_t r = ::pread(fd, s.data() + got, s.size() - got, static_cast<off_t>(got));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) fail("cannot read a memory file");
    got += static_cast<std::size_t>(r);
  }
}

struct memory_files {
  int in = memory_file("fuzz-in");
  int out = memory_file("fuzz-out");
  int console = memory_file("fuzz-console");
};

// ---------------------------------------------------------------------------
// Checks

void check_crlf(std::string_view s, const char* what) {
  for (std::size_t i = s.find('\n'); i != std::string_view::npos; i = s.find('\n', i + 1)) {
    if (i == 0 || s[i - 1] != '\r') {
      (void)std::fprintf(stderr, "fuzz_convert: LF without CR at byte %zu of the %s\n", i, what);
      fail("bare LF");
    }
  }
}

// Checks the build line and the run line; returns the size of the header.
std::size_t check_header(std::string_view out) {
  const std::string build =
      std::string("# lorvex built : ") + lorvex::build_date + " " + lorvex::build_time + "\r\n";
  const std::string_view run_on = "# run on ";
  if (out.substr(0, build.size()) != build) fail_mismatch("build line", out.substr(0, build.size()), build);
  if (out.substr(build.size(), run_on.size()) != run_on)
    fail_mismatch("run line", out.substr(build.size(), run_on.size()), run_on);
  const std::size_t stamp = build.size() + run_on.size();
  const std::size_t stamp_end = out.find("\r\n", stamp);
  if (stamp_end == std::string_view::npos) fail("run line without a line end");
  const std::string_view text = out.substr(stamp, stamp_end - stamp);
  if (text == "(null)") return stamp_end + 2;
  // "Mon Mar 07 09:05:02 2011", then the stamp's own line end and the
  // header's empty line.
  if (text.size() != 24 || text[3] != ' ' || text[7] != ' ' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':' || text[19] != ' ')
    fail_mismatch("run line stamp", text, "Www Mmm dd hh:mm:ss yyyy");
  if (out.substr(stamp_end, 4) != "\r\n\r\n")
    fail_mismatch("end of the header", out.substr(stamp_end, 4), "\r\n\r\n");
  return stamp_end + 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const memory_files files;
  static lorvex::input_file in;
  static lorvex::text_output out;
  static lorvex::text_output console;

  const unsigned switches = data[0];
  const unsigned layout = (switches >> layout_shift) & 7u;
  const std::size_t back = (switches >> back_shift) & 3u;
  static std::string input;
  input.clear();
  if (layout == pad_input_layout) {
    static const std::string pads[4] = {
        input_padding(lorvex::input_block_size - 0), input_padding(lorvex::input_block_size - 1),
        input_padding(lorvex::input_block_size - 2), input_padding(lorvex::input_block_size - 3)};
    input = pads[back];
  } else if (layout == pad_output_layout) {
    // A record line's head needs up to 671 bytes of room.
    static const std::string pads[4] = {output_padding(lorvex::output_block_size - header_size() - 0),
                                        output_padding(lorvex::output_block_size - header_size() - 200),
                                        output_padding(lorvex::output_block_size - header_size() - 400),
                                        output_padding(lorvex::output_block_size - header_size() - 600)};
    input = pads[back];
  }
  input.append(reinterpret_cast<const char*>(data + 1), size - 1);

  lorvex::run_options opt;
  opt.quiet = (switches & quiet_bit) != 0 ? 1 : 0;
  opt.add_trailer = (switches & trailer_bit) != 0 ? 1 : 0;
  opt.debug_level = 0;  // would open the terminal

  fill_file(files.in, input);
  rewind_file(files.out);
  rewind_file(files.console);
  lorvex::attach_input(in, files.in);
  lorvex::attach_output(out, files.out, false);
  lorvex::attach_output(console, files.console, (switches & immediate_console_bit) != 0);
  lorvex::convert_file(in, out, opt, console);
  if (!lorvex::flush_output(out)) fail("the output failed");
  if (!lorvex::flush_output(console)) fail("the console failed");
  if (in.failed) fail("the input failed");

  static std::string got;
  static std::string trace;
  static expected_run want;
  written_bytes(files.out, got);
  written_bytes(files.console, trace);
  model_run(input, opt.add_trailer != 0, want);

  check_crlf(got, "output");
  const std::size_t header = check_header(got);
  const std::string_view body = std::string_view(got).substr(header);
  if (body != want.body) {
    (void)std::fprintf(stderr, "fuzz_convert: the model holds %d record lines\n", want.records);
    fail_mismatch("output after the header", body, want.body);
  }

  if (opt.quiet != 0) {
    if (!trace.empty()) fail_mismatch("quiet console", trace, "");
  } else {
    check_crlf(trace, "console");
    if (trace != want.console) fail_mismatch("console", trace, want.console);
  }
  return 0;
}
