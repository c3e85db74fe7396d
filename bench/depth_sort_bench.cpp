// Milliseconds to depth-sort and draw 3-D triangles at 800 x 600 through the
// screen port: the pool is filled, flushed with its work area, and the
// triangles filled anti-aliased through the renderer's face fills (the two
// halves of a surface's quadrilateral in one fill where they come one after
// the other) and the polyline slot. Three cases:
// (a) a 100 x 100 surface grid, 19,602 triangles, seen through a perspective
// and through an orthographic camera, (b) 2,000 random overlapping
// triangles, the stress case of splits and cycles, and (c) a 300 x 300
// surface grid, 178,802 triangles, in perspective: a surface larger than
// the scratch of a figure, whose pool the renderer moves into memory of its
// own. Targets: (a) under 16 ms in both projections, a camera drag at 60
// frames per second; (b) under 0.5 s; (c) no target, about nine times (a)
// as the triangles are.
//
// With --export DIR the triangles of cases (a) and (b) are written to
// DIR/surface.txt and DIR/stress.txt (one triangle a line: x y z of each
// vertex) for bench/compare_depth_sort.sh, which times its peer on them.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/errors/errors.hpp"
#include "graphics/cairo_target.hpp"
#include "graphics/camera.hpp"
#include "graphics/depth_sort.hpp"
#include "graphics/face_fills.hpp"
#include "graphics/port.hpp"
#include "graphics/scale.hpp"

namespace {

constexpr int32_t kWidth = 800;
constexpr int32_t kHeight = 600;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}

// Device x, y and depth of each vertex, three vertices a triangle.
struct Triangles {
  std::vector<float> x, y, z;
  size_t Count() const { return x.size() / 3; }
};

// z = sin(x) cos(y) over a side x side grid, projected by the camera over
// the whole image.
Triangles Surface(bool perspective, int side = 100) {
  vke::SubplotRecord s;
  vke::SubplotRecordClear(&s);
  vke::SetRect(s.viewport, 0, kWidth, 0, kHeight);
  s.optionWord = 0;
  s.is3d = 1;
  vke::SubplotScaleDefaults(&s);
  std::vector<double> gx, gy, gz;
  for (int i = 0; i < side; ++i) {
    for (int j = 0; j < side; ++j) {
      gx.push_back(-3 + 6.0 * i / (side - 1));
      gy.push_back(-3 + 6.0 * j / (side - 1));
      gz.push_back(std::sin(gx.back()) * std::cos(gy.back()));
    }
  }
  const auto n = static_cast<int32_t>(gx.size());
  vke::UpdateAutoLimits(&s, gx.data(), gy.data(), gz.data(), n);
  vke::SetOrthographic(&s, !perspective);
  std::vector<double> X(gx.size()), Y(gx.size()), Z(gx.size());
  vke::DataToDevice(s, gx.data(), gy.data(), gz.data(), n, X.data(), Y.data(), Z.data());
  Triangles t;
  const auto corner = [&](int i, int j) {
    const int k = i * side + j;
    t.x.push_back(static_cast<float>(X[k]));
    t.y.push_back(static_cast<float>(Y[k]));
    t.z.push_back(static_cast<float>(Z[k]));
  };
  for (int i = 0; i + 1 < side; ++i) {
    for (int j = 0; j + 1 < side; ++j) {
      corner(i, j), corner(i + 1, j), corner(i + 1, j + 1);
      corner(i, j), corner(i + 1, j + 1), corner(i, j + 1);
    }
  }
  return t;
}

// Random triangles of up to 160 units across at random depths.
Triangles Stress() {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> cx(0, kWidth), cy(0, kHeight), depth(-100, 100);
  std::uniform_real_distribution<float> offset(-80, 80);
  Triangles t;
  for (int k = 0; k < 2000; ++k) {
    const float x = cx(rng), y = cy(rng), z = depth(rng);
    for (int v = 0; v < 3; ++v) {
      t.x.push_back(x + offset(rng));
      t.y.push_back(y + offset(rng));
      t.z.push_back(z + offset(rng) / 2);
    }
  }
  return t;
}

// Fills the triangle with the grey of its face (user word 0 the face, 1 the
// grey, 2 set for the halves of a surface's quadrilateral).
void FillTriangle(void* context, const uint32_t user[3], const float* x, const float* y,
                  const float*, const uint32_t*, bool front) {
  auto* faces = static_cast<vke::FaceFills*>(context);
  const auto grey = static_cast<uint8_t>(user[1]);
  const vke::PlotStyle style{vke::kStyleFilled | vke::kStyleSmooth, grey, grey,
                             static_cast<uint8_t>(grey / 2 + 100), 0};
  faces->Draw(vke::FaceTriangle{{user[0], 0, 0},
                                front,
                                user[2] != 0,
                                {x[0], x[1], x[2]},
                                {y[0], y[1], y[2]},
                                style,
                                0,
                                {},
                                {},
                                style});
}

