// What the files made from a picture are called (which files are pictures:
// PictureFormats.h; numbered names: WholeFile.h; the order of names:
// common/NaturalOrder.h).
#ifndef WV_GENERATOR_PICTURENAME_H
#define WV_GENERATOR_PICTURENAME_H

#include "generator/files/WholeFile.h"
#include "generator/picture/PictureFormats.h"

#include <cstddef>
#include <string>

// prefix + picture name. The thumbnail of a TIFF, HEIC, HEIF or AVIF picture
// is a JPEG (isUnshownName), so it gets ".jpg" behind the picture's own name;
// so does a video's poster.
std::string thumbnailName(const std::string& prefix, const std::string& pictureName);

// "ThumbA.jpg", "@2x" -> "ThumbA@2x.jpg": the tag goes before the extension
// (the 2x thumbnail and the web-sized picture beside a thumbnail).
std::string variantName(const std::string& name, const std::string& tag);

// The longest file name the system takes (NAME_MAX), and the longest one a
// file made beside a thumbnail gets, so that its numbered forms (`_99999`)
// fit too.
constexpr std::size_t kMaxFileName = 255;
constexpr std::size_t kMaxVariantName = kMaxFileName - 6;

// "ThumbA.png", "@2x" -> "ThumbA@2x.webp": a file the page shows beside a
// thumbnail (its 2x and 3x forms, the web-sized picture), in the light
// format webSuffix() gives: JPEG beside JPEG, WebP beside the others. A
// name longer than kMaxVariantName has the thumbnail's part cut short, at a
// character, to fit; the tag and the extension stay.
std::string lightVariantName(const std::string& thumbName, const std::string& tag);

// Whether `stem` + `tail` (the tag and the extension) is a name
// lightVariantName() cut short, made from a thumbnail named some prefix +
// `thumbStem` + an extension, `thumbLength` bytes long without the prefix.
bool isCutVariantName(const std::string& stem, const std::string& tail,
                      const std::string& thumbStem, std::size_t thumbLength);

// "ThumbA.png" -> "ThumbA@web.webp": the web-sized picture beside a
// thumbnail, in its own format.
std::string webPictureName(const std::string& thumbName);

// "clip.mov.jpg" -> "clip.mov@web.mp4": the H.264/AAC copy of a video the
// browser cannot play as it is, beside its poster (cut short as
// lightVariantName cuts).
std::string webVideoName(const std::string& thumbName);
// "ThumbA.jpg", "A.JPG" -> "ThumbA@download.JPG": a copy of the picture
// (without its location) beside its thumbnail, in the picture's format.
std::string downloadName(const std::string& thumbName, const std::string& pictureName);

#endif
