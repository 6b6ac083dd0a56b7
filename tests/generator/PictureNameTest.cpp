#include "generator/PictureName.h"

#include <gtest/gtest.h>

TEST(PictureName, KnowsPicturesByExtensionInAnyCase) {
  for (const char* n : {"a.jpg", "a.JPG", "a.Jpeg", "a.jpe", "b.png", "c.GIF", "d.webp", "e.tif",
                        "f.TIFF", "x.y.png"})
    EXPECT_TRUE(isPictureName(n)) << n;
  for (const char* n : {"a.txt", "jpg", ".jpg", "a.jpg.bak", "a.", "index.html", "a.svg"})
    EXPECT_FALSE(isPictureName(n)) << n;
}

TEST(PictureName, ThumbnailKeepsTheNameAndAFormatBrowsersShow) {
  EXPECT_EQ(thumbnailName("Thumb", "a.JPG"), "Thumba.JPG");
  EXPECT_EQ(thumbnailName("", "a.png"), "a.png");
  EXPECT_EQ(thumbnailName("T_", "scan.TIF"), "T_scan.TIF.jpg");
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
