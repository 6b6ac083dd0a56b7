// What a gallery offers beyond its pages, through the real generator: the
// albums' ZIPs ([gallery] zip=yes) and the link previews ([gallery] siteurl).
#include "GeneratorTestSupport.h"

#include <gtest/gtest.h>

#include <zip.h>

#include <map>
#include <regex>
#include <string>
#include <sys/stat.h>

namespace {

// Every entry of the ZIP at `path`, name to bytes; each must be stored as
// it is.
std::map<std::string, std::string> zipEntries(const std::string& path) {
  std::map<std::string, std::string> entries;
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  EXPECT_NE(zip, nullptr) << path << " error " << error;
  if (!zip) return entries;
  for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st);
    EXPECT_EQ(st.comp_method, ZIP_CM_STORE) << st.name;
    std::string data(st.size, '\0');
    zip_file_t* f = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
    EXPECT_EQ(zip_fread(f, data.data(), st.size), static_cast<zip_int64_t>(st.size));
    zip_fclose(f);
    entries[st.name] = data;
  }
  zip_discard(zip);
  return entries;
}

// The viewer's downloads of the gallery in `dir`, from its data script:
// the file name the browser saves each under, to its bytes.
std::map<std::string, std::string> downloads(const std::string& dir) {
  std::map<std::string, std::string> files;
  const std::string data = readFile(dir + "/vignetor-viewer-data.js");
  std::regex picture("\"picture\":\"([^\"]*)\"");
  for (std::sregex_iterator it(data.begin(), data.end(), picture), end; it != end; ++it) {
    // Percent-encoded, as every link of the gallery.
    std::string link;
    const std::string encoded = (*it)[1];
    for (std::size_t i = 0; i < encoded.size(); ++i) {
      if (encoded[i] == '%' && i + 2 < encoded.size()) {
        link += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        link += encoded[i];
      }
    }
    files[link.substr(link.rfind('/') + 1)] = readFile(dir + "/" + link);
  }
  return files;
}

struct timespec modified(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mtim;
}

class AlbumDownload : public GeneratorFolders {
 protected:
  void tpl(const std::string& name, const std::string& text) {
    writeFile(program + "/" + name, text);
  }
};

