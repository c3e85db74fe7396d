// Sizes and the reader of the polygon-set payload.
#include "graphics/polygon_payload.hpp"

#include "engine/base.hpp"
#include "graphics/drawing_command.hpp"

namespace vke {

int64_t PolygonColourDoubles(uint32_t flags, int64_t nv) {
  const bool one = flags & kPolyOneColour;
  if (flags & kPolyRgb) return one ? 3 : 3 * nv;
  if (flags & kPolyValues) return one ? 1 : nv;
  return 0;
}

int64_t PolygonPayloadDoubles(uint32_t flags, int64_t nv, int64_t perFace, int64_t faces) {
  const int64_t range = flags & kPolyByRange ? 2 : 0;
  return kPolygonHeadDoubles + 3 * nv + PolygonColourDoubles(flags, nv) + range + 1 +
         (faces * perFace + 1) / 2;
}

uint32_t PolygonPayload::Index(int64_t f, int32_t k) const {
  return Load<uint32_t>(indices + 4 * (f * perFace + k));
}

bool PolygonPayload::FaceIsValid(int64_t f) const {
  for (int32_t k = 0; k < perFace; ++k) {
    if (Index(f, k) >= static_cast<uint32_t>(vertices)) return false;
  }
  return true;
}

bool ReadPolygonPayload(const std::byte* data, int64_t length, PolygonPayload* out) {
  if (length < kPolygonHeadDoubles) return false;
  const int64_t flags = TruncToInt64(PayloadDouble(data, 0));
  const int32_t perFace = TruncToInt32(PayloadDouble(data, 1));
  const int32_t nv = TruncToInt32(PayloadDouble(data, 2));
  if (flags < 0 || flags > 0xFFFF || perFace < 0 || nv < 0) return false;
  PolygonPayload p{};
  p.flags = static_cast<uint32_t>(flags);
  p.perFace = perFace;
  p.vertices = nv;
  int64_t at = kPolygonHeadDoubles;
  const auto doubles = [&](int64_t i) { return reinterpret_cast<const double*>(data + i * 8); };
  p.x = doubles(at);
  p.y = doubles(at + nv);
  p.z = doubles(at + 2 * int64_t{nv});
  at += 3 * int64_t{nv};
  p.colour = doubles(at);
  at += PolygonColourDoubles(p.flags, nv);
  if (p.flags & kPolyByRange) {
    p.range = doubles(at);
    at += 2;
  }
  if (at + 1 > length) return false;
  const int32_t faces = TruncToInt32(PayloadDouble(data, static_cast<uint32_t>(at)));
  if (faces < 0) return false;
  p.faces = faces;
  p.indices = data + (at + 1) * 8;
  if (at + 1 + (int64_t{faces} * perFace + 1) / 2 > length) return false;
  *out = p;
  return true;
}

}  // namespace vke
