// Bounded undo and redo history of whole-image snapshots.
//
// One snapshot serves both directions: undoing an action exchanges the entry's snapshot with the
// working bitmap, so the entry then holds the state after the action, ready for redo; redoing
// exchanges them again. Entries 0..Position are the states before the actions in effect (oldest
// first); entries after Position are the states after the undone actions, in redo order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"

namespace vorlino {

// One history entry: a full copy (Snapshot) of the bitmap it was taken from (Bitmap, not owned,
// always the working bitmap), and the name of the action that followed.
class TUndoItem {
 public:
  // Snapshot := copy of bitmap (size, depth, palette, pixels, attributes).
  TUndoItem(vorlino::Bitmap& bitmap, std::string name);
  // The same, copying into `storage`, whose pixel block is reused when it is large enough.
  TUndoItem(vorlino::Bitmap& bitmap, std::string name, vorlino::Bitmap&& storage);

  vorlino::Bitmap& Bitmap() const { return *bitmap_; }
  vorlino::Bitmap& Snapshot() { return snapshot_; }
  const vorlino::Bitmap& Snapshot() const { return snapshot_; }
  const std::string& Name() const { return name_; }
  // Bitmap and Snapshot have equal width and equal height.
  bool SameSize() const;

 private:
  vorlino::Bitmap* bitmap_;
  vorlino::Bitmap snapshot_;
  std::string name_;
};

class TUndoList {
 public:
  // capacity: the largest number of entries kept (at least 1).
  explicit TUndoList(int capacity);
  ~TUndoList();
  TUndoList(const TUndoList&) = delete;
  TUndoList& operator=(const TUndoList&) = delete;

  // Records a snapshot of `bitmap` before an action named `name`: discards the redo entries, then
  // the oldest entry when the list is full, and appends the new entry, which becomes current.
  // The storage of a discarded snapshot is reused for the copy. A failed copy (std::bad_alloc)
  // propagates with the list consistent: Position is the newest remaining entry.
  TUndoItem* Add(vorlino::Bitmap& bitmap, std::string name);
  // Reverts the current entry's action (nothing without one).
  void Undo();
  // Reapplies the next undone action (nothing without one).
  void Redo();
  // Drops the whole history.
  void Clear();
  // The entry at Position, or nullptr: undo is possible exactly when there is one.
  TUndoItem* Current() const;
  // The entry after Position, or nullptr: redo is possible exactly when there is one.
  TUndoItem* Next() const;
  // Removes the last entry, undo or redo alike; Position becomes the new last index.
  void DropNewest();

  const std::vector<std::unique_ptr<TUndoItem>>& Items() const { return items_; }
  int Count() const { return static_cast<int>(items_.size()); }
  int Capacity() const { return capacity_; }
  int Position() const { return position_; }

 private:
  // Destroys the entry at index; an index outside the list is ignored. Position is the caller's.
  void Delete(int index);
  // Exchanges the current entry's snapshot with its bitmap: pixels in place when the sizes agree
  // (no allocation, the bitmap keeps its pixel block), whole bitmaps otherwise.
  void Exchange();
  // Removes the entry at index and returns its snapshot's storage for reuse.
  vorlino::Bitmap Release(int index);

  std::vector<std::unique_ptr<TUndoItem>> items_;
  int capacity_;
  int position_ = -1;
};

}  // namespace vorlino
