#include "common/NaturalOrder.h"
#include "generator/record/PictureName.h"
#include "generator/record/RecordCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(PictureName, KnowsPicturesByExtensionInAnyCase) {
  for (const char* n : {"a.jpg", "a.JPG", "a.Jpeg", "a.jpe", "b.png", "c.GIF", "d.webp", "e.tif",
                        "f.TIFF", "x.y.png", "IMG_1.HEIC", "g.heif", "h.avif"})
    EXPECT_TRUE(isPictureName(n)) << n;
  for (const char* n : {"a.txt", "jpg", ".jpg", "a.jpg.bak", "a.", "index.html", "a.svg"})
    EXPECT_FALSE(isPictureName(n)) << n;
}

TEST(PictureName, ThumbnailKeepsTheNameAndAFormatBrowsersShow) {
  EXPECT_EQ(thumbnailName("Thumb", "a.JPG"), "Thumba.JPG");
  EXPECT_EQ(thumbnailName("", "a.png"), "a.png");
  EXPECT_EQ(thumbnailName("T_", "scan.TIF"), "T_scan.TIF.jpg");
  EXPECT_EQ(thumbnailName("T_", "IMG_1.HEIC"), "T_IMG_1.HEIC.jpg");
  EXPECT_EQ(thumbnailName("T_", "a.heif"), "T_a.heif.jpg");
  EXPECT_EQ(thumbnailName("T_", "a.Avif"), "T_a.Avif.jpg");
  EXPECT_EQ(thumbnailSuffix("Thumba.JPG"), ".jpg");
  EXPECT_EQ(thumbnailSuffix("Thumba.JPEG"), ".jpg");
  EXPECT_EQ(thumbnailSuffix("x.PNG"), ".png");
  EXPECT_EQ(thumbnailSuffix("x.gif"), ".gif");
  EXPECT_EQ(thumbnailSuffix("x.WebP"), ".webp");
  EXPECT_EQ(thumbnailSuffix("x.tif.jpg"), ".jpg");
}

TEST(PictureName, NumbersGoBeforeTheExtension) {
  EXPECT_EQ(numberedName("ThumbName.jpg", 1), "ThumbName_1.jpg");
  EXPECT_EQ(numberedName("a.tif.jpg", 12), "a.tif_12.jpg");
  EXPECT_EQ(numberedName("noext", 2), "noext_2");
}

TEST(PictureName, VariantsTagBeforeTheExtension) {
  EXPECT_EQ(variantName("ThumbA.jpg", "@2x"), "ThumbA@2x.jpg");
  EXPECT_EQ(variantName("sub.d/T_scan.TIF.jpg", "@web"), "sub.d/T_scan.TIF@web.jpg");
  EXPECT_EQ(variantName("sub.d/noext", "@2x"), "sub.d/noext@2x");
  EXPECT_EQ(variantName(".hidden", "@2x"), ".hidden@2x");
  // The web-sized picture: JPEG beside JPEG, WebP beside what may be transparent.
  EXPECT_EQ(webPictureName("sub.d/T_scan.TIF.jpg"), "sub.d/T_scan.TIF@web.jpg");
  EXPECT_EQ(webPictureName("sub.d/T_logo.PNG"), "sub.d/T_logo@web.webp");
  EXPECT_EQ(webPictureName("T_anim.gif"), "T_anim@web.webp");
  EXPECT_EQ(webPictureName("T_a.webp"), "T_a@web.webp");
  // A video's poster is named as a TIFF's thumbnail; its copy is an MP4.
  EXPECT_EQ(thumbnailName("T_", "clip.MOV"), "T_clip.MOV.jpg");
  EXPECT_EQ(webVideoName("sub/T_clip.MOV.jpg"), "sub/T_clip.MOV@web.mp4");
  // The copy to download in the picture's own format.
  EXPECT_EQ(downloadName("sub.d/T_scan.TIF.jpg", "scan.TIF"), "sub.d/T_scan.TIF@download.TIF");
  EXPECT_EQ(downloadName("T_a.jpeg", "a.jpeg"), "T_a@download.jpeg");
  EXPECT_FALSE(isOwnName("T_a@download.jpg", FileRole::Download, "a.png"));
  EXPECT_TRUE(isOwnName("T_a@download_2.png", FileRole::Download, "a.png"));
  // Cut short to 249 bytes, room left for a number; a byte of no UTF-8
  // sequence is a character of its own.
  EXPECT_EQ(webPictureName("sub/" + std::string(250, '\xa9') + ".jpg"),
            "sub/" + std::string(241, '\xa9') + "@web.jpg");
}

