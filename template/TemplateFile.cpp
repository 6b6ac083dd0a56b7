#include "template/TemplateFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

namespace {
const char kKeyword[] = "$PROCESS$";
constexpr std::size_t kKeywordLength = sizeof kKeyword - 1;

// What fgets takes with a buffer of 1024 bytes.
constexpr std::size_t kMaxLine = 1023;

// Expansion may copy at most this much, or as much as the file itself holds
// when that is more: far above any real template, yet a small file whose
// sections each bring in the one before twice cannot eat all memory. The
// fuzzer builds with less, so that such files do not slow it down.
#ifndef TEMPLATE_GROWTH_ALLOWANCE
#define TEMPLATE_GROWTH_ALLOWANCE (std::size_t(128) << 20)
#endif
constexpr std::size_t kGrowthAllowance = TEMPLATE_GROWTH_ALLOWANCE;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isBracket(char c) { return c == '[' || c == ']'; }

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Plain loops: the set-based finds of string_view call memchr for every
// character, which shows on large templates.
template <typename Drop>
std::string_view trim(std::string_view text, Drop drop) {
  while (!text.empty() && drop(text.front())) text.remove_prefix(1);
  while (!text.empty() && drop(text.back())) text.remove_suffix(1);
  return text;
}

bool isDirective(const std::string& line) {
  return !line.empty() && line[0] == '$' && line.compare(0, kKeywordLength, kKeyword) == 0;
}

// Roughly what a stored line takes in memory.
std::size_t costOf(const std::string& line) { return line.size() + sizeof(std::string); }

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Cuts the file into the pieces that fgets would give: up to and including
// the next LF, at most kMaxLine bytes. Reads in large blocks, so that a big
// template costs little more than one scan of its bytes. NUL bytes are kept.
class LineReader {
 public:
  explicit LineReader(std::FILE* file) : m_file(file), m_buffer(std::size_t(1) << 16) {}

  // After the last piece.
  bool atEnd() const { return m_bEnd && m_nBegin == m_nEnd; }

  // False at the end of the file or on a read error.
  bool next(std::string_view& piece) {
    for (;;) {
      const char* start = m_buffer.data() + m_nBegin;
      const std::size_t available = m_nEnd - m_nBegin;
      const std::size_t window = std::min(available, kMaxLine);
      if (const void* lf = std::memchr(start, '\n', window))
        return take(piece, static_cast<const char*>(lf) - start + 1);
      if (available >= kMaxLine) return take(piece, kMaxLine);
      if (m_bEnd) return available > 0 && take(piece, available);
      fill();
    }
  }

 private:
  bool take(std::string_view& piece, std::size_t length) {
    piece = std::string_view(m_buffer.data() + m_nBegin, length);
    m_nBegin += length;
    return true;
  }

  void fill() {
    std::memmove(m_buffer.data(), m_buffer.data() + m_nBegin, m_nEnd - m_nBegin);
    m_nEnd -= m_nBegin;
    m_nBegin = 0;
    const std::size_t wanted = m_buffer.size() - m_nEnd;
    const std::size_t got = std::fread(m_buffer.data() + m_nEnd, 1, wanted, m_file);
    m_nEnd += got;
    // A short read is the end of the file or a read error; both end reading.
    m_bEnd = got < wanted;
  }

  std::FILE* m_file;
  std::vector<char> m_buffer;
  std::size_t m_nBegin = 0;
  std::size_t m_nEnd = 0;
  bool m_bEnd = false;
};
}  // namespace

TemplateFile::TemplateFile(const std::string& directory, const std::string& fileName)
    : directory(directory), fileName(fileName) {}

TemplateFile::~TemplateFile() = default;

void TemplateFile::load() {
  sections.clear();
  continued.clear();
  brokenLongLine = 0;

  const std::string path = directory + '/' + fileName;
  // Only a regular file can be a template: a directory is none, and opening
  // a pipe would wait for a writer.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) throw TemplateError("File not found", path);
  // Bytes on every system; the parser drops the CR of a CR LF itself.
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw TemplateError("File not found", path);

  parse(file.get());
  file.reset();
  processDirectives();
}

bool TemplateFile::hasSection(const std::string& name) const noexcept {
  return sections.find(name) != sections.end();
}

const TemplateFile::Lines& TemplateFile::getSection(const std::string& name) const noexcept {
  static const Lines none;
  const auto found = sections.find(name);
  return found != sections.end() ? found->second : none;
}

TemplateFile::Lines TemplateFile::getJoinedSection(const std::string& name) const {
  const Lines& lines = getSection(name);
  const auto found = continued.find(name);
  if (found == continued.end() || found->second.size() != lines.size()) return lines;
  const std::vector<bool>& goesOn = found->second;
  Lines joined;
  joined.reserve(lines.size());
  bool append = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (append)
      joined.back() += lines[i];
    else
      joined.push_back(lines[i]);
    append = goesOn[i];
  }
  return joined;
}

std::vector<std::string> TemplateFile::getSectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections.size());
  for (const auto& section : sections) names.push_back(section.first);
  return names;
}

