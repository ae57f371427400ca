#include "scan/status_filter.h"

#include <cctype>

namespace kx {
namespace {

// A word that holds another listed word comes before it, or it could never go whole.
const char* const kWords[] = {
    "motherfucker", "fuck", "shit",    "cunt",   "cum",     "bitch",   "bastard", "asshole", "dick",
    "cock",    "pussy",   "whore",  "slut",    "faggot",  "fag",     "nigger",  "nigga",
    "spic",    "chink",   "kike",   "wetback", "gook",    "twat",    "wanker",  "wank",
    "bollocks", "prick",  "tits",   "boob",    "penis",   "vagina",  "dildo",   "blowjob",
    "handjob", "jizz",    "porn",   "anal",    "rape",    "retard",  "dyke",    "tranny",
};

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// One left-to-right pass, as a plain replace does: text that comes together where a word
// was cut out is not looked at again in this pass.
std::string RemoveAll(const std::string& text, const std::string& word) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    bool hit = i + word.size() <= text.size();
    for (size_t k = 0; hit && k < word.size(); ++k) hit = Lower(text[i + k]) == word[k];
    if (hit) {
      i += word.size();
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

}  // namespace

const char* const* FilteredStatusWords(size_t& count) {
  count = sizeof(kWords) / sizeof(kWords[0]);
  return kWords;
}

std::string FilterStatusWords(std::string text) {
  text = RemoveAll(text, kWords[0]);
  for (const char* w : kWords) text = RemoveAll(text, w);
  return text;
}

}  // namespace kx
