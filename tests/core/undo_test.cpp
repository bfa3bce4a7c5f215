#include "history/undo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_images.h"

namespace vorlino {
namespace {

// An action that keeps the size: every byte changes.
void invert(Bitmap& b) {
  for (int y = 0; y < b.height(); ++y)
    for (std::size_t i = 0; i < static_cast<std::size_t>(b.width()) * 3; ++i)
      b.row(y)[i] = static_cast<std::uint8_t>(~b.row(y)[i]);
}

// Records `name`, then changes the image to a new state made from `seed`.
void act(TUndoList& list, Bitmap& working, const std::string& name, std::uint32_t seed) {
  list.Add(working, name);
  working = test::randomBitmap(working.width(), working.height(), seed);
}

TEST(UndoListTest, SevenActionsWithCapacitySix) {
  Bitmap working = test::randomBitmap(7, 5, 100);
  TUndoList list(6);
  std::vector<Bitmap> states{working};
  for (int i = 1; i <= 7; ++i) {
    act(list, working, "Action " + std::to_string(i), static_cast<std::uint32_t>(100 + i));
    states.push_back(working);
  }
  EXPECT_EQ(list.Count(), 6);
  EXPECT_EQ(list.Position(), 5);
  EXPECT_EQ(list.Items().front()->Name(), "Action 2");
  for (int i = 7; i >= 2; --i) {
    ASSERT_NE(list.Current(), nullptr);
    EXPECT_EQ(list.Current()->Name(), "Action " + std::to_string(i));
    list.Undo();
    EXPECT_TRUE(working == states[static_cast<std::size_t>(i - 1)]) << i;
  }
  EXPECT_EQ(list.Current(), nullptr);  // the first action cannot be undone any more
  EXPECT_EQ(list.Position(), -1);
  list.Undo();
  EXPECT_TRUE(working == states[1]);
  // All six redo, in order, back to the last state.
  for (int i = 2; i <= 7; ++i) {
    ASSERT_NE(list.Next(), nullptr);
    EXPECT_EQ(list.Next()->Name(), "Action " + std::to_string(i));
    list.Redo();
    EXPECT_TRUE(working == states[static_cast<std::size_t>(i)]) << i;
  }
  EXPECT_EQ(list.Next(), nullptr);
  list.Redo();
  EXPECT_TRUE(working == states[7]);
}

TEST(UndoListTest, NewActionDiscardsRedoEntries) {
  Bitmap working = test::randomBitmap(6, 4, 1);
  TUndoList list(6);
  act(list, working, "Masque", 2);
  act(list, working, "Taille de l'image", 3);
  list.Undo();
  ASSERT_NE(list.Next(), nullptr);
  act(list, working, "Masque", 4);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Position(), 1);
  EXPECT_EQ(list.Next(), nullptr);
  EXPECT_EQ(list.Current()->Name(), "Masque");
  EXPECT_EQ(list.Items()[0]->Name(), "Masque");
}

TEST(UndoListTest, SameSizeUndoRestoresBytesAndAttributes) {
  Bitmap working = test::randomBitmap(13, 9, 5);  // odd width: row padding present
  working.Transparent = false;
  working.TransparentColor = rgb(1, 2, 3);
  const Bitmap before = working;
  TUndoList list(6);
  TUndoItem* item = list.Add(working, "Masque");
  EXPECT_EQ(&item->Bitmap(), &working);
  ASSERT_NE(item->WholeSnapshot(), nullptr);
  EXPECT_TRUE(*item->WholeSnapshot() == before);
  invert(working);
  working.Transparent = true;
  working.TransparentColor = kTransparentKey;
  const Bitmap after = working;
  const std::uint8_t* block = working.bits();

  list.Undo();
  EXPECT_TRUE(working == before);
  EXPECT_EQ(working.bits(), block);  // exchanged in place: the view's pixel block stays
  ASSERT_NE(list.Next(), nullptr);
  EXPECT_TRUE(list.Next()->SameSize());
  EXPECT_TRUE(list.Next()->CopySnapshot() == after);
  list.Redo();
  EXPECT_TRUE(working == after);
  EXPECT_EQ(working.bits(), block);
  EXPECT_TRUE(list.Current()->CopySnapshot() == before);
}

TEST(UndoListTest, ResizeIsExchangedWhole) {
  Bitmap working = test::randomBitmap(20, 10, 6);
  working.Transparent = true;
  working.TransparentColor = kTransparentKey;
  const Bitmap before = working;
  TUndoList list(6);
  list.Add(working, "Taille de l'image");
  working = test::randomBitmap(11, 31, 7);
  const Bitmap after = working;
  EXPECT_FALSE(list.Current()->SameSize());

  list.Undo();
  EXPECT_TRUE(working == before);
  EXPECT_TRUE(list.Next()->CopySnapshot() == after);
  EXPECT_FALSE(list.Next()->SameSize());
  list.Redo();
  EXPECT_TRUE(working == after);
  EXPECT_TRUE(list.Current()->CopySnapshot() == before);

  // Same size but another depth (a palette form) is exchanged whole too, never as 3-byte pixels.
  Bitmap indexed = test::randomBitmap(11, 31, 8, 8);
  TUndoList other(6);
  other.Add(indexed, "Masque");
  const Bitmap paletted = indexed;
  indexed = test::randomBitmap(11, 31, 9);
  const Bitmap full = indexed;
  other.Undo();
  EXPECT_TRUE(indexed == paletted);
  other.Redo();
  EXPECT_TRUE(indexed == full);
}

TEST(UndoListTest, DropNewest) {
  Bitmap working = test::randomBitmap(4, 4, 10);
  TUndoList list(6);
  list.Add(working, "Masque");
  list.DropNewest();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Position(), -1);
  list.DropNewest();  // nothing to drop
  EXPECT_EQ(list.Position(), -1);

