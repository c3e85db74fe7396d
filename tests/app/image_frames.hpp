// An application image file taken apart into the bytes before it (a
// runtime), its title and its records, inflated, and put together again.
// Used by the image tests to craft images and by the fuzzer to mutate the
// records inside their zlib streams.
#pragma once

#include <string>
#include <vector>

#include "app/image.hpp"

namespace vke::test {

// Records of an image without extensions, by index.
enum ImageRecord : size_t {
  kRecHeader = 0,
  kRecExtensions = 1,
  kRecEngineHeader = 2,  // then the six engine parts
  kRecEngineData = 4,    // data-stack units
  kRecStore = 9,
  kRecInstances = 10,
  kRecElements = 11,
  kRecNames = 12,
  kRecUndoHead = 13,
  kRecUndoHeap = 14,
  kImageRecords = 15,
};

struct ImageParts {
  std::vector<uint8_t> prefix;  // what lies before the image
  std::string title;
  std::vector<std::vector<uint8_t>> records;

  ImageHeader& header() { return *reinterpret_cast<ImageHeader*>(records[kRecHeader].data()); }
  // Word i of a record.
  uint32_t Word(size_t record, size_t i) const;
  void SetWord(size_t record, size_t i, uint32_t value);
};

// Takes an image file apart; false when its frame or a record's stream is
// broken or a record would inflate beyond maxRecordBytes.
bool SplitImage(const uint8_t* file, size_t size, ImageParts* parts,
                size_t maxRecordBytes = 64u << 20);
// The file again: the prefix, the title, each record compressed with the
// image writer's record writer, the trailer.
std::vector<uint8_t> JoinImage(const ImageParts& parts);
// The records alone, each with its length word.
std::vector<uint8_t> PackRecords(const std::vector<std::vector<uint8_t>>& records);

}  // namespace vke::test
