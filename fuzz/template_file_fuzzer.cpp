// libFuzzer harness for TemplateFile::load: every input is written to a
// template file and loaded. Beyond not crashing, the outcome must match the
// template rules written the plain way, and a second load must agree.

#include "fuzz/ScratchFolder.h"
#include "template/TemplateFile.h"
#include "tests/template/ReferenceReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
const char kFileName[] = "fuzz.tpl";

// Plain rules give up past this many lines; below it the reader's growth
// allowance of this build cannot be reached.
constexpr std::size_t kReferenceLines = 1000;

void check(bool condition) {
  if (!condition) __builtin_trap();
}

struct Outcome {
  bool loaded = false;
  std::string message;
  std::map<std::string, std::vector<std::string>> sections;
};

Outcome loadOnce(TemplateFile& reader) {
  Outcome outcome;
  try {
    reader.load();
    outcome.loaded = true;
  } catch (const TemplateError& error) {
    outcome.message = error.message();
  }
  for (const auto& name : reader.getSectionNames()) {
    check(reader.hasSection(name));
    outcome.sections[name] = reader.getSection(name);
  }
  return outcome;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  makeScratchFolder("tplfuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::FILE* file = std::fopen((scratchFolder() + "/" + kFileName).c_str(), "wb");
    if (!file) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

  TemplateFile reader(scratchFolder(), kFileName);
  const Outcome first = loadOnce(reader);
  const Outcome again = loadOnce(reader);
  check(first.loaded == again.loaded && first.message == again.message);
  if (first.loaded)
    check(first.sections == again.sections);
  else
    check(first.message.compare(0, 15, "Template Error\n") == 0);

  const reference::Result expected = reference::load(bytes, kFileName, kReferenceLines);
  switch (expected.outcome) {
    case reference::Result::Loaded:
      check(first.loaded && first.sections == expected.sections);
      break;
    case reference::Result::Failed:
      check(!first.loaded && first.message == expected.message);
      break;
    case reference::Result::TooBig: break;
  }
  return 0;
}