void TemplateFile::parse(std::FILE* file) {
  std::string name;
  Lines lines;
  std::vector<bool> goesOn;
  // A header without content lines defines nothing; one with content
  // replaces whatever lines the name held.
  const auto store = [&] {
    if (lines.empty()) return;
    goesOn.back() = false;
    sections[name] = std::move(lines);
    continued[name] = std::move(goesOn);
    lines.clear();
    goesOn.clear();
  };

  LineReader reader(file);
  std::string_view piece;
  // Of the physical line the piece belongs to: its number, whether an
  // earlier piece of it was a content line, whether one was something else.
  std::size_t lineNumber = 1;
  bool contentBefore = false, otherBefore = false, midLine = false;
  while (reader.next(piece)) {
    const bool ends = piece.back() == '\n';
    const std::string_view test = trim(piece, isBlank);
    bool content = false, other = false;
    if (test.empty()) {
      // A blank piece ends the line without adding to it.
    } else if (test.front() == ';') {
      other = true;
    } else if (test.front() == '[') {
      store();
      name = trim(test, isBracket);
      other = true;
    } else {
      if (name.empty())
        throw TemplateError("Found instructions outside section", std::string(test), fileName);
      std::string_view text = piece;
      while (!text.empty() && isLineEnd(text.back())) text.remove_suffix(1);
      lines.emplace_back(text);
      goesOn.push_back(!ends);
      content = true;
      other = (midLine || !ends) && isDirective(lines.back());
    }
    contentBefore = contentBefore || content;
    otherBefore = otherBefore || other;
    // A piece that is no content line of a line that has some.
    if ((midLine || !ends) && contentBefore && otherBefore && brokenLongLine == 0)
      brokenLongLine = lineNumber;
    if (ends || reader.atEnd()) {
      // The last content piece of the line ends it.
      if (!goesOn.empty()) goesOn.back() = false;
      ++lineNumber;
      contentBefore = otherBefore = midLine = false;
    } else {
      midLine = true;
    }
  }
  store();
}

// One pass over the sections in name order, each from its first line to its
// last. Lines that a directive brings in are taken as they stand and are not
// examined again, so every stored line is looked at once and the pass ends
// for every file, even where sections bring themselves in. A target that
// sorts before the section holding the directive has been expanded already,
// so a file whose directives all name such sections is expanded completely.
// A target that sorts after it comes in as written, its directives as text;
// a section that names itself brings in what it holds at that moment: its
// lines expanded so far, the directive itself and the rest as written.
//
// Each section is rebuilt into a new sequence instead of inserting into the
// middle of the old one, so the work is linear in the lines produced. A first
// walk checks every target and the growth before the section changes.
void TemplateFile::processDirectives() {
  struct Entry {
    const std::string* name;
    Lines* lines;
    std::vector<bool>* goesOn;
    std::size_t cost;
  };
  std::vector<Entry> entries;
  entries.reserve(sections.size());
  std::size_t readCost = 0;
  for (auto& section : sections) {
    std::size_t cost = 0;
    for (const auto& line : section.second) cost += costOf(line);
    std::vector<bool>& goesOn = continued[section.first];
    goesOn.resize(section.second.size(), false);
    entries.push_back({&section.first, &section.second, &goesOn, cost});
    readCost += cost;
  }
  const auto find = [&](std::string_view name) -> const Entry* {
    const auto found = std::lower_bound(
        entries.begin(), entries.end(), name,
        [](const Entry& entry, std::string_view key) { return *entry.name < key; });
    return found != entries.end() && *found->name == name ? &*found : nullptr;
  };
  const std::size_t limit = std::max(kGrowthAllowance, readCost);
  std::size_t copied = 0;

  std::vector<const Entry*> targets;
  for (Entry& entry : entries) {
    Lines& source = *entry.lines;
    targets.clear();
    std::size_t outCost = 0;
    std::size_t outCount = 0;
    std::size_t restCost = entry.cost;
    for (std::size_t i = 0; i < source.size(); ++i) {
      const std::string& line = source[i];
      const std::size_t cost = costOf(line);
      restCost -= cost;
      if (!isDirective(line)) {
        outCost += cost;
        ++outCount;
        continue;
      }
      const std::string_view name = trim(std::string_view(line).substr(kKeywordLength), isBlank);
      const Entry* target = find(name);
      if (!target)
        throw TemplateError("$PROCESS$ directive - Section not found", std::string(name));
      const bool self = target == &entry;
      const std::size_t copyCost = self ? outCost + cost + restCost : target->cost;
      if (copyCost > limit - copied)
        throw TemplateError("$PROCESS$ directive - Expanded template too large", *entry.name);
      copied += copyCost;
      outCost += copyCost;
      outCount += self ? outCount + (source.size() - i) : target->lines->size();
      targets.push_back(target);
    }
    if (targets.empty()) continue;

    Lines out;
    out.reserve(outCount);
    std::vector<bool>& sourceGoesOn = *entry.goesOn;
    std::vector<bool> outGoesOn;
    outGoesOn.reserve(outCount);
    auto next = targets.begin();
    for (std::size_t i = 0; i < source.size(); ++i) {
      if (!isDirective(source[i])) {
        out.push_back(std::move(source[i]));
        outGoesOn.push_back(sourceGoesOn[i]);
        continue;
      }
      const Entry* target = *next++;
      if (target != &entry) {
        out.insert(out.end(), target->lines->begin(), target->lines->end());
        outGoesOn.insert(outGoesOn.end(), target->goesOn->begin(), target->goesOn->end());
        continue;
      }
      // Capacity is reserved, so copying the front onto the back is safe.
      const std::size_t done = out.size();
      for (std::size_t j = 0; j < done; ++j) {
        out.push_back(out[j]);
        outGoesOn.push_back(outGoesOn[j]);
      }
      out.insert(out.end(), source.begin() + i, source.end());
      outGoesOn.insert(outGoesOn.end(), sourceGoesOn.begin() + i, sourceGoesOn.end());
    }
    source.swap(out);
    sourceGoesOn.swap(outGoesOn);
    entry.cost = outCost;
  }
}
