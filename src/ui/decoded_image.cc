#include "ui/decoded_image.h"

namespace velmo {

DibHeaderFields dib_header_fields(const DecodedImage& image) {
  DibHeaderFields fields;
  fields.width = static_cast<int32_t>(image.width);
  fields.height = -static_cast<int32_t>(image.height);
  return fields;
}

}  // namespace velmo
