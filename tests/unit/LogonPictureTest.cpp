// The logon dialog's picture as committed: its file format, and what the window's transparency
// (the bottom-left pixel's colour is not painted) makes of it.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

std::uint32_t U32(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at])) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 3])) << 24;
}
std::uint16_t U16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1])
                                                                               << 8);
}

std::string ReadPicture() {
  std::ifstream in(KESTEL_LOGON_PICTURE_BMP, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

constexpr int kWidth = 69;
constexpr int kHeight = 105;
constexpr std::size_t kStride = 72;  // rows are padded to four bytes
constexpr std::size_t kPixelsAt = 14 + 40 + 256 * 4;

// The colour of the pixel at (x, y), counted from the top-left as the window shows it.
Rgb PixelAt(const std::string& bmp, int x, int y) {
  const std::size_t row = static_cast<std::size_t>(kHeight - 1 - y);  // stored bottom-up
  const auto index = static_cast<std::uint8_t>(bmp[kPixelsAt + row * kStride + static_cast<std::size_t>(x)]);
  const std::size_t entry = 14 + 40 + std::size_t{index} * 4;  // blue, green, red, reserved
  return {static_cast<std::uint8_t>(bmp[entry + 2]), static_cast<std::uint8_t>(bmp[entry + 1]),
          static_cast<std::uint8_t>(bmp[entry])};
}

TEST(LogonPicture, IsAnUncompressedEightBitPaletteBitmapOfTheGivenSize) {
  const std::string bmp = ReadPicture();
  ASSERT_EQ(bmp.size(), 8638u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(U32(bmp, 2), 8638u) << "file size field";
  EXPECT_EQ(U32(bmp, 10), kPixelsAt) << "pixels follow a full 256-entry colour table";
  EXPECT_EQ(U32(bmp, 14), 40u) << "plain info header";
  EXPECT_EQ(static_cast<std::int32_t>(U32(bmp, 18)), kWidth);
  EXPECT_EQ(static_cast<std::int32_t>(U32(bmp, 22)), kHeight) << "positive: stored bottom-up";
  EXPECT_EQ(U16(bmp, 26), 1u) << "planes";
  EXPECT_EQ(U16(bmp, 28), 8u) << "bits per pixel";
  EXPECT_EQ(U32(bmp, 30), 0u) << "uncompressed";
  const std::uint32_t used = U32(bmp, 46);
  EXPECT_TRUE(used == 0 || used == 256) << used;
  EXPECT_EQ(kPixelsAt + kStride * kHeight, bmp.size());
  for (int row = 0; row < kHeight; ++row)
    for (std::size_t pad = kWidth; pad < kStride; ++pad)
      EXPECT_EQ(bmp[kPixelsAt + static_cast<std::size_t>(row) * kStride + pad], 0) << "row padding " << row;
}

TEST(LogonPicture, IsWhiteAroundAndOpaqueWithin) {
  const std::string bmp = ReadPicture();
  ASSERT_EQ(bmp.size(), 8638u);
  const Rgb white{255, 255, 255};
  const Rgb transparent = PixelAt(bmp, 0, kHeight - 1);
  EXPECT_EQ(transparent, white) << "the bottom-left pixel chooses the colour not painted";
  // The surround is all of that colour, so none of the picture's background covers the window's.
  for (const auto& [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {kWidth - 1, 0}, {kWidth - 1, kHeight - 1}})
    EXPECT_EQ(PixelAt(bmp, x, y), transparent) << x << "," << y;
  for (int x = 0; x < kWidth; ++x) {
    EXPECT_EQ(PixelAt(bmp, x, 0), transparent) << "top row " << x;
    EXPECT_EQ(PixelAt(bmp, x, kHeight - 1), transparent) << "bottom row " << x;
  }
  // Inside the field nothing is of that colour, or the picture would have holes.
  int purple = 0;
  for (int y = 12; y < kHeight - 12; ++y)
    for (int x = 12; x < kWidth - 12; ++x) {
      const Rgb c = PixelAt(bmp, x, y);
      ASSERT_NE(c, transparent) << "hole at " << x << "," << y;
      if (c.r > c.g + 40 && c.b > c.g + 40) ++purple;
    }
  EXPECT_GT(purple, 500) << "the field is purple";
}

}  // namespace
