// The worker pool's contract, and the operations that use it: every parallel operation must give
// the very bytes of its single-threaded run, whatever the worker count (more workers than cores
// included) and whatever the image size.
#include "parallel/parallel.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "compose/bitmap_filters.h"
#include "compose/blend_mask.h"
#include "compose/mask_build.h"
#include "compose/pixel_blocks.h"
#include "compose/quarter_turn.h"
#include "compose/resample.h"
#include "imagefile/palette/fast_color_lookup.h"
#include "imagefile/palette/reduce_palette.h"
#include "test_images.h"

namespace vorlino {
namespace {

using test::Workers;

constexpr int kWorkerCounts[] = {2, 3, 8};

// ---- the pool ----------------------------------------------------------------------------------

TEST(ParallelRowsTest, VisitsEveryIndexOnceInContiguousChunks) {
  for (int workers : {1, 2, 3, 8}) {
    const Workers w(workers);
    EXPECT_EQ(workerCount(), workers);
    for (int count : {0, 1, 2, 7, 997, 100000}) {
      for (std::int64_t perIndex : {std::int64_t{1}, std::int64_t{64}, kMinParallelWork}) {
        std::vector<std::atomic<int>> visits(static_cast<std::size_t>(count));
        std::atomic<int> badChunks{0};
        parallelRows(count, perIndex, [&](int begin, int end) {
          if (begin < 0 || begin >= end || end > count) ++badChunks;
          for (int i = begin; i < end; ++i) ++visits[static_cast<std::size_t>(i)];
        });
        EXPECT_EQ(badChunks.load(), 0);
        int wrong = 0;
        for (const auto& v : visits) wrong += v.load() != 1;
        EXPECT_EQ(wrong, 0) << workers << " workers, count " << count << ", work " << perIndex;
      }
    }
  }
}

TEST(ParallelRowsTest, OneWorkerOrSmallWorkRunsInlineOnTheCaller) {
  const auto caller = std::this_thread::get_id();
  {
    const Workers w(1);
    int calls = 0;
    bool elsewhere = false;
    parallelRows(100000, [&](int begin, int end) {
      ++calls;
      elsewhere |= std::this_thread::get_id() != caller;
      EXPECT_EQ(begin, 0);
      EXPECT_EQ(end, 100000);
    });
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(elsewhere);
  }
  const Workers w(8);
  int calls = 0;
  parallelRows(1000, 10, [&](int begin, int end) {  // 10000 units: below the split threshold
    ++calls;
    EXPECT_EQ(std::this_thread::get_id(), caller);
    EXPECT_EQ(end - begin, 1000);
  });
  EXPECT_EQ(calls, 1);
}

// The caller's chunk waits until a second thread has entered another chunk: this only returns if
// the work really is shared out (the timeout only keeps a broken pool from hanging the tests).
TEST(ParallelRowsTest, ChunksRunOnOtherThreads) {
  for (int workers : {2, 8}) {
    const Workers w(workers);
    std::mutex m;
    std::condition_variable cv;
    std::set<std::thread::id> threads;
    bool met = false;
    parallelRows(64, [&](int, int) {
      std::unique_lock lock(m);
      threads.insert(std::this_thread::get_id());
      if (threads.size() >= 2) {
        met = true;
        cv.notify_all();
      }
      cv.wait_for(lock, std::chrono::seconds(30), [&] { return met; });
    });
    EXPECT_TRUE(met) << workers << " workers";
    EXPECT_LE(threads.size(), static_cast<std::size_t>(workers));
  }
}

TEST(ParallelRowsTest, ExceptionsReachTheCallerAndThePoolGoesOn) {
  for (int workers : {1, 2, 3, 8}) {
    const Workers w(workers);
    for (int failing : {0, 500, 999}) {
      std::atomic<int> started{0};
      try {
        parallelRows(1000, [&](int begin, int end) {
          ++started;
          if (begin <= failing && failing < end)
            throw std::runtime_error("chunk " + std::to_string(begin));
        });
        ADD_FAILURE() << "no exception with " << workers << " workers";
      } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("chunk ", 0), 0u);
      }
      EXPECT_GE(started.load(), 1);
      // Every chunk throws: exactly one exception comes out, one of theirs.
      EXPECT_THROW(parallelRows(1000, [](int, int) { throw std::logic_error("all"); }),
                   std::logic_error);
      std::atomic<long> sum{0};
      parallelRows(1000, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) sum += i;
      });
      EXPECT_EQ(sum.load(), 999L * 1000 / 2);
    }
  }
}

