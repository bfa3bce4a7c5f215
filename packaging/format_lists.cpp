// Fills a template at build time with the picture types of the program's own tables, so that the
// files made from it (the shell completion) offer exactly what the program reads and writes:
// "@READ_EXTENSIONS@" becomes the readable extensions of the format registry and
// "@WRITE_EXTENSIONS@" the writable ones of the save table, lower case, without dots, separated
// by spaces.
// usage: vorlino_format_lists TEMPLATE OUTPUT
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "imagefile/format_registry.h"
#include "imagefile/save_image.h"

namespace {

std::string readable() {
  std::string list;
  for (const auto& entry : vorlino::fileFormats().extensions())
    list += (list.empty() ? "" : " ") + entry.extension;
  return list;
}

std::string writable() {
  std::string list;
  for (const auto& row : vorlino::kSaveFormats) {
    std::stringstream extensions(row.extensions);
    std::string extension;
    while (std::getline(extensions, extension, ';'))
      if (extension.size() > 1) list += (list.empty() ? "" : " ") + extension.substr(1);
  }
  return list;
}

void replaceAll(std::string& text, const std::string& key, const std::string& value) {
  for (std::size_t at = text.find(key); at != std::string::npos;
       at = text.find(key, at + value.size()))
    text.replace(at, key.size(), value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: vorlino_format_lists TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream text;
  if (in) text << in.rdbuf();
  if (!in || !text) {
    std::cerr << "vorlino_format_lists: cannot read " << argv[1] << '\n';
    return 1;
  }
  std::string result = text.str();
  replaceAll(result, "@READ_EXTENSIONS@", readable());
  replaceAll(result, "@WRITE_EXTENSIONS@", writable());
  std::ofstream out(argv[2], std::ios::binary);
  out << result;
  out.close();
  if (!out) {
    std::cerr << "vorlino_format_lists: cannot write " << argv[2] << '\n';
    return 1;
  }
  return 0;
}
