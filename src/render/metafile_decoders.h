// Decoders of Windows metafiles: each renders the picture at its natural size (see
// imagefile/metafile_records.h) onto white and hands it back as a 24-bit bitmap. They follow the
// decoder shape of the file layer; they live in the user interface because drawing text and
// curves needs Qt. Fonts are only drawn when a QGuiApplication exists.
#pragma once

#include "bitmap/bitmap.h"
#include "imagefile/codec.h"
#include "render/metafile_module.h"

namespace vorlino {

// Windows metafile, placeable or plain. Fails with ceSignature for anything else.
CodecResult readWmf(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

// Enhanced metafile. Fails with ceSignature for anything else.
CodecResult readEmf(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

// Either kind, told apart by its header: one decoder for both metafile extensions.
CodecResult readWindowsMetafile(ByteReader& in, Bitmap& out, const DecodeLimits& limits) noexcept;

// The same three as renderers (see render/metafile_module.h): the drawing goes into the caller's
// 32-bit pixels. renderWindowsMetafile is what the metafile module exports.
CodecResult renderWmf(ByteReader& in, const DecodeLimits& limits, MetafilePixelsFor pixelsFor,
                      void* context) noexcept;
CodecResult renderEmf(ByteReader& in, const DecodeLimits& limits, MetafilePixelsFor pixelsFor,
                      void* context) noexcept;
CodecResult renderWindowsMetafile(ByteReader& in, const DecodeLimits& limits,
                                  MetafilePixelsFor pixelsFor, void* context) noexcept;

}  // namespace vorlino
