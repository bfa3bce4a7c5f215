#include "history/undo.h"

#include <algorithm>
#include <utility>

#include "compose/bitmap_filters.h"

namespace vorlino {

// ---- TUndoItem
// ------------------------------------------------------------------------------------

TUndoItem::TUndoItem(vorlino::Bitmap& bitmap, std::string name)
    : bitmap_(&bitmap), name_(std::move(name)), whole_(bitmap) {}

TUndoItem::~TUndoItem() = default;

bool TUndoItem::SameSize() const {
  if (form_ == Form::kWhole)
    return bitmap_->width() == whole_.width() && bitmap_->height() == whole_.height();
  return bitmap_->width() == width_ && bitmap_->height() == height_;
}

std::size_t TUndoItem::StoredBytes() const {
  return form_ == Form::kWhole ? whole_.byteCount() : packed_->storedBytes();
}

vorlino::Bitmap TUndoItem::CopySnapshot() const {
  vorlino::Bitmap snapshot;
  if (form_ == Form::kDelta) snapshot = *bitmap_;
  RestoreOnto(snapshot);
  return snapshot;
}

void TUndoItem::Pack(BytePacker& packer) noexcept {
  if (form_ != Form::kWhole) return;
  const vorlino::Bitmap& other = *bitmap_;
  // Equal width and depth give equal row strides: the two pixel blocks line up byte for byte.
  const bool delta = whole_.width() == other.width() && whole_.height() == other.height() &&
                     whole_.bitsPerPixel() == 24 && other.bitsPerPixel() == 24;
  const int width = whole_.width();
  const int height = whole_.height();
  const int bitsPerPixel = whole_.bitsPerPixel();
  const bool transparent = whole_.Transparent;
  const Color transparentColor = whole_.TransparentColor;
  if (delta) xorBytes(whole_.bits(), other.bits(), whole_.byteCount());
  try {
    std::vector<PaletteColor> palette = whole_.palette();
    // Leaves whole_ untouched when it fails.
    auto packed = std::make_unique<PackedBytes>(std::move(whole_), packer);
    packed_ = std::move(packed);
    palette_ = std::move(palette);
  } catch (...) {
    if (delta) xorBytes(whole_.bits(), other.bits(), whole_.byteCount());
    return;
  }
  width_ = width;
  height_ = height;
  bitsPerPixel_ = bitsPerPixel;
  transparent_ = transparent;
  transparentColor_ = transparentColor;
  whole_ = vorlino::Bitmap();
  form_ = delta ? Form::kDelta : Form::kPacked;
}

void TUndoItem::SwapAttributes(vorlino::Bitmap& bitmap) {
  bitmap.palette().swap(palette_);
  std::swap(bitmap.TransparentColor, transparentColor_);
  std::swap(bitmap.Transparent, transparent_);
}

void TUndoItem::RestoreOnto(vorlino::Bitmap& state) const {
  if (form_ == Form::kWhole) {
    state = whole_;
    return;
  }
  if (form_ == Form::kDelta) {
    packed_->xorInto(state.bits());
  } else {
    state.resetForOverwrite(width_, height_, bitsPerPixel_);
    packed_->copyInto(state.bits());
  }
  state.palette() = palette_;
  state.Transparent = transparent_;
  state.TransparentColor = transparentColor_;
}

void TUndoItem::Exchange(BytePacker& packer) {
  vorlino::Bitmap& bitmap = *bitmap_;
  switch (form_) {
    case Form::kWhole:
      // In place only for two working bitmaps: pixels of three bytes on both sides.
      if (SameSize() && bitmap.bitsPerPixel() == 24 && whole_.bitsPerPixel() == 24) {
        ExchangePixels(bitmap, whole_);
        bitmap.palette().swap(whole_.palette());
        std::swap(bitmap.TransparentColor, whole_.TransparentColor);
        std::swap(bitmap.Transparent, whole_.Transparent);
      } else {
        bitmap.swap(whole_);  // size, depth, palette, pixels and attributes
      }
      break;
    case Form::kDelta:
      // The same bytes turn either state into the other, in place.
      packed_->xorInto(bitmap.bits());
      SwapAttributes(bitmap);
      return;
    case Form::kPacked: {
      vorlino::Bitmap restored;
      RestoreOnto(restored);
      bitmap.swap(restored);
      whole_ = std::move(restored);
      packed_.reset();
      palette_.clear();
      form_ = Form::kWhole;
      break;
    }
  }
  Pack(packer);
}

// ---- TUndoList
// ------------------------------------------------------------------------------------

TUndoList::TUndoList(int capacity) : capacity_(std::max(capacity, 1)) {}

TUndoList::~TUndoList() {
  Clear();
}

TUndoItem* TUndoList::Add(vorlino::Bitmap& bitmap, std::string name) {
  Settle();
  for (int i = Count() - 1; i > position_; --i) Delete(i);
  while (Count() >= capacity_) Delete(0);
  position_ = Count() - 1;
  items_.push_back(std::make_unique<TUndoItem>(bitmap, std::move(name)));
  position_ = Count() - 1;
  return items_.back().get();
}

void TUndoList::Settle() {
  // Only an entry next to the working bitmap can still be whole: the one just added.
  for (TUndoItem* entry : {Current(), Next()})
    if (entry != nullptr) entry->Pack(packer_);
}

void TUndoList::Undo() {
  if (position_ == -1) return;
  Current()->Exchange(packer_);
  --position_;
}

void TUndoList::Redo() {
  if (!Next()) return;
  Next()->Exchange(packer_);
  ++position_;
}

void TUndoList::Clear() {
  while (!items_.empty()) items_.pop_back();
  position_ = -1;
}

TUndoItem* TUndoList::Current() const {
  return position_ == -1 ? nullptr : items_[static_cast<std::size_t>(position_)].get();
}

TUndoItem* TUndoList::Next() const {
  return position_ < Count() - 1 ? items_[static_cast<std::size_t>(position_ + 1)].get() : nullptr;
}

void TUndoList::DropNewest() {
  const int last = Count() - 1;
  TUndoItem* previous = last >= 1 ? items_[static_cast<std::size_t>(last - 1)].get() : nullptr;
  // Dropping the current entry makes its predecessor the one next to the working bitmap. A
  // difference was taken from the state the dropped entry holds, so it is rebuilt first.
  if (last == position_ && previous != nullptr && previous->form_ == TUndoItem::Form::kDelta) {
    const TUndoItem& dropped = *items_[static_cast<std::size_t>(last)];
    vorlino::Bitmap state = dropped.Bitmap();
    dropped.RestoreOnto(state);    // before the dropped action
    previous->RestoreOnto(state);  // before the one preceding it
    previous->whole_ = std::move(state);
    previous->packed_.reset();
    previous->palette_.clear();
    previous->form_ = TUndoItem::Form::kWhole;
  }
  Delete(last);
  position_ = Count() - 1;
  Settle();
}

void TUndoList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

std::size_t TUndoList::StoredBytes() const {
  std::size_t total = 0;
  for (const auto& entry : items_) total += entry->StoredBytes();
  return total;
}

}  // namespace vorlino
