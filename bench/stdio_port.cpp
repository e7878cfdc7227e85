// The straightforward stdio conversion: fgets into a 1200-byte line buffer,
// sscanf for the header and for each value, fprintf "%.3f" for each number.
// The benchmark runs it as the speed reference for lorvex; its text is
// close to lorvex's but not exact (C rounding, no 1.#IO, no trace).
//
//     stdio_port INPUT OUTPUT
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr int skipped_lines_limit = 31;

void put_line_end(std::FILE* out) { std::fputs("\r\n", out); }

// The line without its line end.
void strip_line_end(char* line) {
  std::size_t n = std::strlen(line);
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: stdio_port INPUT OUTPUT\n", stderr);
    return 255;
  }
  std::FILE* in = std::fopen(argv[1], "r");
  if (in == nullptr) {
    std::printf("Can not read %s\n", argv[1]);
    return 255;
  }
  std::FILE* out = std::fopen(argv[2], "w");
  if (out == nullptr) {
    std::printf("Can not write %s\n", argv[2]);
    std::fclose(in);
    return 254;
  }

  const std::time_t now = std::time(nullptr);
  char stamp[64];
  std::strftime(stamp, sizeof stamp, "%a %b %d %H:%M:%S %Y", std::localtime(&now));
  std::fprintf(out, "# stdio port built : %s %s", __DATE__, __TIME__);
  put_line_end(out);
  std::fprintf(out, "# run on %s", stamp);
  put_line_end(out);
  put_line_end(out);

  char line[1200];
  char first[2] = "";
  char id[13] = "";
  char last_id[13] = "";
  unsigned clock = 0;
  unsigned count = 0;
  unsigned ticks = 0;
  int sequence = 0;
  int skipped = 0;

  while (std::fgets(line, sizeof line, in) != nullptr) {
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '#') {
      strip_line_end(line);
      std::fputs(line, out);
      put_line_end(out);
      skipped = 0;
      continue;
    }
    if (*p != '*') {
      if (++skipped >= skipped_lines_limit) break;
      continue;
    }
    skipped = 0;

    int list_at = -1;
    const int fields = std::sscanf(line, "%1s %12[0-9] %*c %x %*c %x %*c %x %*c %n", first, id, &clock,
                                   &count, &ticks, &list_at);
    if (fields < 2) id[0] = '\0';
    if (fields < 3) clock = 0;
    if (fields < 4) count = 0;
    if (fields < 5) ticks = 0;

    if (std::strcmp(id, last_id) == 0) {
      ++sequence;
    } else {
      sequence = 0;
      std::strcpy(last_id, id);
    }

    const double clock_khz = static_cast<double>(static_cast<int>(clock));
    const double period = static_cast<double>(static_cast<int>(ticks)) / clock_khz;
    const double rate = static_cast<double>(static_cast<int>(count)) / period;
    std::fprintf(out, "*%s.%d, %.3f, %.3f", id, sequence, rate, period);

    if (list_at >= 0) {
      const char* v = line + list_at;
      unsigned value = 0;
      int used = -1;
      while (std::sscanf(v, "%x %n", &value, &used) == 1) {
        std::fprintf(out, ", %.3f", static_cast<double>(static_cast<int>(value)) * 16.0 / clock_khz);
        if (used < 0) break;
        v += used;
        used = -1;
      }
    }
    // Every record line is followed by an empty line.
    put_line_end(out);
    put_line_end(out);
  }

  const bool read_failed = std::ferror(in) != 0;
  std::fclose(in);
  if (std::fclose(out) != 0) {
    std::printf("Can not write %s\n", argv[2]);
    return 254;
  }
  if (read_failed) {
    std::printf("Can not read %s\n", argv[1]);
    return 255;
  }
  return 0;
}
