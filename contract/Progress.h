#pragma once

#include <cstddef>
#include <string>

// The generator's progress lines on standard output, which the form's console
// reads back: the count before the first picture, one line per picture, one
// line per page written, and the summary at the end. The generator prints
// them (escaped, see ConsoleText); the form reads them as they come.

// "N pictures found" ("1 picture found").
std::string FoundLine(std::size_t total);

// "[k/N] " and the rest of a picture's line: its name and what became of it.
std::string PictureLine(std::size_t k, std::size_t total, const std::string& rest);

// " -> Thumbname.jpg WxH": the thumbnail a picture's line names.
std::string ThumbnailPart(const std::string& name, int width, int height);

// "DIR/index-2.html with M pictures" ("1 picture").
std::string PageLine(const std::string& page, std::size_t pictures);

// The counts of the summary, each named by its word there.
struct RunCounts {
  std::size_t made = 0, kept = 0, remade = 0, skipped = 0, failed = 0;
};

// "M made, K kept, R remade, S skipped, F failed in T s".
std::string SummaryLine(const RunCounts& counts, double seconds);

// One line of the output as the form reads it. A reader takes the counts by
// their names, not their places, and takes any other line for none of these.
struct ProgressLine {
  enum Kind { Other, Found, Picture, Page, Summary };
  Kind kind = Other;
  long done = 0;    // Picture: k
  long total = 0;   // Found, Picture: N
  long failed = 0;  // Summary: the failed count
};

ProgressLine ReadProgressLine(const std::string& line);
