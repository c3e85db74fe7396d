// A figure rendered without a window: an instance's figure at a given size
// through the screen port onto an image, written as a PNG file. Serves the
// tests and the packing tool's check of an application.
#pragma once

#include "app/block.hpp"
#include "graphics/cairo_target.hpp"

namespace vke {

// Gives the figure the image's rectangle (the figure-rectangle handlers
// run), lays the subplots out anew for the screen port, runs the draw
// handlers when asked and draws on the image through the screen port, which
// stays installed. 0, kKvNonexistentInstance, or else the draw handlers' failure (the figure
// is drawn all the same).
ErrCode DrawFigureImage(KVContextBlock** slot, int32_t id, CairoTarget* image,
                        bool runDrawHandlers);

// DrawFigureImage on an image of width x height written as a PNG file. The
// image's or the file's error, else as DrawFigureImage. The block's port and
// target are left as they were.
ErrCode RenderFigurePng(KVContextBlock** slot, int32_t id, int32_t width, int32_t height,
                        const char* path, bool runDrawHandlers);

}  // namespace vke