TEST(ParallelRowsTest, NestedCallsRunInlineOnTheirThread) {
  for (int workers : {2, 3, 8}) {
    const Workers w(workers);
    std::vector<std::atomic<int>> visits(64 * 100);
    std::atomic<int> strayed{0};
    parallelRows(64, [&](int begin, int end) {
      for (int i = begin; i < end; ++i) {
        const auto outer = std::this_thread::get_id();
        parallelRows(100, [&](int b, int e) {
          if (std::this_thread::get_id() != outer) ++strayed;
          for (int k = b; k < e; ++k) ++visits[static_cast<std::size_t>(i * 100 + k)];
        });
      }
    });
    EXPECT_EQ(strayed.load(), 0);
    int wrong = 0;
    for (const auto& v : visits) wrong += v.load() != 1;
    EXPECT_EQ(wrong, 0);
  }
}

// Several threads of the program calling at once: one holds the pool, the others run inline;
// every call still visits all of its indices.
TEST(ParallelRowsTest, ConcurrentCallersEachGetTheirWorkDone) {
  const Workers w(3);
  std::atomic<int> wrong{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t)
    callers.emplace_back([&] {
      for (int round = 0; round < 50; ++round) {
        std::vector<std::atomic<int>> visits(5000);
        parallelRows(5000, [&](int begin, int end) {
          for (int i = begin; i < end; ++i) ++visits[static_cast<std::size_t>(i)];
        });
        for (const auto& v : visits) wrong += v.load() != 1;
      }
    });
  for (std::thread& t : callers) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(ParallelRowsTest, WorkerCountDefaultsToTheHardware) {
  setWorkerCount(5);
  EXPECT_EQ(workerCount(), 5);
  setWorkerCount(0);
  const int hardware = static_cast<int>(std::thread::hardware_concurrency());
  EXPECT_EQ(workerCount(), hardware > 0 ? hardware : 1);
  setWorkerCount(-3);
  EXPECT_EQ(workerCount(), hardware > 0 ? hardware : 1);
}

TEST(ParallelInvokeTest, RunsBothOnce) {
  for (int workers : {1, 2, 8}) {
    const Workers w(workers);
    int first = 0, second = 0;
    parallelInvoke([&] { ++first; }, [&] { ++second; });
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
  }
}

// ---- the operations: multi-threaded against single-threaded -----------------------------------

bool sameBitmap(const Bitmap& a, const Bitmap& b) {
  if (a.width() != b.width() || a.height() != b.height() || a.bitsPerPixel() != b.bitsPerPixel() ||
      a.palette() != b.palette())
    return false;
  const std::size_t bytes =
      (static_cast<std::size_t>(a.width()) * static_cast<std::size_t>(a.bitsPerPixel()) + 7) / 8;
  for (int y = 0; y < a.height(); ++y)
    if (std::memcmp(a.row(y), b.row(y), bytes) != 0) return false;
  return true;
}

struct Size {
  int width, height;
};
constexpr Size kSizes[] = {{1, 1}, {1, 997}, {997, 1}, {613, 457}, {1531, 1021}};

// A photo-like image: smooth ramps with noise, so that colour cells hold several colours and
// filters see real structure, not only white noise.
Bitmap photoLike(int width, int height, std::uint32_t seed) {
  Bitmap b = test::randomBitmap(width, height, seed);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = b.row(y);
    for (int x = 0; x < width; ++x) {
      const int noise = (p[3 * x] & 15) - 8;
      auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
      p[3 * x] = clamp(x * 255 / width + noise);
      p[3 * x + 1] = clamp(y * 255 / height + noise);
      p[3 * x + 2] = clamp((x + y) * 255 / (width + height) + noise);
    }
  }
  return b;
}

// Runs op on a fresh copy of the inputs with one worker, then with each other count, and
// compares every result to the single-threaded one.
void expectSameForAllWorkerCounts(const std::string& name, const std::function<Bitmap()>& op) {
  Bitmap reference;
  {
    const Workers w(1);
    reference = op();
  }
  for (int workers : kWorkerCounts) {
    const Workers w(workers);
    EXPECT_TRUE(sameBitmap(op(), reference)) << name << " with " << workers << " workers";
  }
}

