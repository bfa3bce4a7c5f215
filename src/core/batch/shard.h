// Splitting a list of photos between machines that do not talk to each other: each photo belongs
// to one part, chosen by a hash of its path relative to the folder it was listed from. The part of
// a photo depends on that path and the number of parts alone, so adding or removing other photos
// never moves it, and a machine that runs its part again finds its earlier outputs in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vorlino {

// Part index of count parts, numbered from 1.
struct ShardSpec {
  int index = 1;
  int count = 1;
};

// "K/N" with 1 <= K <= N <= 1000000; nothing for anything else.
std::optional<ShardSpec> parseShard(const std::string& text);

// The part (1..count) of a photo by its relative path in '/'-separated form: the 64-bit FNV-1a
// hash of its bytes modulo count, plus 1. count must be at least 1.
int shardOfPath(const std::string& relativePath, int count);

inline bool inShard(const std::string& relativePath, const ShardSpec& shard) {
  return shardOfPath(relativePath, shard.count) == shard.index;
}

}  // namespace vorlino
