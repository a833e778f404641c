#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) { return zel::cli::Main(argc, argv, std::cout, std::cerr); }