TEST_F(AlbumDownload, EachAlbumsZipHoldsItsDownloadsAndIsMadeAgainOnlyWhenOneChanged) {
  // The gallery in the pictures' own folder: the downloads are the
  // pictures themselves, whatever their format.
  picture("a/x.jpg", 60, 40);
  picture("a/y.png", 50, 40);
  picture("b/IMG_1.heic", 40, 60);
  // A file of the user's where b's ZIP goes is kept aside.
  writeFile(in + "/b.zip", "mine");
  tpl("Zip.tpl",
      "[gallery]\nalbums=yes\nzip=yes\nwebsize=30\n"
      "[head]\n<script src=\"{{galleryscript}}\"></script>\n[album]\n{{albumname}} {{albumzip}}\n"
      "[section]\n<a href=\"{{albumzip}}\">{{albumzipbytes}}</a>\n[picture]\n{{name}}\n");
  RunResult r = run({"/h20", "/s", "/pT", "/iZip.tpl", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::map<std::string, std::string> all = downloads(in);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all.at("IMG_1.heic"), readFile(in + "/b/IMG_1.heic"));
  const auto a = zipEntries(in + "/a.zip"), b = zipEntries(in + "/b.zip");
  EXPECT_EQ(a, (std::map<std::string, std::string>{{"x.jpg", all.at("x.jpg")},
                                                   {"y.png", all.at("y.png")}}));
  EXPECT_EQ(b, (std::map<std::string, std::string>{{"IMG_1.heic", all.at("IMG_1.heic")}}));
  EXPECT_NE(r.out.find("kept b.zip as b.before-"), std::string::npos) << r.out;
  // Linked from the album's page and its card, with its size.
  const std::string index = readFile(in + "/index.html");
  EXPECT_NE(index.find("a a.zip"), std::string::npos) << index;
  EXPECT_NE(readFile(in + "/index-2.html")
                .find("<a href=\"a.zip\">" + std::to_string(readFile(in + "/a.zip").size())),
            std::string::npos);

  // Nothing changed: not made again, to the byte and the time.
  const std::string before = readFile(in + "/a.zip");
  const struct timespec time = modified(in + "/a.zip");
  r = run({"/h20", "/s", "/pT", "/iZip.tpl", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(in + "/a.zip"), before);
  EXPECT_EQ(modified(in + "/a.zip").tv_sec, time.tv_sec);
  EXPECT_EQ(modified(in + "/a.zip").tv_nsec, time.tv_nsec);

  // A picture changed: its album's ZIP holds it as it is now.
  picture("a/y.png", 70, 40);
  r = run({"/h20", "/s", "/pT", "/iZip.tpl", in, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(zipEntries(in + "/a.zip").at("y.png"), readFile(in + "/a/y.png"));
}

TEST_F(AlbumDownload, TheGallerysZipHoldsTheLargestFileOfPicturesOutsideTheFolder) {
  // The pictures outside the output folder: the downloads are their
  // web-sized pictures, under the picture's name with the file's extension.
  picture("x.jpg", 60, 40);
  picture("sub/scan.tif", 60, 40);
  tpl("Zip.tpl",
      "[gallery]\nzip=yes\nwebsize=30\n[head]\n<script src=\"{{galleryscript}}\"></script> "
      "{{albumzip}}\n[picture]\n{{name}}\n");
  RunResult r = run({"/h20", "/s", "/pT", "/iZip.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(readFile(out + "/index.html").find(" in.zip"), std::string::npos);
  const std::map<std::string, std::string> all = downloads(out);
  EXPECT_EQ(zipEntries(out + "/in.zip"), (std::map<std::string, std::string>{
                                             {"x.jpg", all.at("Tx@web.jpg")},
                                             {"sub/scan.tif.jpg", all.at("Tscan.tif@web.jpg")}}));
  // Without zip=yes no ZIP and no link.
  tpl("Zip.tpl", "[head]\nzip:{{albumzip}}.\n[picture]\n{{name}}\n");
  r = run({"/h20", "/s", "/pT", "/iZip.tpl", in, root / "plain"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(root / "plain/index.html").substr(0, 6), "zip:.\n");
  EXPECT_FALSE(exists(root / "plain/in.zip"));
}

TEST_F(AlbumDownload, LinkPreviewsCarryAbsoluteAddressesOnlyWithASiteAddress) {
  picture("a/x.jpg", 1600, 1000);
  picture("b/y.jpg", 60, 40);
  tpl("Preview.tpl",
      "[askvalues]\nsite;T;Address;https://example.org/trip\n"
      "[gallery]\nalbums=yes\nsiteurl={{site}}\n[head]\n<head>{{previewtags}}</head>\n"
      "[album]\n{{albumname}}\n[section]\n{{albumname}}\n[picture]\n{{name}}\n");
  RunResult r = run({"/h20", "/s", "/pT", "/iPreview.tpl", in, out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string index = readFile(out + "/index.html");
  const std::string album = readFile(out + "/index-2.html");
  for (const char* tag :
       {"<meta property=\"og:url\" content=\"https://example.org/trip/\">",
        "<meta property=\"og:title\" content=\"in\">",
        "<meta property=\"og:image\" content=\"https://example.org/trip/a/Tx%40web.jpg\">",
        "<meta property=\"og:image:width\" content=\"1600\">",
        "<meta name=\"twitter:card\" content=\"summary_large_image\">"})
    EXPECT_NE(index.find(tag), std::string::npos) << tag << "\n" << index;
  EXPECT_NE(
      album.find("<meta property=\"og:url\" content=\"https://example.org/trip/index-2.html\">"),
      std::string::npos)
      << album;
  // Every address in them absolute.
  std::regex content("content=\"([^\"]*)\"");
  for (const std::string& page : {index, album}) {
    for (std::sregex_iterator it(page.begin(), page.end(), content), end; it != end; ++it) {
      const std::string value = (*it)[1];
      if (value.find('/') != std::string::npos) {
        EXPECT_EQ(value.compare(0, 20, "https://example.org/"), 0) << value;
      }
    }
  }

  // Without the address, none; a bad one is refused.
  writeFile(root / "values.TMP", "site=\n");
  r = run({"/h20", "/s", "/pT", "/iPreview.tpl", "/x" + root / "values.TMP", in, root / "none"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(root / "none/index.html").substr(0, 14), "<head></head>\n");
  writeFile(root / "values.TMP", "site=javascript:alert(1)\n");
  r = run({"/h20", "/s", "/pT", "/iPreview.tpl", "/x" + root / "values.TMP", in, root / "bad"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_NE(r.err.find("siteurl must be"), std::string::npos) << r.err;
}

}  // namespace
