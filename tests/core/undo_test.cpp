#include "history/undo.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "compose/mask_build.h"
#include "compose/quarter_turn.h"
#include "compose/resample.h"
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

// ---- compact snapshots
// ----------------------------------------------------------------------------

// A photo-sized mask picture: a vignette, black at the borders, white inside.
Bitmap vignettePicture() {
  Bitmap picture(64, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const int edge = std::min({x, y, 63 - x, 47 - y});
      const auto v = static_cast<std::uint8_t>(std::min(255, edge * 40));
      picture.setPixel(x, y, rgb(v, v, v));
    }
  return picture;
}

// The window's commands as they change the working bitmap, and a rule for whether the list should
// store the command's snapshot as a difference or whole.
struct Command {
  std::string name;
  std::function<void(Bitmap&)> run;
};

std::vector<Command> everyCommand() {
  const Bitmap picture = vignettePicture();
  auto mask = [picture](TResultFormat format) {
    return [picture, format](Bitmap& working) {
      MaskOptions options;
      options.soften = true;
      options.format = format;
      const auto built = BuildMaskBitmap(picture, working.width(), working.height(), options);
      ASSERT_TRUE(built.has_value());
      ApplyMaskBitmap(working, *built, format, BlendOptions{60, rgb(200, 30, 90)});
    };
  };
  return {
      {"Masque", mask(rfCouleursRVB)},
      {"Masque", mask(rfTransparent)},
      {"Taille de l'image",
       [](Bitmap& working) {
         Bitmap resized;
         ResampleBitmap(static_cast<std::uint32_t>(working.width() * 3 / 4),
                        static_cast<std::uint32_t>(working.height() + 7), rkLanczos3, 0, working,
                        resized);
         working.swap(resized);
       }},
      {"Rotation", [](Bitmap& working) { RotateQuarter(working, true); }},
      {"Coller",
       [](Bitmap& working) {
         working = test::randomBitmap(working.width(), working.height(), 77);
         working.palette().assign(3, PaletteColor{1, 2, 3, 0});  // kept by a BMP's 24-bit form
       }},
      {"Coller", [](Bitmap& working) { working = test::randomBitmap(90, 60, 78, 8); }},
      {"Coller", [](Bitmap& working) { working = test::randomBitmap(1205, 903, 79); }},
  };
}

// Many steps of every command, settled in each of the ways the list allows (at once, by the next
// Add, with or without waiting for the packer), then undone and redone to the end: every state
// comes back exactly, row padding included.
TEST(UndoListTest, CompactSnapshotsRestoreEveryStateExactly) {
  Bitmap working = test::randomBitmap(1203, 901, 70);  // odd width: row padding, several pieces
  TUndoList list(6);
  std::vector<Bitmap> states{working};
  std::vector<std::vector<std::uint8_t>> blocks;  // padding included
  auto keepBlock = [&blocks](const Bitmap& b) {
    blocks.emplace_back(b.bits(), b.bits() + b.byteCount());
  };
  keepBlock(working);
  auto sameBlock = [&blocks](const Bitmap& b, std::size_t i) {
    return b.byteCount() == blocks[i].size() &&
           std::equal(blocks[i].begin(), blocks[i].end(), b.bits());
  };
  const std::vector<Command> commands = everyCommand();
  for (std::size_t step = 0; step < 2 * commands.size(); ++step) {
    const Command& command = commands[step % commands.size()];
    list.Add(working, command.name);
    command.run(working);
    if (step % 3 == 0) list.Settle();
    if (step % 4 == 1) list.WaitPacked();
    states.push_back(working);
    keepBlock(working);
  }
  const std::size_t last = states.size() - 1;
  for (std::size_t k = 0; k < 6; ++k) {
    list.Undo();
    const std::size_t expected = last - 1 - k;
    EXPECT_TRUE(working == states[expected]) << "undo " << k;
    EXPECT_TRUE(sameBlock(working, expected)) << "undo " << k;
    if (k == 2) list.WaitPacked();
  }
  EXPECT_EQ(list.Current(), nullptr);
  for (std::size_t k = 0; k < 6; ++k) {
    list.Redo();
    const std::size_t expected = last - 5 + k;
    EXPECT_TRUE(working == states[expected]) << "redo " << k;
    EXPECT_TRUE(sameBlock(working, expected)) << "redo " << k;
  }
  // Back three steps, a new command, then back to the oldest state kept.
  for (int k = 0; k < 3; ++k) list.Undo();
  EXPECT_TRUE(working == states[last - 3]);
  list.Add(working, "Masque");
  commands[0].run(working);
  for (int k = 0; k < 4; ++k) list.Undo();
  EXPECT_TRUE(working == states[last - 6]);
  EXPECT_EQ(list.Current(), nullptr);
}

// An undo or redo right after the command, while the packer works on the snapshot, reads the
// bytes it is compressing; later ones read the compressed pieces. Both give the same states.
TEST(UndoListTest, RestoresDoNotDependOnThePackersProgress) {
  Bitmap working = test::randomBitmap(1100, 1000, 80);
  TUndoList list(6);
  const Command blend = everyCommand()[0];
  for (int round = 0; round < 12; ++round) {
    const Bitmap before = working;
    list.Add(working, "Masque");
    blend.run(working);
    const Bitmap after = working;
    list.Settle();
    list.Undo();
    ASSERT_TRUE(working == before) << round;
    list.Redo();
    ASSERT_TRUE(working == after) << round;
    if (round % 2) list.WaitPacked();
    list.Undo();
    ASSERT_TRUE(working == before) << round;
    list.Redo();
    ASSERT_TRUE(working == after) << round;
  }
}

// A command that changes a border costs about what it changed, not a copy of the image: the
// picture is noise, which no compressor shrinks, so only a difference stays this small.
TEST(UndoListTest, SnapshotCostsWhatTheCommandChanged) {
  Bitmap working = test::randomBitmap(1500, 1000, 90);
  const std::size_t whole = working.byteCount();
  TUndoList list(6);
  for (int step = 0; step < 6; ++step) {
    list.Add(working, "Masque");
    for (int y = 0; y < working.height(); ++y)
      for (int x = 0; x < working.width(); ++x)
        if (std::min({x, y, working.width() - 1 - x, working.height() - 1 - y}) < 10)
          working.setPixel(x, y, rgb(static_cast<std::uint8_t>(step), 0, 0));
  }
  list.Settle();
  list.WaitPacked();
  EXPECT_LT(list.StoredBytes(), whole / 4) << "six snapshots of a 10-pixel border";
  for (const auto& entry : list.Items()) EXPECT_LT(entry->StoredBytes(), whole / 20);

  // Until it is settled, the newest snapshot is a whole copy, as the image size dialog reads it.
  TUndoItem* current = list.Add(working, "Taille de l'image");
  ASSERT_NE(current->WholeSnapshot(), nullptr);
  EXPECT_EQ(current->StoredBytes(), whole);
}

}  // namespace
}  // namespace vorlino
