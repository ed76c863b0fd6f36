#include "karupack/captions.h"

#include <algorithm>
#include <array>
#include <streambuf>
#include <variant>

#include "format/karu_format.h"
#include "karupack/errors.h"
#include "karupack/system.h"

namespace turv::karupack {

namespace {

// Far beyond any real line (a caption is at most 184 characters); bounds
// what a wrong file can make us hold.
constexpr std::size_t kLineMax = 64 * 1024;

std::string LineLabel(int line) {
  return "line " + std::to_string(line) + ": ";
}

// The lines come through the system layer's file, which opens nothing but a
// regular file and never waits for a pipe or a device.
class InputBuffer : public std::streambuf {
 public:
  explicit InputBuffer(InputFile& file) : file_(file) {}

 protected:
  int_type underflow() override {
    const std::size_t got = file_.Read(buffer_);
    if (got == 0) return traits_type::eof();
    char* begin = reinterpret_cast<char*>(buffer_.data());
    setg(begin, begin, begin + got);
    return traits_type::to_int_type(*begin);
  }

 private:
  InputFile& file_;
  std::array<std::uint8_t, 64 * 1024> buffer_{};
};

// One line's caption, or why the packer refuses the line.
std::variant<Caption, std::string> CheckLine(std::string_view line, int number) {
  const auto tab = line.find('\t');
  if (tab == std::string_view::npos) return "no tab between the name and the caption";
  Caption caption{number, {}, {}};
  try {
    caption.name = format::ToCp1252(line.substr(0, tab));
  } catch (const format::FormatError& error) {
    return std::string("the name: ") + error.what();
  }
  try {
    caption.text = format::ToCp1252(line.substr(tab + 1));
  } catch (const format::FormatError& error) {
    return std::string("the caption: ") + error.what();
  }
  if (caption.text.empty()) {
    return "the caption is empty (leave the line out to caption the file with its name)";
  }
  if (caption.text.size() > format::kCaptionMax) {
    return "the caption has " + std::to_string(caption.text.size()) + " characters; at most " +
           std::to_string(format::kCaptionMax) + " fit";
  }
  if (std::any_of(caption.text.begin(), caption.text.end(), format::IsControl)) {
    return "the caption holds a tab or control character";
  }
  return caption;
}

// Every line that is neither blank nor a comment, to take: its caption or
// why not. A line over kLineMax is refused unread beyond that.
template <typename Take>
void EachLine(std::istream& in, Take take) {
  std::streambuf& bytes = *in.rdbuf();
  for (int number = 1;; ++number) {
    std::string line;
    bool tooLong = false;
    int c = 0;
    while ((c = bytes.sbumpc()) != std::char_traits<char>::eof() && c != '\n') {
      if (line.size() == kLineMax) {
        tooLong = true;
        continue;
      }
      line += static_cast<char>(c);
    }
    if (c == std::char_traits<char>::eof() && line.empty()) break;
    if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    if (!tooLong && line.ends_with('\r')) line.pop_back();
    const bool blank =
        std::all_of(line.begin(), line.end(), [](char b) { return b == ' ' || b == '\t'; });
    if (tooLong) {
      take(number, line, std::variant<Caption, std::string>(std::string("too long")));
    } else if (!blank && !line.starts_with('#')) {
      take(number, line, CheckLine(line, number));
    }
    if (c == std::char_traits<char>::eof()) break;
  }
}

// The file's lines through the system layer, within kCaptionsFileMax.
template <typename Parse>
auto ReadWith(const std::filesystem::path& file, Parse parse) {
  InputFile input(file);
  if (input.Size() > kCaptionsFileMax) {
    throw Failure(file, "too large for a captions file (" + std::to_string(input.Size()) +
                            " bytes; at most " + std::to_string(kCaptionsFileMax) + ")");
  }
  InputBuffer buffer(input);
  std::istream in(&buffer);
  return parse(in);
}

}  // namespace

std::vector<Caption> ParseCaptions(std::istream& in, const std::filesystem::path& file) {
  std::vector<Caption> captions;
  EachLine(in, [&](int number, const std::string&, std::variant<Caption, std::string> read) {
    if (auto* why = std::get_if<std::string>(&read)) throw Failure(file, LineLabel(number) + *why);
    captions.push_back(std::get<Caption>(std::move(read)));
  });
  return captions;
}

std::vector<Caption> ReadCaptions(const std::filesystem::path& file) {
  return ReadWith(file, [&](std::istream& in) { return ParseCaptions(in, file); });
}

CaptionLines ParseCaptionsLeniently(std::istream& in) {
  CaptionLines lines;
  EachLine(in, [&](int number, const std::string& line, std::variant<Caption, std::string> read) {
    if (auto* why = std::get_if<std::string>(&read)) {
      if (lines.refused.size() < CaptionLines::kRefusedKept) {
        lines.refused.push_back({number, line, std::move(*why)});
      } else {
        ++lines.refusedMore;
      }
    } else {
      lines.captions.push_back(std::get<Caption>(std::move(read)));
    }
  });
  return lines;
}

CaptionLines ReadCaptionsLeniently(const std::filesystem::path& file) {
  return ReadWith(file, [](std::istream& in) { return ParseCaptionsLeniently(in); });
}

}  // namespace turv::karupack
