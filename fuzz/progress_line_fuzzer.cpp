// The progress lines as the form reads them back. Any line: no crash, and
// what it is taken for holds of it. Lines the generator prints, with the
// counts, names and times taken from the input: each read back as what it is.
#include "contract/Progress.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

// Takes numbers and texts off the front of the input.
struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::uint64_t number(std::uint64_t below) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8 && size > 0; ++i, ++data, --size) v = v << 8 | *data;
    return below ? v % below : v;
  }
  std::string text() {
    const std::size_t n = static_cast<std::size_t>(number(0) % 64);
    const std::size_t take = n < size ? n : size;
    std::string s(reinterpret_cast<const char*>(data), take);
    data += take;
    size -= take;
    return s;
  }
};

// Counts the generator can print: below 10^12.
constexpr std::uint64_t kCounts = 1000000000000ull;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const ProgressLine any = ReadProgressLine(line);
  switch (any.kind) {
    case ProgressLine::Picture:
      check(line[0] == '[' && any.done >= 1 && any.done <= any.total);
      break;
    case ProgressLine::Found:
      check(any.total >= 0 && line.find(" found") != std::string::npos);
      break;
    case ProgressLine::Summary: check(any.failed >= 0); break;
    case ProgressLine::Page: check(line.find(".html with ") != std::string::npos); break;
    case ProgressLine::Other: check(any.done == 0 && any.total == 0 && any.failed == 0); break;
  }

  Input in{data, size};
  const std::uint64_t total = in.number(kCounts);
  const std::uint64_t k = total == 0 ? 0 : 1 + in.number(total);
  const std::string rest = in.text();
  if (k >= 1) {
    const ProgressLine read = ReadProgressLine(PictureLine(k, total, rest));
    check(read.kind == ProgressLine::Picture && read.done == static_cast<long>(k) &&
          read.total == static_cast<long>(total));
  }
  const ProgressLine found = ReadProgressLine(FoundLine(total));
  check(found.kind == ProgressLine::Found && found.total == static_cast<long>(total));

  RunCounts counts;
  counts.made = in.number(kCounts);
  counts.kept = in.number(kCounts);
  counts.remade = in.number(kCounts);
  counts.skipped = in.number(kCounts);
  counts.failed = in.number(kCounts);
  double seconds = 0;
  const std::uint64_t bits = in.number(0);
  std::memcpy(&seconds, &bits, sizeof seconds);
  const ProgressLine summary = ReadProgressLine(SummaryLine(counts, seconds));
  check(summary.kind == ProgressLine::Summary &&
        summary.failed == static_cast<long>(counts.failed));

  // A page in any folder; one whose folder reads as a picture's line is
  // taken for that, as the picture lines come first.
  const std::string page = in.text() + "/index.html";
  const ProgressLine pageRead = ReadProgressLine(PageLine(page, in.number(kCounts)));
  check(pageRead.kind == ProgressLine::Page ||
        (pageRead.kind == ProgressLine::Picture && page[0] == '['));
  return 0;
}
