#include "generator/compat/HeifXmp.h"

#include <libheif/heif.h>

#include <cstring>
#include <vector>

std::string heifXmp(const std::string& path) {
  // An XMP packet is a few kilobytes; a larger block is no caption of ours.
  constexpr std::size_t kMaxXmp = std::size_t(4) << 20;
  std::string xmp;
  heif_context* context = heif_context_alloc();
  heif_image_handle* handle = nullptr;
  if (context &&
      heif_context_read_from_file(context, path.c_str(), nullptr).code == heif_error_Ok &&
      heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok) {
    const int count = heif_image_handle_get_number_of_metadata_blocks(handle, "mime");
    std::vector<heif_item_id> ids(static_cast<std::size_t>(count > 0 ? count : 0));
    if (count > 0)
      heif_image_handle_get_list_of_metadata_block_IDs(handle, "mime", ids.data(), count);
    for (heif_item_id id : ids) {
      const char* type = heif_image_handle_get_metadata_content_type(handle, id);
      const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
      if (!type || std::strcmp(type, "application/rdf+xml") != 0 || size == 0 || size > kMaxXmp)
        continue;
      std::string data(size, '\0');
      if (heif_image_handle_get_metadata(handle, id, data.data()).code == heif_error_Ok) {
        xmp = std::move(data);
        break;
      }
    }
  }
  if (handle) heif_image_handle_release(handle);
  if (context) heif_context_free(context);
  return xmp;
}
