#include "options/RunRequest.h"

#include "generator/cli/Protocol.h"
#include "platform/CommandLine.h"

wxString g_strValuesFile;

std::string ComposeCommandLine(const RunRequest& request) {
  std::string line = kMarkerToken;
  if (request.fixedHeight) line += " /h" + std::to_string(request.height);
  if (request.fixedWidth) line += " /w" + std::to_string(request.width);
  if (request.scale) line += " /scale";
  if (request.skipCreation) line += " /n";
  if (request.includeSubdirectories) line += " /s";
  if (request.noThumbsOfThumbs) line += " /t";
  if (request.onlyMissingThumbs) line += " /r";
  if (request.cpuFriendly) line += " /c";
  line += request.overwrite ? " /o" : " /g";
  line += " " + QuoteArgumentAlways("/p" + request.prefix);
  if (request.createPage) {
    line += " " + QuoteArgument("/i" + request.templateFile);
    if (request.hasValuesFile) line += " " + QuoteArgument("/x" + request.valuesFile);
  }
  line += " " + QuoteArgumentAlways(request.inputDirectory);
  line += " " + QuoteArgumentAlways(request.outputDirectory);
  return line;
}

wxString RemoveTrailingSeparator(const wxString& path) {
  if (path.length() > 1 && path.Last() == '/') return path.Left(path.length() - 1);
  return path;
}
