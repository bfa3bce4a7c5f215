// The metafile renderer as a module loaded at run time (vorlino_metafile.so, see CMakeLists.txt):
// the command-line program opens it only when it is about to draw a metafile, so that framing
// photos never pays for loading Qt. Qt-free on purpose: the program that loads the module includes
// this header without Qt.
//
// The module carries its own copy of the core pieces it draws with; nothing the module allocates
// crosses to the caller. It draws into pixels the caller hands it, so the caller's bitmap is made
// and freed by the caller's own code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"

namespace vorlino {

// The caller's pixels for a picture of width x height: rows of 32-bit pixels (blue, green, red,
// unused; the word 0xAARRGGBB), stride bytes apart, stride a multiple of 4. nullptr when there is
// no memory for them. Called at most once per drawing, from the drawing thread.
using MetafilePixelsFor = std::uint8_t* (*)(void* context, int width, int height,
                                            std::size_t* stride) noexcept;

// Draws the Windows metafile (placeable or plain) or enhanced metafile that in holds at its
// natural size onto white, in the pixels pixelsFor gives. Fails with ceSignature for anything
// else; the pixels are then unspecified.
using MetafileRenderer = CodecResult (*)(ByteReader& in, const DecodeLimits& limits,
                                         MetafilePixelsFor pixelsFor, void* context) noexcept;

// What the module's one exported function hands back.
struct MetafileModule {
  // kMetafileModuleVersion of the module's build: a module of another build is not used, since
  // the types it shares with the caller may differ.
  int version;
  // Makes the application object Qt needs to draw text, on the calling thread, which must be the
  // main one, before any drawing. Later calls do nothing.
  void (*startApplication)() noexcept;
  MetafileRenderer render;
};

inline constexpr int kMetafileModuleVersion = 1;
inline constexpr const char* kMetafileModuleEntry = "vorlino_metafile_module";
using MetafileModuleEntry = const MetafileModule* (*)();

// A 32-bit bitmap, made in the caller's code, as the pixels of a drawing (context is the Bitmap).
inline std::uint8_t* metafileBitmapPixels(void* context, int width, int height,
                                          std::size_t* stride) noexcept {
  try {
    auto* picture = static_cast<Bitmap*>(context);
    picture->resetForOverwrite(width, height, 32);
    *stride = picture->stride();
    return picture->bits();
  } catch (...) {
    return nullptr;
  }
}

// A decoder of the usual shape over a renderer: on success out is the 24-bit picture drawn.
inline CodecResult readMetafileWith(MetafileRenderer render, ByteReader& in, Bitmap& out,
                                    const DecodeLimits& limits) noexcept {
  return runCodec([&] {
    Bitmap picture;
    CodecResult r = render(in, limits, &metafileBitmapPixels, &picture);
    if (!r.ok()) return r;
    picture.convertTo24();
    out = std::move(picture);
    return r;
  });
}

}  // namespace vorlino
