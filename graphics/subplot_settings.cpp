// Subplot settings kept beside the scales: scale kind, grid kind, option
// bits, title, axis labels, scale factors and data aspect.
#include <cstring>

#include "graphics/camera.hpp"
#include "graphics/scale_internal.hpp"

namespace vke {
namespace {

// The log-x, log-y and dB bits, which the figure menus may have changed.
constexpr uint32_t kMenuScaleBits = kScaleLogX | kScaleLogY | kScaleDbY;

// Copies text into a NUL-padded field of `size` bytes. A text longer than
// the field is cut before the character that would not fit whole.
void CopyToField(uint8_t* field, size_t size, const char* text, size_t length) {
  size_t n = length < size ? length : size;
  if (length > size) {
    while (n > 0 && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) --n;
  }
  if (n > 0) std::memcpy(field, text, n);
  std::memset(field + n, 0, size - n);
}

size_t ByteLength(int32_t length) {
  return length > 0 ? static_cast<size_t>(length) : 0;
}

// A label's bytes go to its field and on into its tail.
void SetAxisLabel(SubplotRecord* r, int32_t axis, const char* text, size_t length) {
  uint8_t whole[kAxisLabelBytes];
  CopyToField(whole, sizeof whole, text, length);
  std::memcpy(r->labels[axis], whole, sizeof r->labels[axis]);
  std::memcpy(r->labelTails[axis], whole + sizeof r->labels[axis], sizeof r->labelTails[axis]);
}

}  // namespace

void SetScaleKind(SubplotRecord* r, uint32_t applicable, uint32_t kind) {
  r->applicableScaleKinds = applicable;
  if (r->scaleKindSet) {
    r->scaleKind = (r->scaleKind & kMenuScaleBits) | (kind & ~kMenuScaleBits);
    return;
  }
  r->scaleKind = kind;
  ComputeSubplotTransform(r, true, kAutoMargin);
  r->scaleKindSet = 1;
}

void SetScaleKindBits(SubplotRecord* r, uint32_t values, uint32_t mask) {
  r->scaleKind = (r->scaleKind & ~mask) | (values & mask);
}

uint32_t GetScaleKind(const SubplotRecord& r) {
  return r.scaleKind;
}

void SetSubplotGridKind(SubplotRecord* r, uint32_t applicable, uint32_t gridBits) {
  r->applicableOptions = applicable;
  if (r->gridSet) return;
  r->optionWord = (r->optionWord & ~kOptGridKindMask) | (gridBits & kOptGridKindMask);
  r->gridSet = 1;
}

void SetOptionBits(SubplotRecord* r, uint32_t values, uint32_t mask) {
  const uint32_t old = r->optionWord;
  r->optionWord = (old & ~mask) | (values & mask);
  if ((old ^ r->optionWord) & (kOptFrame | kOptMargin)) {
    SetSubplotViewport(r, r->position[kLeft], r->position[kRight], r->position[kTop],
                       r->position[kBottom]);
  }
}

void SetSubplotTitle(SubplotRecord* r, const char* text, int32_t length) {
  const size_t n = text == nullptr ? 0
                   : length < 0    ? strnlen(text, sizeof r->title + 1)
                                   : ByteLength(length);
  CopyToField(r->title, sizeof r->title, text, n);
}

void SetAxisLabels(SubplotRecord* r, const char* x, int32_t xLength, const char* y, int32_t yLength,
                   const char* z, int32_t zLength) {
  if (x != nullptr) SetAxisLabel(r, kAxisX, x, ByteLength(xLength));
  if (y != nullptr) SetAxisLabel(r, kAxisY, y, ByteLength(yLength));
  SetAxisLabel(r, kAxisZ, z, z != nullptr ? ByteLength(zLength) : 0);
}

AxisLabel GetAxisLabel(const SubplotRecord& r, int32_t axis) {
  AxisLabel label;
  std::memcpy(label.text, r.labels[axis], sizeof r.labels[axis]);
  std::memcpy(label.text + sizeof r.labels[axis], r.labelTails[axis], sizeof r.labelTails[axis]);
  const void* nul = std::memchr(label.text, 0, sizeof label.text);
  label.length = static_cast<int32_t>(nul != nullptr ? static_cast<const char*>(nul) - label.text
                                                     : sizeof label.text);
  return label;
}

void SetScaleFactors(SubplotRecord* r, double x, double y, double z) {
  r->scaleFactors[kAxisX] = x;
  r->scaleFactors[kAxisY] = y;
  r->scaleFactors[kAxisZ] = z;
}

void GetScaleFactors(const SubplotRecord& r, double* x, double* y, double* z) {
  CopyToOptional(r.scaleFactors, {x, y, z});
}

void SetDataAspect(SubplotRecord* r, const double* ratios) {
  r->aspectAuto = ratios == nullptr ? 1 : 0;
  if (ratios != nullptr) std::memcpy(r->dataAspect, ratios, sizeof r->dataAspect);
  ComputeProjection(r);
}

void GetDataAspect(const SubplotRecord& r, double* ratios) {
  std::memcpy(ratios, r.dataAspect, sizeof r.dataAspect);
}

}  // namespace vke
