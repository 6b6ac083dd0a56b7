// libvips 8.14.1's HEIF loader keeps a HEIC's or AVIF's XMP only where the
// packet begins "<x:xmpmeta": behind the "<?xpacket" line most programs put
// before it the XMP is dropped, and the picture's caption with it. Found in
// libvips 8.14.1 (Debian 12); CompatTest checks the version in use.
#ifndef WV_GENERATOR_HEIFXMP_H
#define WV_GENERATOR_HEIFXMP_H

#include <string>

// The XMP of the HEIF file at `path` (of its primary picture), read with
// libheif; empty where it has none or the file cannot be read.
std::string heifXmp(const std::string& path);

#endif
