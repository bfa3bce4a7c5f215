#include "cli_app.h"

#include <iostream>

int main(int argc, char** argv) {
  return vorlino::cli::run(argc, argv, std::cout, std::cerr);
}
