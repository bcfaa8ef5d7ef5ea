#ifndef VELMO_UI_GDI_PAINTER_H_
#define VELMO_UI_GDI_PAINTER_H_

#include <windows.h>

#include <functional>
#include <optional>

#include "ui/dib_view.h"
#include "ui/draw_list.h"
#include "ui/image_id.h"

namespace velmo {

// Where the painter gets decoded images; nothing when an image is not
// available, and its step is then skipped.
using ImageSource = std::function<std::optional<DibView>(ImageId)>;

// Executes the steps directly on `dc`, in order. Every pen, brush, font and
// region lives for one step only.
void draw_steps(HDC dc, const DrawList& list, const ImageSource& images);

// Draws into an off-screen bitmap of width x height compatible with
// `target`, then copies it to `target` at (0, 0) in one BitBlt, so the
// window never shows a half-drawn frame. False when the off-screen bitmap
// cannot be made (nothing is drawn then).
bool paint_double_buffered(HDC target,
                           int width,
                           int height,
                           const DrawList& list,
                           const ImageSource& images);

}  // namespace velmo

#endif  // VELMO_UI_GDI_PAINTER_H_
