#ifndef VELMO_UI_EMBEDDED_IMAGE_VIEW_H_
#define VELMO_UI_EMBEDDED_IMAGE_VIEW_H_

#include "ui/dib_view.h"
#include "ui/image_id.h"

namespace velmo {

// The carried image a drawing step names, as the painter reads it. Decodes
// on first use; the view stays valid for the life of the process.
DibView embedded_image_view(ImageId image);

}  // namespace velmo

#endif  // VELMO_UI_EMBEDDED_IMAGE_VIEW_H_
