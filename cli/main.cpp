#include <iostream>

#include "cli_app.h"

int main(int argc, char** argv) {
  return vorlino::cli::run(argc, argv, std::cout, std::cerr);
}