// The same for both builds of the pixel loops (AVX2 where the processor has it, and baseline).
void expectSameForAllBuilds(const std::string& name, const std::function<Bitmap()>& op) {
  for (bool avx2 : {true, false}) {
    blocks::allowAvx2(avx2);
    expectSameForAllWorkerCounts(name + (avx2 ? " (avx2)" : " (baseline)"), op);
  }
  blocks::allowAvx2(true);
}

TEST(ParallelOperationsTest, PixelFiltersMatchOneThread) {
  for (const Size s : kSizes) {
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    const Bitmap photo = photoLike(s.width, s.height, 1);
    const Bitmap noise = test::randomBitmap(s.width, s.height, 2);
    const Bitmap tile = test::randomBitmap(37, 23, 3);
    auto filtered = [&](const Bitmap& in, auto filter) {
      return [&in, filter] {
        Bitmap b(in);
        filter(b);
        return b;
      };
    };
    expectSameForAllBuilds("blend " + size, filtered(photo, [&](Bitmap& b) {
                             BlendMask(b, noise, 60, rgb(30, 200, 90));
                           }));
    expectSameForAllBuilds("grey " + size, filtered(noise, GreyBitmap));
    expectSameForAllBuilds("invert " + size, filtered(noise, InvertBitmap));
    expectSameForAllBuilds("two tone " + size, filtered(photo, [](Bitmap& b) {
                             TwoToneBitmap(b, 100, rgb(10, 20, 30), rgb(200, 210, 220));
                           }));
    expectSameForAllBuilds("replace " + size, filtered(photo, [](Bitmap& b) {
                             ReplaceColour(b, rgb(128, 128, 128), rgb(1, 2, 3), 60);
                           }));
    for (int opacity : {100, 50}) {
      expectSameForAllBuilds("tile " + size, filtered(photo, [&](Bitmap& b) {
                               TileBitmap(b, tile, opacity, kNoColor, 0);
                             }));
    }
    expectSameForAllBuilds("keyed tile " + size, filtered(photo, [&](Bitmap& b) {
                             TileBitmap(b, tile, 70, rgb(128, 128, 128), 90);
                           }));
    expectSameForAllWorkerCounts("exchange " + size, [&] {
      Bitmap a(photo), b(noise);
      ExchangePixels(a, b);
      EXPECT_TRUE(sameBitmap(b, photo));
      return a;
    });
  }
}

TEST(ParallelOperationsTest, TurnsMatchOneThread) {
  for (const Size s : kSizes) {
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    const Bitmap photo = test::randomBitmap(s.width, s.height, 4);
    for (bool clockwise : {true, false}) {
      expectSameForAllBuilds("quarter turn " + size, [&] {
        Bitmap source(photo), target;
        RotateQuarterInto(source, target, clockwise);
        return target;
      });
    }
    expectSameForAllBuilds("half turn " + size, [&] {
      Bitmap b(photo);
      RotateHalf(b);
      return b;
    });
  }
  // Sizes around the 8-pixel blocks and 32-pixel tiles of the turns.
  for (const Size s : {Size{263, 257}, Size{256, 8}, Size{9, 300}}) {
    const Bitmap photo = test::randomBitmap(s.width, s.height, 5);
    expectSameForAllBuilds("quarter turn", [&] {
      Bitmap b(photo);
      RotateQuarter(b, true);
      return b;
    });
  }
}

TEST(ParallelOperationsTest, ResamplingMatchesOneThread) {
  for (const Size s : kSizes) {
    const Bitmap photo = photoLike(s.width, s.height, 6);
    const Size targets[] = {{s.width * 3 / 2 + 1, s.height * 2 / 3 + 1},
                            {s.width / 3 + 1, s.height * 2 + 1},
                            {s.width, s.height}};
    for (const Size t : targets) {
      for (ResampleCode code : {ResampleCode::kFastest, ResampleCode::kPortable}) {
        expectSameForAllWorkerCounts("resample " + std::to_string(s.width) + "x" +
                                         std::to_string(s.height) + " to " +
                                         std::to_string(t.width) + "x" + std::to_string(t.height),
                                     [&] {
                                       Bitmap source(photo), target;
                                       resampleBitmapWith(code, static_cast<std::uint32_t>(t.width),
                                                          static_cast<std::uint32_t>(t.height),
                                                          rkLanczos3, 0, source, target);
                                       return target;
                                     });
      }
    }
  }
  // The mask fit of the program: a small picture enlarged many times.
  const Bitmap mask = photoLike(80, 60, 7);
  expectSameForAllWorkerCounts("mask fit", [&] {
    Bitmap source(mask), target;
    ResampleBitmap(1531, 1021, rkLanczos3, 0, source, target);
    return target;
  });
}

