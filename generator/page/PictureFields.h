// The placeholders of one picture and of one album, as a page shows them:
// every value HTML-escaped, every link percent-encoded.
#ifndef WV_GENERATOR_PICTUREFIELDS_H
#define WV_GENERATOR_PICTUREFIELDS_H

#include "generator/page/GalleryLayout.h"
#include "generator/page/PageTemplate.h"

#include <cstdint>
#include <string>

// Sets {{name}}, {{thumb}}, {{srcset}}, {{imgsrcset}}, {{caption}} and the
// others of picture `picture` of `layout` in `fields`.
void pictureFields(const GalleryLayout& layout, std::size_t picture, PageFields& fields);

// Sets {{section}}, {{albumname}}, {{albumlink}}, {{albumdates}},
// {{albumcount}} and the others of album `album` in `fields`; `topName` names the album of the
// input folder's own pictures.
void albumFields(const GalleryLayout& layout, std::size_t album, const std::string& topName,
                 PageFields& fields);

// "1.4 MB" and the like.
std::string humanSize(std::uint64_t bytes);

#endif
