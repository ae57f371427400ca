// Line-encodes a plain definition file for the data folder (or, with -d, decodes one):
//   defencode [-d] <input> <output>
// Lines may end in CR LF, CR or LF; the output always ends every line with CR LF.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "definitions/codec.h"

int main(int argc, char** argv) {
  bool decode = argc == 4 && std::strcmp(argv[1], "-d") == 0;
  if (argc != 3 && !decode) {
    std::cerr << "usage: defencode [-d] <input> <output>\n";
    return 2;
  }
  const char* in = argv[argc - 2];
  const char* out = argv[argc - 1];
  std::ifstream input(in, std::ios::binary);
  if (!input) {
    std::cerr << "defencode: cannot read " << in << "\n";
    return 1;
  }
  std::stringstream bytes;
  bytes << input.rdbuf();
  std::string result;
  for (const std::string& line : kx::SplitTextLines(bytes.str())) {
    if (!decode && line.find_first_of("\xC9\xCC") != std::string::npos) {
      std::cerr << "defencode: " << in << ": a line holds a byte that encodes to a line end\n";
      return 1;
    }
    result += decode ? kx::DecodeDefinitionLine(line) : kx::EncodeDefinitionLine(line);
    result += "\r\n";
  }
  std::ofstream output(out, std::ios::binary | std::ios::trunc);
  output << result;
  if (!output) {
    std::cerr << "defencode: cannot write " << out << "\n";
    return 1;
  }
  return 0;
}