TEST(ParallelOperationsTest, PaletteReductionMatchesOneThread) {
  for (const Size s : kSizes) {
    Bitmap photo = photoLike(s.width, s.height, 8);
    photo.TransparentColor = kTransparentKey;
    for (int options : {66, 2, 64, 0, 65, 3}) {
      for (int colors : {256, 16, 2}) {
        expectSameForAllWorkerCounts(
            "reduce " + std::to_string(s.width) + "x" + std::to_string(s.height) + " options " +
                std::to_string(options) + " colours " + std::to_string(colors),
            [&] {
              Bitmap b(photo);
              ReduceToPalette(b, colors, options);
              return b;
            });
      }
    }
  }
  // A 32-bit bitmap keeps its alpha bytes, an 8-bit one becomes 24 bits.
  for (int bpp : {32, 8}) {
    const Bitmap other = test::randomBitmap(613, 457, 9, bpp);
    expectSameForAllWorkerCounts("reduce from " + std::to_string(bpp) + " bits", [&] {
      Bitmap b(other);
      ReduceToPalette(b, 256, 0);
      return b;
    });
  }
}

// A cached cell answers with the search made for the first colour that reached it, and two
// colours of one cell can have different nearest entries. Here the first pixel is (8, 8, 8),
// nearest to the black entry, and every later pixel of its cell is (15, 15, 15), nearest to the
// grey entry: in reading order the whole cell takes black. A thread starting further down, with a
// cache of its own, would have answered grey for its (15, 15, 15) pixels.
TEST(ParallelOperationsTest, ColourCellsAnswerForTheirFirstColourInReadingOrder) {
  const int width = 600, height = 400;
  Bitmap image = test::solidBitmap(width, height, rgb(0, 0, 0));
  image.setPixel(0, 0, rgb(8, 8, 8));
  for (int y = 0; y < height; ++y) image.setPixel(100, y, rgb(24, 24, 24));
  for (int y = 20; y < height; y += 3) image.setPixel(7, y, rgb(15, 15, 15));
  image.TransparentColor = kTransparentKey;

  // Three colours: two octree leaves (black with the pixels of its 16-level cube, and the grey)
  // and the transparent colour.
  Bitmap serial(image);
  {
    const Workers w(1);
    ReduceToPalette(serial, 3, 66);
  }
  ASSERT_EQ(serial.bitsPerPixel(), 4);
  const std::vector<PaletteColor>& palette = serial.palette();
  const int first = serial.pixelIndex(0, 0);
  const int later = serial.pixelIndex(7, 20);
  EXPECT_EQ(later, first);
  // The test is only worth something if the later colour, searched first, picks another entry.
  TFastColorLookup fresh(palette, {0, 1, 2});
  ASSERT_NE(fresh.lookup(15, 15, 15), first);

  for (int workers : {2, 3, 8}) {
    const Workers w(workers);
    Bitmap parallel(image);
    ReduceToPalette(parallel, 3, 66);
    EXPECT_TRUE(sameBitmap(parallel, serial)) << workers << " workers";
  }
}

// The whole mask application, as the window and the command line run it.
TEST(ParallelOperationsTest, MaskBuildAndApplyMatchOneThread) {
  const Bitmap photo = photoLike(613, 457, 10);
  const Bitmap picture = photoLike(80, 60, 11);
  for (int variant = 0; variant < 4; ++variant) {
    MaskOptions options;
    options.fit = variant != 3;
    options.soften = variant == 1;
    options.format = variant == 2 ? rfTransparent : rfCouleursRVB;
    expectSameForAllWorkerCounts("mask variant " + std::to_string(variant), [&] {
      const auto mask = BuildMaskBitmap(picture, photo.width(), photo.height(), options);
      EXPECT_TRUE(mask.has_value());
      Bitmap working(photo);
      if (mask) ApplyMaskBitmap(working, *mask, options.format, {60, rgb(255, 255, 255)});
      return working;
    });
  }
}

}  // namespace
}  // namespace vorlino
