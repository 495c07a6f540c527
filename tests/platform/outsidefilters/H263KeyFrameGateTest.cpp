#include <gtest/gtest.h>

#include <vector>

#include "OutsideFiltersTestSupport.h"
#include "platform/outsidefilters/H263KeyFrameGate.h"

using kestrel::outsidefilters::H263KeyFrameGate;
using kestrel::outsidefilters::H263PictureType;
using kestrel::outsidefilters::ReadH263PictureType;
using kestrel::outsidefilters::test::EncodedQcif;

namespace {

// Bits written most significant first, as H.263 headers are.
class BitWriter {
 public:
  void Put(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
      if (bits_ % 8 == 0) bytes_.push_back(0);
      bytes_.back() |= static_cast<uint8_t>(((value >> i) & 1u) << (7 - bits_ % 8));
      ++bits_;
    }
  }
  std::vector<uint8_t> Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int bits_ = 0;
};

// An H.263 version 2 header (source format 111, PLUSPTYPE) of picture type `type`.
std::vector<uint8_t> PlusHeader(uint32_t ufep, uint32_t type) {
  BitWriter w;
  w.Put(0x20, 22);   // picture start code
  w.Put(7, 8);       // temporal reference
  w.Put(0b10, 2);    // PTYPE markers
  w.Put(0, 3);       // split screen, document camera, freeze release
  w.Put(7, 3);       // extended PTYPE
  w.Put(ufep, 3);
  if (ufep == 1) w.Put(0b010000000000001000, 18);  // OPPTYPE: CIF, its marker bit
  w.Put(type, 3);
  w.Put(0b001001, 6);  // rest of MPPTYPE
  w.Put(0, 8);
  return w.Bytes();
}

}  // namespace

TEST(H263PictureType, KeyAndInterPicturesOfTheEncoderAndOfVersionTwoHeadersAreTold) {
  const auto pictures = EncodedQcif(12, 5);
  for (size_t i = 0; i < pictures.size(); ++i)
    EXPECT_EQ(ReadH263PictureType(pictures[i]), i % 5 == 0 ? H263PictureType::Intra : H263PictureType::Inter) << i;
  for (uint32_t ufep : {0u, 1u}) {
    EXPECT_EQ(ReadH263PictureType(PlusHeader(ufep, 0)), H263PictureType::Intra) << ufep;
    EXPECT_EQ(ReadH263PictureType(PlusHeader(ufep, 1)), H263PictureType::Inter) << ufep;
  }
}

TEST(H263PictureType, WhatIsNoPictureHeaderIsUnknown) {
  const auto key = EncodedQcif(1, 1)[0];
  EXPECT_EQ(ReadH263PictureType({}), H263PictureType::Unknown);
  EXPECT_EQ(ReadH263PictureType(std::vector<uint8_t>(key.begin(), key.begin() + 4)), H263PictureType::Unknown)
      << "cut before the picture type";
  auto noStart = key;
  noStart[2] = 0x40;
  EXPECT_EQ(ReadH263PictureType(noStart), H263PictureType::Unknown);
  auto badMarker = key;
  badMarker[3] ^= 0x02;  // the PTYPE bit that is always 1
  EXPECT_EQ(ReadH263PictureType(badMarker), H263PictureType::Unknown);
  EXPECT_EQ(ReadH263PictureType(PlusHeader(2, 0)), H263PictureType::Unknown) << "reserved UFEP";
  EXPECT_EQ(ReadH263PictureType(std::vector<uint8_t>(1400, 0xFF)), H263PictureType::Unknown);
}

TEST(H263KeyFrameGate, AfterALossAndAtTheStartOnlyAKeyFrameOpensTheWay) {
  const auto pictures = EncodedQcif(12, 5);  // key frames 0, 5, 10
  H263KeyFrameGate gate;
  EXPECT_FALSE(gate.Take(pictures[1], false)) << "an inter picture before any key frame";
  EXPECT_TRUE(gate.Take(pictures[5], false));
  EXPECT_TRUE(gate.Take(pictures[6], false));
  EXPECT_FALSE(gate.Take(pictures[8], true)) << "picture 7 was lost";
  EXPECT_FALSE(gate.Take(pictures[9], false)) << "predicted from a picture the decoder did not get";
  EXPECT_TRUE(gate.Take(pictures[10], false));
  EXPECT_TRUE(gate.Take(pictures[11], false));
  EXPECT_TRUE(gate.Take(std::vector<uint8_t>(20, 0x55), false)) << "without a loss, even noise goes to the decoder";
  EXPECT_TRUE(gate.Take(pictures[0], true)) << "a key frame right after a loss";
  gate.Restart();
  EXPECT_FALSE(gate.Take(pictures[1], false)) << "after a flush";
}