TEST(PictureName, NamesCutShortAreKnownForTheirPictureAlone) {
  const std::string longName = std::string(240, 'p') + ".tif";
  // Cut in the picture's name, or in a long prefix.
  const std::pair<std::string, std::string> thumbs[] = {{"", longName},
                                                        {"T", longName},
                                                        {std::string(7, 'T'), longName},
                                                        {std::string(249, 'T'), "a.jpg"},
                                                        {"T", std::string(240, 'v') + ".webm"}};
  for (const auto& [prefix, leaf] : thumbs) {
    const std::string thumb = "sub/" + thumbnailName(prefix, leaf);
    for (const std::string& name :
         {lightVariantName(thumb, "@2x"), webPictureName(thumb),
          numberedName(webPictureName(thumb), 99999), lightVariantName(thumb, "@display3x"),
          numberedName(webVideoName(thumb), 99999), downloadName(thumb, leaf),
          numberedName(downloadName(thumb, leaf), 99999)}) {
      EXPECT_LE(name.size() - 4, 255u) << name;
      const FileRole role = name.find("@2x") != std::string::npos          ? FileRole::Thumb2x
                            : name.find("@display3x") != std::string::npos ? FileRole::Display3x
                            : name.find(".mp4") != std::string::npos       ? FileRole::WebVideo
                            : name.find("@download") != std::string::npos  ? FileRole::Download
                                                                           : FileRole::Web;
      EXPECT_TRUE(isOwnName(name, role, "sub/" + leaf)) << name;
    }
  }
  // Not for another picture, not one byte shorter, not in another folder.
  const std::string web = webPictureName("sub/T" + longName + ".jpg");
  EXPECT_FALSE(isOwnName(web, FileRole::Web, "sub/" + std::string(240, 'q') + ".tif"));
  EXPECT_FALSE(isOwnName(web.substr(0, 10) + web.substr(11), FileRole::Web, "sub/" + longName));
  EXPECT_FALSE(isOwnName(web, FileRole::Web, longName));
}

TEST(PictureName, NaturalOrderReadsNumbersAndLettersOfAnyScript) {
  // Each name sorts before the next one.
  const std::vector<std::string> ordered = {
      "a", "A1", "a2", "a10", "a010b", "a10c",
      // Accents after the letter, case after accents, then the bytes: the
      // same letters decomposed, composed and in Latin-1 (not UTF-8).
      "cafe.jpg", "Cafe.jpg", "cafe\xcc\x81.jpg", "caf\xc3\xa9.jpg", "caf\xe9.jpg",
      "\xc3\x89"
      "clair.jpg",
      "\xc3\xa9t\xc3\xa9.jpg", "IceCold.jpg", "img_2.jpg", "IMG_0004.jpg", "IMG_4.jpg",
      "img_10.jpg", "IMG_100.jpg", "img_9999999999999999999999.jpg",
      "img_10000000000000000000000.jpg", "imgx.jpg", "Z", "Zebra.jpg", "zz",
      // Other scripts after Latin, each in its own order: Greek, then Cyrillic
      // with its letter with diaeresis among the plain one.
      "\xce\xac\xce\xbb\xcf\x86\xce\xb1", "\xce\x92\xce\xae\xcf\x84\xce\xb1", "\xd1\x91\xd0\xb6",
      "\xd0\xb5\xd0\xbb\xd1\x8c"};
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    EXPECT_EQ(naturalCompare(ordered[i], ordered[i]), 0) << ordered[i];
    for (std::size_t j = i + 1; j < ordered.size(); ++j) {
      EXPECT_LT(naturalCompare(ordered[i], ordered[j]), 0) << ordered[i] << " / " << ordered[j];
      EXPECT_GT(naturalCompare(ordered[j], ordered[i]), 0) << ordered[j] << " / " << ordered[i];
    }
  }
  // A name before its longer forms.
  const std::vector<std::string> stems = {"img.jpg", "img 2.jpg", "img-b.jpg", "img2.jpg"};
  for (std::size_t i = 0; i + 1 < stems.size(); ++i)
    EXPECT_LT(naturalCompare(stems[i], stems[i + 1]), 0) << stems[i];
  // Names that differ only in case still have a fixed order.
  EXPECT_NE(naturalCompare("a.jpg", "A.jpg"), 0);
  EXPECT_EQ(naturalCompare("a.jpg", "A.jpg"), -naturalCompare("A.jpg", "a.jpg"));
}

TEST(PictureName, FoldersSortFolderByFolder) {
  const std::vector<std::string> ordered = {
      "", "2019", "2019/jan", "2019/Jan 2", "2019/jan10", "2019-old", "2020", "trip 3", "Trip 12"};
  for (std::size_t i = 0; i + 1 < ordered.size(); ++i)
    for (std::size_t j = i + 1; j < ordered.size(); ++j)
      EXPECT_LT(naturalPathCompare(ordered[i], ordered[j]), 0) << ordered[i] << " / " << ordered[j];
}
