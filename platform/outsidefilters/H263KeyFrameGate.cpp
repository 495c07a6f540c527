#include "platform/outsidefilters/H263KeyFrameGate.h"

namespace kestrel::outsidefilters {

namespace {

// Reads `count` bits from bit `offset` on (most significant bit first);
// nothing when the picture is shorter.
bool ReadBits(std::span<const uint8_t> bytes, size_t offset, int count, uint32_t& value) {
  if (offset + count > bytes.size() * 8) return false;
  value = 0;
  for (int i = 0; i < count; ++i, ++offset)
    value = value << 1 | ((bytes[offset / 8] >> (7 - offset % 8)) & 1u);
  return true;
}

constexpr uint32_t kPictureStartCode = 0x20;  // 22 bits: 0000 0000 0000 0000 1000 00
constexpr uint32_t kExtendedFormat = 7;       // source format 111: PLUSPTYPE follows

}  // namespace

H263PictureType ReadH263PictureType(std::span<const uint8_t> picture) {
  uint32_t startCode = 0, markers = 0, format = 0, codingType = 0;
  // PSC (22), TR (8), PTYPE: "1", "0", split screen, document camera,
  // freeze release, source format (3), then the coding type (1) or PLUSPTYPE.
  if (!ReadBits(picture, 0, 22, startCode) || startCode != kPictureStartCode) return H263PictureType::Unknown;
  if (!ReadBits(picture, 30, 2, markers) || markers != 0b10) return H263PictureType::Unknown;
  if (!ReadBits(picture, 35, 3, format) || format == 0) return H263PictureType::Unknown;
  if (format != kExtendedFormat) {
    if (!ReadBits(picture, 38, 1, codingType)) return H263PictureType::Unknown;
    return codingType == 0 ? H263PictureType::Intra : H263PictureType::Inter;
  }
  // PLUSPTYPE: UFEP (3); with UFEP 001 the optional part (18 bits) comes
  // before the mandatory part, whose first three bits are the picture type.
  uint32_t ufep = 0;
  if (!ReadBits(picture, 38, 3, ufep) || (ufep != 0 && ufep != 1)) return H263PictureType::Unknown;
  const size_t mandatory = 41 + (ufep == 1 ? 18 : 0);
  uint32_t type = 0;
  if (!ReadBits(picture, mandatory, 3, type)) return H263PictureType::Unknown;
  return type == 0 ? H263PictureType::Intra : H263PictureType::Inter;
}

bool H263KeyFrameGate::Take(std::span<const uint8_t> picture, bool discontinuity) {
  if (discontinuity) waiting_ = true;
  if (!waiting_) return true;
  if (ReadH263PictureType(picture) != H263PictureType::Intra) return false;
  waiting_ = false;
  return true;
}

}  // namespace kestrel::outsidefilters
