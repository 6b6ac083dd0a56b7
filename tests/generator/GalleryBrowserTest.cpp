// Opens the generated pages in headless chromium: every thumbnail must load,
// every link must name an existing file, and no file name may run script.
#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string findChromium() {
  for (const char* p :
       {"/usr/bin/chromium", "/usr/bin/chromium-browser", "/usr/bin/google-chrome"}) {
    if (access(p, X_OK) == 0) return p;
  }
  return {};
}

// Appended to a copy of the page whose images all load eagerly, so that
// they have loaded or failed by the load event: lists what the browser made
// of every image and link.
const char kProbe[] = R"(
<script>
window.addEventListener('load', () => {
  const images = [...document.images];
  const lines = [];
  for (const img of images)
    lines.push((img.complete && img.naturalWidth > 0 ? 'IMG-OK ' : 'IMG-BROKEN ') + img.currentSrc);
  for (const a of document.querySelectorAll('a[href]')) lines.push('LINK ' + a.href);
  // Inline scripts: only this probe. Scripts from files: the viewer's, which
  // must lie in the output folder like every other file.
  lines.push('SCRIPTS ' + [...document.scripts].filter((s) => !s.src).length);
  for (const s of document.scripts) if (s.src) lines.push('LINK ' + s.src);
  lines.push('HANDLERS ' + document.querySelectorAll('[onerror],[onload],[onclick],[onmouseover]').length);
  lines.push('PWNED ' + (typeof window.pwned));
  lines.push('DONE');
  const pre = document.createElement('pre');
  pre.id = 'probe';
  pre.textContent = lines.join('\n');
  document.body.appendChild(pre);
});
</script>
)";

std::string percentDecode(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string unescapeHtml(std::string s) {
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [from, to] : entities) {
    for (std::size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += std::strlen(to))
      s.replace(p, std::strlen(from), to);
  }
  return s;
}

class GalleryInBrowser : public ::testing::TestWithParam<const char*> {};

TEST_P(GalleryInBrowser, EveryThumbnailLoadsAndEveryLinkHolds) {
  const std::string chromium = findChromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed";

  TempDir root;
  const std::string in = root / "in", out = root / "out";
  fs::create_directories(in + "/sub dir");
  makePicture(in + "/<b>&\"'#?% x.jpg", 120, 80);
  makePicture(in + "/<img src=x onerror=pwned=1>.png", 80, 80);
  makePicture(in + "/<svg onload=pwned=2>.gif", 60, 90);
  makePicture(in + "/caf\xc3\xa9 \xe2\x82\xac.webp", 100, 50);
  makePicture(in + "/scan.TIF", 90, 60);
  makePicture(in + "/sub dir/a#b?c.jpg", 50, 100);
  makePicture(in + "/\xe9t\xe9 latin1.png", 40, 40);  // not UTF-8
  const std::size_t pictures = 7;
  writeFile(root / "values.TMP",
            "title=<script>pwned=3</script>\ncolumns=3\nintro=<img src=x onerror=pwned=4>\n");

  RunResult r = runGenerator({"/h100", "/s", "/t", "/g", "/pThumb", std::string("/i") + GetParam(),
                              "/x" + (root / "values.TMP"), in, out});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

  // Every page: with an album index, the albums' pages hold the pictures.
  std::set<std::string> images, links;
  for (int n = 1; exists(out + (n == 1 ? "/index.html" : "/index-" + std::to_string(n) + ".html"));
       ++n) {
    const std::string name = n == 1 ? "index.html" : "index-" + std::to_string(n) + ".html";
    std::string eager = readFile(out + "/" + name);
    for (std::size_t p = 0; (p = eager.find("loading=\"lazy\"", p)) != std::string::npos;)
      eager.replace(p, 14, "loading=\"eager\"");
    writeFile(out + "/probe.html", eager + kProbe);
    // Its own home too: chromium keeps some state there whatever the profile.
    fs::create_directories(root / "home");
    RunResult b = runProgram(
        "/usr/bin/env",
        {"env", "HOME=" + (root / "home"), "timeout", "120", chromium, "--headless", "--no-sandbox",
         "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--user-data-dir=" + (root / "profile"),
         "--window-size=1200,900", "--virtual-time-budget=10000", "--dump-dom",
         "file://" + out + "/probe.html"});
    ASSERT_EQ(b.exitCode, 0) << b.err;
    std::size_t start = b.out.find("<pre id=\"probe\">");
    ASSERT_NE(start, std::string::npos) << b.out;
    std::istringstream probe(
        unescapeHtml(b.out.substr(start + 16, b.out.find("</pre>", start) - start - 16)));

    bool done = false;
    for (std::string line; std::getline(probe, line);) {
      if (line.rfind("IMG-OK file://", 0) == 0) {
        images.insert(line.substr(14));
        EXPECT_TRUE(exists(percentDecode(line.substr(14)))) << line;
      } else if (line.rfind("LINK file://", 0) == 0) {
        // A page may be linked at a place on it.
        const std::string target = percentDecode(line.substr(12, line.find('#') - 12));
        const std::string file = target.substr(target.rfind('/') + 1);
        // An empty link (the album's ZIP where it has none, hidden) leads
        // to the page itself.
        if (file.rfind("photoswipe", 0) != 0 && file.rfind("vignetor-viewer", 0) != 0 &&
            file.rfind("index", 0) != 0 && file != "probe.html")
          links.insert(target);
        EXPECT_TRUE(exists(target)) << name << ": " << line;
      } else if (line == "SCRIPTS 1" || line == "HANDLERS 0" || line == "PWNED undefined") {
      } else if (line == "DONE") {
        done = true;
      } else {
        ADD_FAILURE() << name << ": " << line;
      }
    }
    EXPECT_TRUE(done) << name;
  }
  EXPECT_EQ(images.size(), pictures);
  EXPECT_EQ(links.size(), pictures);
}

INSTANTIATE_TEST_SUITE_P(ShippedTemplates, GalleryInBrowser,
                         ::testing::Values("Albums.tpl", "Filmstrip2.tpl", "Grid.tpl",
                                           "Justified.tpl", "Table.tpl"),
                         [](const auto& info) {
                           std::string n = info.param;
                           return n.substr(0, n.find('.'));
                         });

}  // namespace
