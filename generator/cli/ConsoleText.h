// Text for the console: whatever a file name holds, a printed line stays one
// line and sends the terminal nothing but printable characters.
#ifndef WV_GENERATOR_CONSOLETEXT_H
#define WV_GENERATOR_CONSOLETEXT_H

#include <cstdio>
#include <string>

// `text` with every control character shown as an escape: C0 controls and
// DEL as `\xNN` (so a line break is `\x0a`), the C1 controls, the line and
// paragraph separators and the bidirectional overrides as `\uNNNN`, and
// every byte that is not part of valid UTF-8 as `\xNN`. Everything else,
// backslashes included, is kept. The result is valid UTF-8.
std::string escapeControls(const std::string& text);

// `text` of several lines, each escaped, the line feeds between them kept.
std::string escapeLines(const std::string& text);

// Writes `text`, escaped, and a line feed to `stream`, and flushes it.
void printLine(std::FILE* stream, const std::string& text);

#endif
