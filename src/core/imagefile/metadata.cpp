#include "imagefile/metadata.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <climits>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

namespace vorlino {

struct PhotoMetadata::Tags {
  Exiv2::ExifData exif;
  Exiv2::IptcData iptc;
  Exiv2::XmpData xmp;
};

namespace {

// Exiv2 writes warnings to stderr by default, and its XMP toolkit needs one lock for every thread
// (batches read and write metadata on worker threads).
std::mutex gXmpMutex;

void lockXmp(void* data, bool lock) {
  auto* m = static_cast<std::mutex*>(data);
  if (lock)
    m->lock();
  else
    m->unlock();
}

void prepareExiv2() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::LogMsg::setHandler(nullptr);
    Exiv2::XmpParser::initialize(lockXmp, &gXmpMutex);
  });
}

// Tags that describe the file's layout (sizes, strips, tiles, sample format) or blocks kept
// elsewhere (the profile, the XMP and IPTC packets, Photoshop's resources): copied into another
// file they would be wrong, so only the photo's description is kept.
bool isFileStructureTag(std::uint16_t tag) {
  switch (tag) {
    case 254:
    case 255:
    case 256:
    case 257:
    case 258:
    case 259:
    case 262:
    case 263:
    case 266:
    case 273:
    case 277:
    case 278:
    case 279:
    case 280:
    case 281:
    case 284:
    case 317:
    case 320:
    case 322:
    case 323:
    case 324:
    case 325:
    case 330:
    case 338:
    case 339:
    case 513:
    case 514:
    case 529:
    case 530:
    case 700:
    case 33723:
    case 34377:
    case 34675:
    case 37724:
      return true;
    default:
      return false;
  }
}

// Keeps IFD0, the Exif, GPS and interoperability directories and the maker notes; drops the
// thumbnail directory, further pages and sub-images, and the layout tags of IFD0.
void keepPhotoTags(Exiv2::ExifData& exif) {
  for (auto it = exif.begin(); it != exif.end();) {
    const std::string group = it->groupName();
    const bool otherImage = group == "Thumbnail" || group.rfind("SubImage", 0) == 0 ||
                            group.rfind("SubThumb", 0) == 0 ||
                            (group.rfind("Image", 0) == 0 && group != "Image");
    if (otherImage || (group == "Image" && isFileStructureTag(it->tag())))
      it = exif.erase(it);
    else
      ++it;
  }
}

int orientationOf(const Exiv2::ExifData& exif) {
  const auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
  if (it == exif.end() || it->count() == 0) return 0;
  const long value = it->toLong(0);
  return value >= 1 && value <= 8 ? static_cast<int>(value) : 0;
}

// Sets key to value only when the bundle already has it: a photo without that tag gets none.
template <class Data, class Key>
void updateIfPresent(Data& data, const char* key, std::uint32_t value) {
  const auto it = data.findKey(Key(key));
  if (it != data.end()) *it = value;
}

void markUpright(Exiv2::ExifData& exif, Exiv2::XmpData& xmp, int width, int height) {
  if (exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation")) != exif.end())
    exif["Exif.Image.Orientation"] = std::uint16_t{1};
  const auto w = static_cast<std::uint32_t>(width);
  const auto h = static_cast<std::uint32_t>(height);
  updateIfPresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.PixelXDimension", w);
  updateIfPresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.PixelYDimension", h);
  if (xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation")) != xmp.end())
    xmp["Xmp.tiff.Orientation"] = std::uint16_t{1};
  updateIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.ImageWidth", w);
  updateIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.ImageLength", h);
  updateIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.PixelXDimension", w);
  updateIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.PixelYDimension", h);
}

}  // namespace

const std::vector<std::uint8_t>& PhotoMetadata::iccProfile() const {
  static const std::vector<std::uint8_t> none;
  return profile_ ? *profile_ : none;
}

PhotoMetadata PhotoMetadata::profileOnly() const {
  PhotoMetadata kept;
  kept.profile_ = profile_;
  return kept;
}

PhotoMetadata PhotoMetadata::withProfile(std::vector<std::uint8_t> icc) const {
  PhotoMetadata kept = *this;
  if (!icc.empty())
    kept.profile_ = std::make_shared<const std::vector<std::uint8_t>>(std::move(icc));
  return kept;
}

bool mayCarryMetadata(const std::string& extension) {
  static constexpr const char* kExtensions[] = {"jpg",  "jpeg", "jpe",  "jfif", "tif",
                                                "tiff", "png",  "psd",  "pdd",  "webp",
                                                "heic", "heif", "avif", "jxl"};
  return std::find(std::begin(kExtensions), std::end(kExtensions), extension) !=
         std::end(kExtensions);
}

PhotoMetadata readPhotoMetadata(const std::uint8_t* data, std::size_t size) noexcept {
  PhotoMetadata result;
  try {
    prepareExiv2();
    if (data == nullptr || size == 0 || size > static_cast<std::size_t>(LONG_MAX)) return result;
    // Exiv2 reads the caller's bytes in place (its memory stream copies only on a write).
    auto image = Exiv2::ImageFactory::open(data, static_cast<long>(size));
    if (!image.get()) return result;
    image->readMetadata();

    auto tags = std::make_shared<PhotoMetadata::Tags>();
    tags->exif = image->exifData();
    tags->iptc = image->iptcData();
    tags->xmp = image->xmpData();
    result.orientation_ = orientationOf(tags->exif);
    keepPhotoTags(tags->exif);
    if (!tags->exif.empty() || !tags->iptc.empty() || !tags->xmp.empty())
      result.tags_ = std::move(tags);

    if (image->iccProfileDefined()) {
      const Exiv2::DataBuf* icc = image->iccProfile();
      if (icc->size_ > 0)
        result.profile_ = std::make_shared<const std::vector<std::uint8_t>>(
            icc->pData_, icc->pData_ + icc->size_);
    }
  } catch (...) {
    // Damaged or unknown metadata is no reason to refuse the picture: whatever was read is kept.
  }
  return result;
}

std::vector<std::uint8_t> largestJpegPreview(const std::uint8_t* data, std::size_t size) noexcept {
  try {
    prepareExiv2();
    if (data == nullptr || size == 0 || size > static_cast<std::size_t>(LONG_MAX)) return {};
    auto image = Exiv2::ImageFactory::open(data, static_cast<long>(size));
    if (!image.get()) return {};
    image->readMetadata();
    Exiv2::PreviewManager previews(*image);
    const Exiv2::PreviewPropertiesList list = previews.getPreviewProperties();
    // The list goes from the smallest preview to the largest.
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
      if (it->mimeType_ != "image/jpeg") continue;
      const Exiv2::PreviewImage preview = previews.getPreviewImage(*it);
      return std::vector<std::uint8_t>(preview.pData(), preview.pData() + preview.size());
    }
  } catch (...) {
    // Damaged metadata: no preview, the picture itself still decodes.
  }
  return {};
}

