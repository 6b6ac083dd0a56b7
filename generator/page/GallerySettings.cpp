#include "generator/page/GallerySettings.h"

#include <algorithm>

namespace {

std::string trimmed(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool number(const std::string& text, int max, int& value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = std::stoi(text);
  return value <= max;
}

// An asset is copied into the output folder under its own name: a plain
// file name, no path, nothing hidden.
bool safeAssetName(const std::string& name) {
  if (name.empty() || name[0] == '.' || name.size() > 255) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f || c == '/' || c == '\\') return false;
  }
  return true;
}

// An absolute http or https address with a host, nothing in it a page
// could not carry as it is (no blank, no control character, no quote or
// angle bracket); ends with '/' where it did not. Empty when it is not one.
std::string siteAddress(const std::string& text) {
  const std::string low = lower(text);
  std::size_t host = 0;
  if (low.compare(0, 7, "http://") == 0) host = 7;
  if (low.compare(0, 8, "https://") == 0) host = 8;
  if (host == 0 || text.size() <= host || text[host] == '/' || text.size() > 2000) return {};
  for (unsigned char c : text) {
    if (c <= 0x20 || c == 0x7f || c == '"' || c == '\\' || c == '<' || c == '>' || c == '`')
      return {};
  }
  return text.back() == '/' ? text : text + "/";
}

}  // namespace

GallerySettings readGallerySettings(const std::vector<std::string>& lines,
                                    const PageFields& values) {
  GallerySettings settings;
  for (const auto& raw : lines) {
    // Values may come from the user through [askvalues].
    std::string line;
    scanPlaceholders(
        raw, [&line](const std::string& t) { line += t; },
        [&](const std::string& name) {
          auto value = values.find(name);
          if (value != values.end()) line += value->second;
        });
    if (trimmed(line).empty()) continue;
    std::size_t eq = line.find('=');
    if (eq == std::string::npos)
      throw PageError("[gallery]: \"" + trimmed(line) + "\" is no key=value line");
    const std::string key = lower(trimmed(line.substr(0, eq)));
    const std::string text = trimmed(line.substr(eq + 1));
    const std::string word = lower(text);
    auto bad = [&](const std::string& what) {
      return PageError("[gallery] " + key + " must be " + what + ", not \"" + text + "\"");
    };
    if (key == "websize") {
      if (!number(text, 10000, settings.webSize))
        throw bad("a number of pixels from 0 (none) to 10000");
    } else if (key == "rowheight" || key == "cellsize") {
      if (!number(text, 2000, key == "rowheight" ? settings.rowHeight : settings.cellSize))
        throw bad("a number of CSS pixels from 0 (none) to 2000");
    } else if (key == "thumb2x" || key == "thumb3x" || key == "albums" || key == "zip" ||
               key == "video" || key == "map") {
      bool& wanted = key == "thumb2x"   ? settings.thumb2x
                     : key == "thumb3x" ? settings.thumb3x
                     : key == "zip"     ? settings.zip
                     : key == "video"   ? settings.video
                     : key == "map"     ? settings.map
                                        : settings.albums;
      if (word == "yes" || word == "true" || word == "on" || word == "1")
        wanted = true;
      else if (word == "no" || word == "false" || word == "off" || word == "0")
        wanted = false;
      else
        throw bad("yes or no");
    } else if (key == "order") {
      if (word != "name" && word != "date") throw bad("name or date");
      settings.byDate = word == "date";
    } else if (key == "perpage") {
      if (!number(text, 1000000, settings.perPage))
        throw bad("a number of pictures (0: all on one page)");
    } else if (key == "subfolders") {
      if (word != "sections" && word != "pages") throw bad("sections or pages");
      settings.subfolderPages = word == "pages";
    } else if (key == "viewerpages") {
      if (word != "all" && word != "one") throw bad("all or one");
      settings.viewerAllPages = word == "all";
    } else if (key == "siteurl") {
      settings.siteUrl = siteAddress(text);
      if (!text.empty() && settings.siteUrl.empty())
        throw bad(
            "empty or an absolute http:// or https:// address with a host, without "
            "blanks, control characters, quotes or angle brackets");
    } else if (key == "download") {
      if (word != "stripped" && word != "original") throw bad("stripped or original");
      settings.downloadOriginal = word == "original";
    } else if (key == "maptiles") {
      settings.mapTiles = text;
    } else if (key == "mapattribution") {
      settings.mapAttribution = text;
    } else if (key == "cover") {
      settings.cover = text;
    } else if (key == "assets") {
      settings.assets.clear();
      std::size_t pos = 0;
      while ((pos = text.find_first_not_of(" \t", pos)) != std::string::npos) {
        std::size_t end = text.find_first_of(" \t", pos);
        std::string name = text.substr(pos, end == std::string::npos ? end : end - pos);
        if (!safeAssetName(name))
          throw PageError("[gallery] assets: \"" + name +
                          "\" is no plain file name beside the template");
        if (std::find(settings.assets.begin(), settings.assets.end(), name) ==
            settings.assets.end())
          settings.assets.push_back(name);
        pos = end;
      }
    } else {
      throw PageError("[gallery]: unknown key \"" + key + "\"");
    }
  }
  // The map's own files (vignetor-map.js loads them beside the pages).
  if (settings.map) {
    for (const char* name : {"vignetor-map.js", "vignetor-map.css", "leaflet.js", "leaflet.css",
                             "leaflet-LICENSE.txt", "leaflet.markercluster.js", "MarkerCluster.css",
                             "MarkerCluster.Default.css", "leaflet.markercluster-LICENSE.txt"})
      if (std::find(settings.assets.begin(), settings.assets.end(), name) == settings.assets.end())
        settings.assets.push_back(name);
  }
  if (settings.map && settings.mapTiles.empty())
    throw PageError("[gallery] map=yes needs maptiles, the address of the map's tiles");
  if (settings.rowHeight > 0 && settings.cellSize > 0)
    throw PageError(
        "[gallery] rowheight and cellsize cannot both be set: the pictures are drawn "
        "in rows of one height or in square cells, not both");
  return settings;
}
