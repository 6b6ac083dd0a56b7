// libvips 8.14.1's WebP saver writes the picture's EXIF chunk even when told
// to strip all metadata. Found in libvips 8.14.1 (Debian 12); the test
// CompatTest checks the version in use and whether the fault is still there.
#ifndef WV_GENERATOR_WEBPMETADATA_H
#define WV_GENERATOR_WEBPMETADATA_H

#include <string>

// Drops the EXIF, XMP and ICC chunks and their flags from a WebP file in
// memory; a file not as expected is left as it is.
void stripWebpMetadata(std::string& webp);

#endif
