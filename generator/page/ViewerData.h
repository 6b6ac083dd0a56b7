// The viewer's data: the gallery's pictures as JSON, put into a page
// ({{gallerydata}}) or written once into a script beside the pages
// ({{galleryscript}}).
#ifndef WV_GENERATOR_VIEWERDATA_H
#define WV_GENERATOR_VIEWERDATA_H

#include "generator/page/GalleryLayout.h"
#include "generator/page/PageTemplate.h"

#include <string>

// The pictures of the gallery as a JSON array, each with the page it is
// on; with `allPages` false only those of page `page`.
std::string viewerData(const GalleryLayout& layout, bool allPages, std::size_t page);

// The script that holds them for every page: one statement that sets
// window.vignetorGallery, ASCII only. With `map` (map=yes) it names the
// map's tiles and their attribution too.
void writeViewerScript(const GalleryLayout& layout, bool allPages, BoundedWriter& out,
                       const GallerySettings* map = nullptr);

// What the viewer's download gives of a picture, relative to the output
// folder, not encoded: the picture where it lies inside the output folder,
// else the largest file the folder holds of it. The album's ZIP holds the
// same files.
std::string downloadLink(const GalleryPicture& picture);
// Whether downloadLink() is the picture itself.
bool downloadsOriginal(const GalleryPicture& picture);

// A text for JSON, quotes included: UTF-8 with the characters JSON needs
// escaped.
std::string jsonString(const std::string& bytes);

#endif
