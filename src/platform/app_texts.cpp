#include "platform/app_texts.h"

#include <new>
#include <stdexcept>

#include "platform/ansi_text.h"
#include "platform/platform.h"

namespace turv::platform {

std::string ApplicationTitle(std::string_view modulePath) {
  std::size_t nameStart = 0;
  for (std::size_t at = 0; at < modulePath.size(); at += CharLength(modulePath, at)) {
    const char c = modulePath[at];
    if (c == '\\' || c == '/' || c == ':') nameStart = at + 1;
  }
  std::string_view name = modulePath.substr(nameStart);
  name = name.substr(0, name.find('.'));  // "." is never part of a two-byte character
  if (name.empty()) return {};
  const std::size_t first = CharLength(name, 0);
  return std::string(name.substr(0, first)) + LowerCase(name.substr(first));
}

std::string ErrorReportText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

std::string MessageOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return std::string(kOutOfMemoryText);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unbekannter Fehler";
  }
}

}  // namespace turv::platform
