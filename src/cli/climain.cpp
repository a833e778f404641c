#include <iostream>

#include "base/console.h"
#include "cli/cli.h"

int main(int argc, char** argv) {
  zel::UseUtf8Console(argc, argv);
  return zel::cli::Main(argc, argv, std::cout, std::cerr);
}