namespace {

// Exiv2 writes the tags into an in-memory copy of the file and hands back the whole new file.
std::vector<std::uint8_t> writeWithExiv2(const PhotoMetadata::Tags* tags,
                                         const std::vector<std::uint8_t>* profile, int width,
                                         int height, const std::uint8_t* file, std::size_t size) {
  if (size > static_cast<std::size_t>(LONG_MAX)) throw std::length_error("file too large");
  auto image = Exiv2::ImageFactory::open(file, static_cast<long>(size));
  if (!image.get()) throw std::runtime_error("no metadata writer for this format");
  if (tags) {
    Exiv2::ExifData exif = tags->exif;
    Exiv2::XmpData xmp = tags->xmp;
    markUpright(exif, xmp, width, height);
    image->setExifData(exif);
    image->setIptcData(tags->iptc);
    image->setXmpData(xmp);
  }
  if (profile && !profile->empty()) {
    Exiv2::DataBuf icc(profile->data(), static_cast<long>(profile->size()));
    image->setIccProfile(icc, false);
  }
  image->writeMetadata();
  Exiv2::BasicIo& io = image->io();
  if (io.open() != 0) throw std::runtime_error("metadata stream");
  const long n = io.size();
  const Exiv2::byte* bytes = io.mmap();
  std::vector<std::uint8_t> written(bytes, bytes + n);
  io.munmap();
  io.close();
  return written;
}

// The first SOS segment of a JPEG as [start, end); {0, 0} when the segments before it do not
// follow the plain layout the encoder writes.
std::pair<std::size_t, std::size_t> jpegScanHeader(const std::vector<std::uint8_t>& f) {
  if (f.size() < 4 || f[0] != 0xFF || f[1] != 0xD8) return {0, 0};
  std::size_t pos = 2;
  while (pos + 4 <= f.size() && f[pos] == 0xFF) {
    const std::size_t length = static_cast<std::size_t>(f[pos + 2]) << 8 | f[pos + 3];
    if (length < 2 || pos + 2 + length > f.size()) break;
    if (f[pos + 1] == 0xDA) return {pos, pos + 2 + length};
    pos += 2 + length;
  }
  return {0, 0};
}

}  // namespace

CodecResult embedPhotoMetadata(const PhotoMetadata& metadata, int width, int height,
                               std::vector<std::uint8_t>& file) noexcept {
  if (metadata.empty()) return CodecResult::success();
  try {
    prepareExiv2();
    const PhotoMetadata::Tags* tags = metadata.tags_.get();
    const std::vector<std::uint8_t>* profile = metadata.profile_.get();
    // A JPEG's metadata lives before its scan: Exiv2 rewrites the segments up to the SOS header
    // and copies what follows unchanged, so only that head goes through it, not the megabytes of
    // compressed data. Its output must end with the same SOS header, or the whole file is used.
    const auto [sos, scan] = jpegScanHeader(file);
    if (scan != 0) {
      std::vector<std::uint8_t> head =
          writeWithExiv2(tags, profile, width, height, file.data(), scan);
      const std::size_t sosBytes = scan - sos;
      if (head.size() >= sosBytes &&
          std::equal(head.end() - static_cast<std::ptrdiff_t>(sosBytes), head.end(),
                     file.begin() + static_cast<std::ptrdiff_t>(sos))) {
        head.reserve(head.size() + file.size() - scan);
        head.insert(head.end(), file.begin() + static_cast<std::ptrdiff_t>(scan), file.end());
        file.swap(head);
        return CodecResult::success();
      }
    }
    std::vector<std::uint8_t> written =
        writeWithExiv2(tags, profile, width, height, file.data(), file.size());
    file.swap(written);
    return CodecResult::success();
  } catch (const std::bad_alloc&) {
    return CodecResult::fail(CodecError::ceNoMemory, "out of memory");
  } catch (const std::exception& e) {
    return CodecResult::fail(CodecError::ceDamaged, e.what());
  } catch (...) {
    return CodecResult::fail(CodecError::ceDamaged, "metadata not written");
  }
}

}  // namespace vorlino
