#include "platform/ansi_paths.h"

#include "platform/ansi_text.h"

namespace turv::platform {

namespace {

// True when text begins with the folder or file prefix names, letters A-Z
// in either case: the prefix's characters, then the end or a backslash.
bool StartsWithPath(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  // The prefix is whole characters and lowering keeps every byte but A-Z, so
  // equal bytes here mean equal characters and a character boundary after.
  if (LowerAsciiLetters(text.substr(0, prefix.size())) != LowerAsciiLetters(prefix)) return false;
  return text.size() == prefix.size() || text[prefix.size()] == '\\';
}

std::string WithoutTrailingBackslash(std::string text) {
  if (EndsInBackslash(text)) text.pop_back();
  return text;
}

std::u16string WithoutTrailingBackslash(std::u16string text) {
  if (!text.empty() && text.back() == u'\\') text.pop_back();
  return text;
}

}  // namespace

std::string AnsiPaths::FromSystem(std::u16string_view wide) {
  bool exact = false;
  std::string text = system_.ToAnsi(wide, exact);
  if (exact) return text;
  if (const auto shortForm = system_.ShortForm(wide)) {
    std::string shortText = system_.ToAnsi(*shortForm, exact);
    if (exact) return shortText;
  }
  // Remembered without its trailing backslash, so that the folder's text
  // matches however the launch spells it; a text already standing for
  // another path gets one "?" more until it is its own.
  const bool slash = EndsInBackslash(text);
  Alias alias{WithoutTrailingBackslash(text), WithoutTrailingBackslash(std::u16string(wide))};
  for (;;) {
    const Alias* known = nullptr;
    for (const Alias& a : aliases_) {
      if (LowerAsciiLetters(a.ansi) == LowerAsciiLetters(alias.ansi)) known = &a;
    }
    if (known == nullptr) {
      aliases_.push_back(alias);
      break;
    }
    if (known->wide == alias.wide) break;
    alias.ansi += '?';
  }
  return slash ? alias.ansi + '\\' : alias.ansi;
}

const AnsiPaths::Alias* AnsiPaths::Longest(std::string_view ansi) const {
  const Alias* best = nullptr;
  for (const Alias& a : aliases_) {
    if (StartsWithPath(ansi, a.ansi) && (best == nullptr || a.ansi.size() > best->ansi.size())) {
      best = &a;
    }
  }
  return best;
}

std::u16string AnsiPaths::ToSystem(std::string_view ansi) const {
  const Alias* alias = Longest(ansi);
  if (alias == nullptr) return system_.FromAnsi(ansi);
  return alias->wide + system_.FromAnsi(ansi.substr(alias->ansi.size()));
}

}  // namespace turv::platform
