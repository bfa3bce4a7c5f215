// Builds small WMF and EMF byte streams record by record, for tests of the metafile players.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vorlino::test {

inline void put16(std::vector<std::uint8_t>& v, unsigned x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
inline void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}

// WMF: records of 16-bit words. A placeable header is written when unitsPerInch is not 0.
class WmfBuilder {
 public:
  WmfBuilder(int left, int top, int right, int bottom, unsigned unitsPerInch) {
    if (unitsPerInch) {
      put32(bytes_, 0x9AC6CDD7);
      put16(bytes_, 0);
      for (int c : {left, top, right, bottom}) put16(bytes_, static_cast<unsigned>(c));
      put16(bytes_, unitsPerInch);
      put32(bytes_, 0);
      put16(bytes_, 0);  // checksum, not checked by readers
    }
    headerAt_ = bytes_.size();
    put16(bytes_, 1);      // in memory
    put16(bytes_, 9);      // header words
    put16(bytes_, 0x300);  // version
    put32(bytes_, 0);      // size in words, patched by finish()
    put16(bytes_, 16);     // objects
    put32(bytes_, 0);      // largest record
    put16(bytes_, 0);
  }
  // A record whose parameters are the given words (signed values are written as 16 bits).
  WmfBuilder& rec(unsigned function, std::initializer_list<int> words) {
    put32(bytes_, static_cast<std::uint32_t>(3 + words.size()));
    put16(bytes_, function);
    for (int w : words) put16(bytes_, static_cast<unsigned>(w));
    return *this;
  }
  WmfBuilder& recBytes(unsigned function, const std::vector<std::uint8_t>& params) {
    std::vector<std::uint8_t> p = params;
    if (p.size() % 2) p.push_back(0);
    put32(bytes_, static_cast<std::uint32_t>(3 + p.size() / 2));
    put16(bytes_, function);
    bytes_.insert(bytes_.end(), p.begin(), p.end());
    return *this;
  }
  // Raw bytes, for records that lie about their size.
  WmfBuilder& raw(const std::vector<std::uint8_t>& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  std::vector<std::uint8_t> finish(bool endRecord = true) {
    if (endRecord) rec(0, {});
    std::vector<std::uint8_t> out = bytes_;
    const std::uint32_t words = static_cast<std::uint32_t>((out.size() - headerAt_) / 2);
    for (int i = 0; i < 4; ++i)
      out[headerAt_ + 6 + i] = static_cast<std::uint8_t>(words >> (8 * i));
    return out;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t headerAt_ = 0;
};

// EMF: records of 32-bit values. The reference device has 96 pixels per inch (960 pixels on
// 254 mm), so device pixels and output pixels agree when the frame starts at 0.
class EmfBuilder {
 public:
  // frame: hundredths of a millimetre (2540 = one inch = 96 pixels).
  EmfBuilder(int left, int top, int right, int bottom) {
    put32(bytes_, 1);
    put32(bytes_, 88);
    for (int c : {0, 0, 0, 0}) put32(bytes_, static_cast<std::uint32_t>(c));  // bounds
    for (int c : {left, top, right, bottom}) put32(bytes_, static_cast<std::uint32_t>(c));
    put32(bytes_, 0x464D4520);
    put32(bytes_, 0x10000);
    put32(bytes_, 0);   // bytes, patched
    put32(bytes_, 0);   // records
    put16(bytes_, 16);  // handles
    put16(bytes_, 0);
    put32(bytes_, 0);  // description
    put32(bytes_, 0);
    put32(bytes_, 0);  // palette entries
    put32(bytes_, 960);
    put32(bytes_, 960);
    put32(bytes_, 254);
    put32(bytes_, 254);
  }
  EmfBuilder& rec(std::uint32_t type, std::initializer_list<std::int64_t> values) {
    put32(bytes_, type);
    put32(bytes_, static_cast<std::uint32_t>(8 + 4 * values.size()));
    for (std::int64_t v : values) put32(bytes_, static_cast<std::uint32_t>(v));
    return *this;
  }
  EmfBuilder& recBytes(std::uint32_t type, const std::vector<std::uint8_t>& params) {
    std::vector<std::uint8_t> p = params;
    while (p.size() % 4) p.push_back(0);
    put32(bytes_, type);
    put32(bytes_, static_cast<std::uint32_t>(8 + p.size()));
    bytes_.insert(bytes_.end(), p.begin(), p.end());
    return *this;
  }
  EmfBuilder& raw(const std::vector<std::uint8_t>& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  std::vector<std::uint8_t> finish(bool endRecord = true) {
    if (endRecord) rec(14, {0, 16, 20});
    std::vector<std::uint8_t> out = bytes_;
    const auto n = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i) out[48 + i] = static_cast<std::uint8_t>(n >> (8 * i));
    return out;
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

// A bottom-up 24-bit DIB (info header, then rows) of w x h pixels; rgb(x, y) gives the colour
// 0x00RRGGBB of the pixel at column x of row y counted from the top.
template <class F>
std::vector<std::uint8_t> makeDib24(int w, int h, F rgb) {
  std::vector<std::uint8_t> v;
  put32(v, 40);
  put32(v, static_cast<std::uint32_t>(w));
  put32(v, static_cast<std::uint32_t>(h));
  put16(v, 1);
  put16(v, 24);
  for (int i = 0; i < 6; ++i) put32(v, 0);
  const int stride = (w * 3 + 3) / 4 * 4;
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const std::uint32_t c = rgb(x, y);
      v.push_back(static_cast<std::uint8_t>(c));
      v.push_back(static_cast<std::uint8_t>(c >> 8));
      v.push_back(static_cast<std::uint8_t>(c >> 16));
    }
    for (int p = w * 3; p < stride; ++p) v.push_back(0);
  }
  return v;
}

}  // namespace vorlino::test
