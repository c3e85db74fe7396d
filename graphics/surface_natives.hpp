// The implementations of the plot natives that add area-filling objects to
// the current subplot: indexed polygon sets, meshes and surfaces over a grid
// (command 15, graphics/polygon_payload.hpp), images (command 9),
// pseudo-colour cells (command 10) and the subplot's colour map (command
// 11). Each checks all its arguments and the room for all it writes before
// it writes anything.
#pragma once

#include "graphics/plot_frame.hpp"
#include "graphics/settings_natives.hpp"

namespace vke {

// Values of the table's extra argument of mesh and surf.
inline constexpr uint32_t kMeshWireframe = 0;
inline constexpr uint32_t kMeshSurface = 1;

// plotpoly(x, y, z, ind) or plotpoly(x, y, z, c, ind), then a kind text
// ("f" faces, "b" edges, "*" vertices), a style and an id; ind is an np x p
// matrix of 1-based vertex indices, "strip" or "fan".
ErrCode AddPolygonObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// mesh(z), mesh(x, y, z), mesh(x, y, z, c), then a kind text, a style and
// an id; surf (flag kMeshSurface) the same. One quad per grid cell.
ErrCode AddMeshObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// image(c), image(c, [x0 x1 y0 y1]), image(r, g, b), image(r, g, b,
// position), then an option text ("e" whole pixels per cell, "1" linear,
// "3" cubic resampling) and an id.
ErrCode AddImageObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// pcolor(c) or pcolor(x, y, c), then a style and an id.
ErrCode AddPcolorObject(EngineContext* ctx, int32_t nargin, PlotTarget& target, uint32_t flag);
// colormap(M) sets the current subplot's map (n x 3, values 0 to 1) in
// place of the one it had; colormap() gives it (empty without one).
ErrCode SetColormap(EngineContext* ctx, int32_t nargin, int32_t nargout, PlotTarget& target);

}  // namespace vke
