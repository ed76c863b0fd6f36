#include "karupack/captions.h"

#include <algorithm>
#include <array>
#include <streambuf>

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

}  // namespace

std::vector<Caption> ParseCaptions(std::istream& in, const std::filesystem::path& file) {
  std::vector<Caption> captions;
  std::streambuf& bytes = *in.rdbuf();
  for (int number = 1;; ++number) {
    std::string line;
    int c = 0;
    while ((c = bytes.sbumpc()) != std::char_traits<char>::eof() && c != '\n') {
      if (line.size() == kLineMax) throw Failure(file, LineLabel(number) + "too long");
      line += static_cast<char>(c);
    }
    if (c == std::char_traits<char>::eof() && line.empty()) break;
    if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    if (line.ends_with('\r')) line.pop_back();
    const bool blank =
        std::all_of(line.begin(), line.end(), [](char b) { return b == ' ' || b == '\t'; });
    if (blank || line.starts_with('#')) continue;

    const auto tab = line.find('\t');
    if (tab == std::string::npos) {
      throw Failure(file, LineLabel(number) + "no tab between the name and the caption");
    }
    Caption caption{number, {}, {}};
    try {
      caption.name = format::ToCp1252(std::string_view(line).substr(0, tab));
    } catch (const format::FormatError& error) {
      throw Failure(file, LineLabel(number) + "the name: " + error.what());
    }
    try {
      caption.text = format::ToCp1252(std::string_view(line).substr(tab + 1));
    } catch (const format::FormatError& error) {
      throw Failure(file, LineLabel(number) + "the caption: " + error.what());
    }
    if (caption.text.empty()) {
      throw Failure(file, LineLabel(number) +
                              "the caption is empty (leave the line out to caption the file "
                              "with its name)");
    }
    if (caption.text.size() > format::kCaptionMax) {
      throw Failure(file, LineLabel(number) + "the caption has " +
                              std::to_string(caption.text.size()) + " characters; at most " +
                              std::to_string(format::kCaptionMax) + " fit");
    }
    if (std::any_of(caption.text.begin(), caption.text.end(), format::IsControl)) {
      throw Failure(file, LineLabel(number) + "the caption holds a tab or control character");
    }
    captions.push_back(std::move(caption));
    if (c == std::char_traits<char>::eof()) break;
  }
  return captions;
}

std::vector<Caption> ReadCaptions(const std::filesystem::path& file) {
  InputFile input(file);
  InputBuffer buffer(input);
  std::istream in(&buffer);
  return ParseCaptions(in, file);
}

}  // namespace turv::karupack
