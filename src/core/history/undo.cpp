#include "history/undo.h"

#include <algorithm>
#include <utility>

#include "compose/bitmap_filters.h"

namespace vorlino {

TUndoItem::TUndoItem(vorlino::Bitmap& bitmap, std::string name)
    : bitmap_(&bitmap), snapshot_(bitmap), name_(std::move(name)) {}

TUndoItem::TUndoItem(vorlino::Bitmap& bitmap, std::string name, vorlino::Bitmap&& storage)
    : bitmap_(&bitmap), snapshot_(std::move(storage)), name_(std::move(name)) {
  snapshot_.assign(bitmap);
}

bool TUndoItem::SameSize() const {
  return bitmap_->width() == snapshot_.width() && bitmap_->height() == snapshot_.height();
}

TUndoList::TUndoList(int capacity) : capacity_(std::max(capacity, 1)) {}

TUndoList::~TUndoList() {
  Clear();
}

vorlino::Bitmap TUndoList::Release(int index) {
  vorlino::Bitmap storage = std::move(items_[static_cast<std::size_t>(index)]->Snapshot());
  Delete(index);
  return storage;
}

TUndoItem* TUndoList::Add(vorlino::Bitmap& bitmap, std::string name) {
  // The discarded snapshot with the largest pixel block takes the new copy.
  vorlino::Bitmap spare;
  auto keepLarger = [&spare](vorlino::Bitmap&& storage) {
    if (storage.byteCount() > spare.byteCount()) spare = std::move(storage);
  };
  for (int i = Count() - 1; i > position_; --i) keepLarger(Release(i));
  while (Count() >= capacity_) keepLarger(Release(0));
  position_ = Count() - 1;
  auto item = std::make_unique<TUndoItem>(bitmap, std::move(name), std::move(spare));
  items_.push_back(std::move(item));
  position_ = Count() - 1;
  return items_.back().get();
}

void TUndoList::Undo() {
  if (position_ == -1) return;
  Exchange();
  --position_;
}

void TUndoList::Redo() {
  if (!Next()) return;
  ++position_;
  Exchange();
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
  Delete(Count() - 1);
  position_ = Count() - 1;
}

void TUndoList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

void TUndoList::Exchange() {
  if (position_ == -1) return;
  TUndoItem& entry = *items_[static_cast<std::size_t>(position_)];
  vorlino::Bitmap& bitmap = entry.Bitmap();
  vorlino::Bitmap& snapshot = entry.Snapshot();
  // In place only for two working bitmaps: pixels of three bytes on both sides.
  if (entry.SameSize() && bitmap.bitsPerPixel() == 24 && snapshot.bitsPerPixel() == 24) {
    ExchangePixels(bitmap, snapshot);
    bitmap.palette().swap(snapshot.palette());
    std::swap(bitmap.TransparentColor, snapshot.TransparentColor);
    std::swap(bitmap.Transparent, snapshot.Transparent);
  } else {
    bitmap.swap(snapshot);  // size, depth, palette, pixels and attributes
  }
}

}  // namespace vorlino
