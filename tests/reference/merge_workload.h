// A data folder's worth of definition files and an update package of a given size, for the
// merge benchmark and the crash test: deterministic, half the records withdrawals of lines
// that are there, the rest additions spread over every kind.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "definitions/codec.h"

namespace kx::reference {

struct MergeWorkload {
  std::array<std::string, 6> files;  // bytes, in the merge's order of files
  std::string package;
};

inline MergeWorkload MakeMergeWorkload(int totalLines, int records) {
  static const char* kinds[6] = {"FILE", "EXE", "REG", "COOK", "DIR", "SFILE"};
  auto body = [](const std::string& plain) {
    std::string out;
    for (char c : plain) out += (c == '|' || c == '=') ? std::string(1, c) : EncodeDefinitionLine(std::string(1, c));
    return out;
  };
  auto lineName = [](int f, int i) { return "n" + std::to_string(f) + "_" + std::to_string(i) + ".dat"; };
  MergeWorkload w;
  const int perFile = totalLines / 6;
  for (int f = 0; f < 6; ++f) {
    std::string& bytes = w.files[static_cast<size_t>(f)];
    bytes.reserve(static_cast<size_t>(perFile) * 40);
    for (int i = 0; i < perFile; ++i)
      bytes += EncodeDefinitionLine(lineName(f, i) + "=Threat " + std::to_string(i) + "|[system]|Adware") + "\r\n";
  }
  uint32_t seed = 12345;
  auto next = [&seed] { seed = seed * 1103515245u + 12345u; return (seed >> 8) & 0xFFFFFF; };
  for (int r = 0; r < records; ++r) {
    int f = static_cast<int>(next() % 6);
    std::string kind = kinds[f];
    if (r % 2) {
      w.package += EncodeDefinitionLine(kind) + "|DEL[DEF]" + body(lineName(f, static_cast<int>(next() % static_cast<uint32_t>(perFile))));
    } else {
      std::string name = "new" + std::to_string(r) + ".exe";
      std::string plain = kind == "REG" ? name + "=Threat|Software\\Vendor " + std::to_string(r) + "|Spyware"
                                        : name + "=Threat " + std::to_string(r) + "|[program files]\\X|Adware";
      w.package += EncodeDefinitionLine(kind) + "|ADD[DEF]" + body(plain);
    }
    w.package += "[BR]";
  }
  return w;
}

}  // namespace kx::reference
