// Writes the converter reference of the Linux build (tests/charset/
// charset_reference.h) for the Windows build's test to compare against.
//   gen_charset_reference OUT
#include <cstdio>
#include <fstream>

#include "charset/charset_reference.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_charset_reference OUT\n");
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << tl::test::charset_reference::Reference();
  return out.good() ? 0 : 1;
}
