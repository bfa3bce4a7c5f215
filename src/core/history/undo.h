// Bounded undo and redo history of whole-image snapshots.
//
// One snapshot serves both directions: undoing an action exchanges the entry's snapshot with the
// working bitmap, so the entry then holds the state after the action, ready for redo; redoing
// exchanges them again. Entries 0..Position are the states before the actions in effect (oldest
// first); entries after Position are the states after the undone actions, in redo order.
//
// A snapshot costs what its action changed. It is a whole copy only from Add until the list is
// settled (by Settle, the next Add, or an undo or redo); it is then stored as the difference from
// the state at the other end of its action (the bytes of both XORed, so one difference serves undo
// and redo alike), compressed by a background thread, or, when the action changed the size or the
// depth, as the compressed snapshot itself. Restores are exact to the bit, row padding included,
// and never wait for the compression: until it is done the uncompressed bytes are read.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "bitmap/bitmap.h"
#include "history/packed_bytes.h"

namespace vorlino {

// One history entry: the snapshot of the bitmap it was taken from (Bitmap, not owned, always the
// working bitmap), and the name of the action that followed.
class TUndoItem {
 public:
  // The snapshot starts as a whole copy of bitmap (size, depth, palette, pixels, attributes).
  TUndoItem(vorlino::Bitmap& bitmap, std::string name);
  ~TUndoItem();

  vorlino::Bitmap& Bitmap() const { return *bitmap_; }
  const std::string& Name() const { return name_; }
  // Bitmap and the snapshot have equal width and equal height.
  bool SameSize() const;
  // The snapshot while it is still a whole copy (from Add until the list settles it), else null.
  vorlino::Bitmap* WholeSnapshot() { return form_ == Form::kWhole ? &whole_ : nullptr; }
  // A whole copy of the snapshot, for the entries next to the working bitmap (the list's Current
  // and Next): the others are stored against states the working bitmap no longer holds.
  vorlino::Bitmap CopySnapshot() const;
  // The memory the snapshot holds now, in bytes.
  std::size_t StoredBytes() const;

 private:
  friend class TUndoList;
  enum class Form { kWhole, kDelta, kPacked };

  // Stores a whole snapshot compactly, Bitmap holding the state at the other end of the action.
  // Nothing changes when that fails (out of memory): the entry stays whole.
  void Pack(BytePacker& packer) noexcept;
  // Exchanges the snapshot with Bitmap, then packs it.
  void Exchange(BytePacker& packer);
  // Turns `state`, a copy of the state at the other end of the action, into the snapshot.
  void RestoreOnto(vorlino::Bitmap& state) const;
  // Gives the snapshot's attributes (palette, transparency) and Bitmap's to each other.
  void SwapAttributes(vorlino::Bitmap& bitmap);

  vorlino::Bitmap* bitmap_;
  std::string name_;
  Form form_ = Form::kWhole;
  vorlino::Bitmap whole_;  // kWhole: the snapshot
  // kDelta and kPacked: the snapshot's shape and attributes, and its bytes (XORed with Bitmap's
  // for kDelta).
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 24;
  std::vector<PaletteColor> palette_;
  bool transparent_ = false;
  Color transparentColor_ = 0;
  std::unique_ptr<PackedBytes> packed_;
};

class TUndoList {
 public:
  // capacity: the largest number of entries kept (at least 1).
  explicit TUndoList(int capacity);
  ~TUndoList();
  TUndoList(const TUndoList&) = delete;
  TUndoList& operator=(const TUndoList&) = delete;

  // Records a snapshot of `bitmap` before an action named `name`: settles the current entry,
  // discards the redo entries, then the oldest entry when the list is full, and appends the new
  // entry, which becomes current. A failed copy (std::bad_alloc) propagates with the list
  // consistent: Position is the newest remaining entry.
  TUndoItem* Add(vorlino::Bitmap& bitmap, std::string name);
  // Tells the list that the current action is finished, so that its snapshot can be stored
  // compactly now rather than at the next Add. Call it only once the working bitmap holds the
  // action's result.
  void Settle();
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
  // Removes the last entry, undo or redo alike; Position becomes the new last index. Removing the
  // current entry restores its predecessor's snapshot against the working bitmap first, which may
  // throw std::bad_alloc; the list is unchanged then.
  void DropNewest();

  const std::vector<std::unique_ptr<TUndoItem>>& Items() const { return items_; }
  int Count() const { return static_cast<int>(items_.size()); }
  int Capacity() const { return capacity_; }
  int Position() const { return position_; }

  // The memory all snapshots hold now, in bytes.
  std::size_t StoredBytes() const;
  // True while snapshots are being compressed in the background.
  bool Packing() const { return packer_.busy(); }
  // Returns once the background compression has caught up.
  void WaitPacked() const { packer_.waitIdle(); }

 private:
  // Destroys the entry at index; an index outside the list is ignored. Position is the caller's.
  void Delete(int index);

  BytePacker packer_;  // declared first: it outlives the entries
  std::vector<std::unique_ptr<TUndoItem>> items_;
  int capacity_;
  int position_ = -1;
};

}  // namespace vorlino