  // After an undo the redo entry goes, not the current one.
  const Bitmap start = working;
  act(list, working, "A", 11);
  const Bitmap afterA = working;
  act(list, working, "B", 12);
  list.Undo();
  list.DropNewest();
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Position(), 0);
  EXPECT_EQ(list.Current()->Name(), "A");
  EXPECT_EQ(list.Next(), nullptr);
  EXPECT_TRUE(working == afterA);

  // Two actions then DropNewest: one undo goes back to the state before the first action.
  list.Clear();
  working = start;
  act(list, working, "A", 11);
  act(list, working, "B", 12);
  list.DropNewest();
  EXPECT_EQ(list.Position(), 0);
  list.Undo();
  EXPECT_TRUE(working == start);
  EXPECT_EQ(list.Current(), nullptr);
}

TEST(UndoListTest, SnapshotIsIndependent) {
  Bitmap working = test::randomBitmap(8, 8, 20);
  const Bitmap before = working;
  TUndoList list(2);
  list.Add(working, "A");
  invert(working);  // writing the working bitmap leaves the snapshot alone
  EXPECT_TRUE(list.Current()->CopySnapshot() == before);
  list.Add(working, "B");
  TUndoItem* c = list.Add(working, "C");  // list full: A's entry goes
  EXPECT_TRUE(c->CopySnapshot() == working);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items()[0]->Name(), "B");

  // A zero capacity still keeps one entry, so the newest action can always be undone.
  TUndoList tiny(0);
  tiny.Add(working, "A");
  tiny.Add(working, "B");
  EXPECT_EQ(tiny.Count(), 1);
  EXPECT_EQ(tiny.Current()->Name(), "B");
}

TEST(UndoListTest, ClearEmptiesTheHistory) {
  Bitmap working = test::randomBitmap(5, 5, 30);
  TUndoList list(6);
  act(list, working, "A", 31);
  act(list, working, "B", 32);
  list.Undo();
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Position(), -1);
  EXPECT_EQ(list.Current(), nullptr);
  EXPECT_EQ(list.Next(), nullptr);
  const Bitmap kept = working;
  list.Undo();
  list.Redo();
  EXPECT_TRUE(working == kept);
}

}  // namespace
}  // namespace vorlino