// Mean milliseconds of one sort and draw of the triangles (without drawing:
// the sort alone).
double Milliseconds(const Triangles& t, bool quads, bool draw, std::vector<uint64_t>* buffer,
                    size_t* drawnItems) {
  std::unique_ptr<vke::CairoTarget> image;
  Check(vke::CairoTarget::CreateImage(kWidth, kHeight, &image) == vke::kOk, "image");
  vke::InitScreenPortMetrics();
  vke::FaceFills faces(vke::ScreenPort(), image.get());
  const vke::DepthSortCallbacks callbacks{nullptr, nullptr, draw ? &FillTriangle : nullptr};
  std::vector<uint32_t> work;
  int32_t frames = 0;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::duration<double> spent{};
  while (spent.count() < 2.0 || frames < 5) {
    vke::DepthSortPool* pool = vke::DepthSortInit(buffer->data(), buffer->size() * 8, false);
    for (size_t k = 0; k < t.Count(); ++k) {
      const auto face = static_cast<uint32_t>(quads ? k / 2 : k);
      const uint32_t user[3] = {face, 60 + face % 150, quads ? 1u : 0u};
      vke::DepthSortAddTriangle(pool, user, &t.x[3 * k], &t.y[3 * k], &t.z[3 * k], true, true, 0);
    }
    work.resize(vke::DepthSortWorkBytes(pool) / 4);
    vke::DepthSortFlush(pool, callbacks, &faces, work.data(), work.size() * 4);
    faces.Release();
    *drawnItems = static_cast<size_t>(pool->count);
    ++frames;
    spent = std::chrono::steady_clock::now() - start;
  }
  return 1000 * spent.count() / frames;
}

void Export(const Triangles& t, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "w");
  Check(f != nullptr, "export");
  for (size_t k = 0; k < t.Count(); ++k) {
    for (size_t v = 3 * k; v < 3 * k + 3; ++v) {
      std::fprintf(f, "%.9g %.9g %.9g%c", t.x[v], t.y[v], t.z[v], v == 3 * k + 2 ? '\n' : ' ');
    }
  }
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const Triangles surface = Surface(true);
  const Triangles flat = Surface(false);
  const Triangles stress = Stress();
  if (argc == 3 && std::strcmp(argv[1], "--export") == 0) {
    Export(surface, std::string(argv[2]) + "/surface.txt");
    Export(stress, std::string(argv[2]) + "/stress.txt");
  }
  // Room for every split the stress case makes.
  std::vector<uint64_t> buffer((48 + vke::kDepthItemBytes * 400000) / 8);
  size_t items = 0;
  const double sorted = Milliseconds(surface, true, false, &buffer, &items);
  const double a = Milliseconds(surface, true, true, &buffer, &items);
  std::printf("surface: %zu triangles at %dx%d: sort %.2f ms, sort and fill %.2f ms (target 16)\n",
              surface.Count(), kWidth, kHeight, sorted, a);
  const double flatSorted = Milliseconds(flat, true, false, &buffer, &items);
  const double flatA = Milliseconds(flat, true, true, &buffer, &items);
  std::printf(
      "orthographic: %zu triangles at %dx%d: sort %.2f ms, sort and fill %.2f ms (target 16)\n",
      flat.Count(), kWidth, kHeight, flatSorted, flatA);
  if (std::getenv("VKE_ONLY_SURFACE") != nullptr) return 0;
  const double stressSorted = Milliseconds(stress, false, false, &buffer, &items);
  const double b = Milliseconds(stress, false, true, &buffer, &items);
  std::printf(
      "stress: %zu triangles (%zu after splits) at %dx%d: sort %.2f ms, sort and fill %.2f ms "
      "(target 500)\n",
      stress.Count(), items, kWidth, kHeight, stressSorted, b);
  const Triangles large = Surface(true, 300);
  const double largeSorted = Milliseconds(large, true, false, &buffer, &items);
  const double c = Milliseconds(large, true, true, &buffer, &items);
  Check(items >= large.Count(), "every triangle kept");
  std::printf("large: %zu triangles at %dx%d: sort %.2f ms, sort and fill %.2f ms\n", large.Count(),
              kWidth, kHeight, largeSorted, c);
  return 0;
}
