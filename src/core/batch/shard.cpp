#include "batch/shard.h"

#include <charconv>

namespace vorlino {
namespace {

constexpr int kMaxShards = 1000000;

std::optional<int> wholeNumber(const char* first, const char* last) {
  int value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last) return std::nullopt;
  return value;
}

}  // namespace

std::optional<ShardSpec> parseShard(const std::string& text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  const char* begin = text.data();
  const auto index = wholeNumber(begin, begin + slash);
  const auto count = wholeNumber(begin + slash + 1, begin + text.size());
  if (!index || !count || *count < 1 || *count > kMaxShards || *index < 1 || *index > *count)
    return std::nullopt;
  return ShardSpec{*index, *count};
}

int shardOfPath(const std::string& relativePath, int count) {
  // FNV-1a: fixed constants, no seed, the same on every machine and in every run.
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : relativePath) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return static_cast<int>(hash % static_cast<std::uint64_t>(count)) + 1;
}

}  // namespace vorlino
