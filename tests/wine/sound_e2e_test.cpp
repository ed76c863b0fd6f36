// The player's sounds as a user hears them. tests/wine/sound_e2e starts a
// PulseAudio server of its own with a null sink, records the sink's monitor
// with parec into TURV_SOUND_RECORDING (16 kHz, mono, s16le) and makes the
// test tones with ffmpeg in TURV_SOUND_WORK; this program writes the data
// file, drives the player, and finds the tones it expects in the recording
// at the times it expects them (Goertzel over windows of the recording).
// TURV_SOUND_BIN is the build's bin folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <thread>

#include "format/karu_format.h"
#include "lumirax/window_names.h"
#include "test_files.h"
#include "window_probe.h"

namespace turv {
namespace {

using testfiles::Bytes;
using testfiles::ReadBytes;
using testfiles::WriteBytes;

constexpr int kRate = 16'000;  // the recording's samples a second

std::string Setting(const char* name) {
  std::vector<char> value(4'096, '\0');
  const DWORD n = ::GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
  return testfiles::WindowsPath(std::string(value.data(), n < value.size() ? n : 0));
}

// Wall-clock ms since 1970, the clock parec's file grows by.
double NowMs() {
  FILETIME time{};
  ::GetSystemTimeAsFileTime(&time);
  const auto ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<double>(ticks) / 10'000.0 - 11'644'473'600'000.0;
}

// A WAV file of a sine tone at 44.1 kHz, 16 bits, mono.
Bytes ToneWav(double hertz, int ms, double amplitude) {
  const std::uint32_t rate = 44'100;
  const std::uint32_t count = rate * static_cast<std::uint32_t>(ms) / 1000;
  Bytes wav;
  const auto put = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) wav.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  const auto tag = [&](const char* four) { wav.insert(wav.end(), four, four + 4); };
  tag("RIFF"), put(36 + 2 * count, 4), tag("WAVE"), tag("fmt "), put(16, 4), put(1, 2), put(1, 2);
  put(rate, 4), put(2 * rate, 4), put(2, 2), put(16, 2), tag("data"), put(2 * count, 4);
  for (std::uint32_t i = 0; i < count; ++i) {
    const double x = amplitude * std::sin(2 * std::numbers::pi * hertz * i / rate);
    put(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(x * 32'767))), 2);
  }
  return wav;
}

// The sink's monitor as parec writes it. The file's start is found by
// watching it grow: whenever it holds n samples at time t, its first sample
// was taken at t - n/rate or later, so the earliest such bound is the start.
class Recording {
 public:
  explicit Recording(std::string path) : path_(std::move(path)), watcher_([this] { Watch(); }) {}
  Recording(const Recording&) = delete;
  Recording& operator=(const Recording&) = delete;
  ~Recording() {
    stop_ = true;
    watcher_.join();
  }

  // How loud each tone is from..to (wall-clock ms): the amplitude of its
  // frequency, full scale 1, over the samples of that time.
  std::map<int, double> Tones(double fromMs, double toMs, const std::vector<int>& hertz) const {
    const Bytes bytes = ReadBytes(path_);
    const auto sampleAt = [&](double ms) {
      return static_cast<std::size_t>(std::max(0.0, (ms - start_.load()) * kRate / 1000));
    };
    const std::size_t end = std::min(bytes.size() / 2, sampleAt(toMs));
    const std::size_t begin = std::min(end, sampleAt(fromMs));
    std::map<int, double> found;
    for (const int f : hertz) {
      // Goertzel: the frequency's share of the samples, as an amplitude.
      const double w = 2 * std::numbers::pi * f / kRate, k = 2 * std::cos(w);
      double s1 = 0, s2 = 0;
      for (std::size_t i = begin; i < end; ++i) {
        const auto raw = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        const double s0 = raw / 32'768.0 + k * s1 - s2;
        s2 = s1, s1 = s0;
      }
      const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
      found[f] = end > begin ? 2 * std::sqrt(std::max(0.0, power)) / (end - begin) : 0;
    }
    return found;
  }
  // The first time from fromMs on at which the tone stands in 20 ms windows.
  std::optional<double> Onset(int hertz, double fromMs, double toMs, double level) const {
    for (double at = fromMs; at + 20 <= toMs; at += 5) {
      if (Tones(at, at + 20, {hertz}).at(hertz) >= level) return at;
    }
    return std::nullopt;
  }
  bool Started() const { return start_.load() < 1e300; }

 private:
  void Watch() {
    const std::wstring path = testfiles::Wide(path_);
    while (!stop_) {
      WIN32_FILE_ATTRIBUTE_DATA data{};
      const double now = NowMs();
      if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
          data.nFileSizeLow > 0) {
        const double first = now - (data.nFileSizeLow / 2.0) * 1000 / kRate;
        if (first < start_.load()) start_ = first;
      }
      ::Sleep(2);
    }
  }

  std::string path_;
  std::atomic<double> start_ = 1e301;
  std::atomic<bool> stop_ = false;
  std::thread watcher_;  // last
};

// A data file of these entries in a folder of its own, and the player
// started there as the launcher starts it.
struct Stage {
  std::string folder;
  probe::Process player;
  HWND window = nullptr;

  Stage(const std::string& name, const std::vector<std::pair<std::string, Bytes>>& files) {
    const std::string work = Setting("TURV_SOUND_WORK");
    folder = work + "\\" + name;
    testfiles::RemoveTree(folder);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<format::Entry> entries;
    for (const auto& [file, body] : files) {
      entries.push_back(
          {file, file.substr(0, file.rfind('.')), static_cast<std::int64_t>(body.size()), 0});
    }
    Bytes data = format::BuildDirectory(entries);
    for (const auto& file : files) data.insert(data.end(), file.second.begin(), file.second.end());
    WriteBytes(folder + "\\karu.pqd", data);
    WriteBytes(folder + "\\norvi.stq", {4, 0, 0, 0, 'C', ':', '\\', 'x'});
    probe::StartOptions options;
    options.folder = folder;
    options.showMode = SW_SHOWMAXIMIZED;
    player = probe::Start(Setting("TURV_SOUND_BIN") + "\\lumirax.exe", options);
    const auto found = probe::WaitFor(
        [&](const probe::WindowInfo& w) {
          return w.pid == player.pid && w.className == player::kWindowClass && w.visible;
        },
        30'000);
    if (found) window = found->handle;
  }
  ~Stage() {
    if (window != nullptr) ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (!player.Wait(15'000)) ::TerminateProcess(player.handle.Get(), 1);
  }
  HWND Control(int id) const { return ::GetDlgItem(window, id); }
  // A key as the user presses it, and the time it was pressed.
  double Press(WPARAM key) const {
    const double at = NowMs();
    probe::PressKey(Control(player::kListId), key);
    return at;
  }
  // No window of the player's but its own: no message box came up.
  bool OnlyItsWindow() const {
    return std::ranges::all_of(probe::TopLevel(player.pid), [&](const probe::WindowInfo& w) {
      return w.handle == window || !w.visible;
    });
  }
};

Bytes FileOf(const std::string& name) {
  return ReadBytes(Setting("TURV_SOUND_WORK") + "\\" + name);
}

class Sound : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(probe::WaitUntil([&] { return heard.Started(); }, 10'000));
  }
  Recording heard{Setting("TURV_SOUND_RECORDING")};
};

// Browsing: each audio entry plays in the view when it is selected, with a
// position bar that moves and Space that pauses; leaving it stops it; a
// damaged one says so in the view, silent, with no message box.
TEST_F(Sound, EveryAudioEntryPlaysInTheViewWithItsBar) {
  Bytes damaged = FileOf("tone880.mp3");
  damaged.resize(200);
  Stage stage("preview", {{"00 Start.txt", {'H', 'i'}},
                          {"01 Tief.wav", ToneWav(660, 4'000, 0.5)},
                          {"02 Mitte.mp3", FileOf("tone880.mp3")},
                          {"03 Hoch.m4a", FileOf("tone1100.m4a")},
                          {"04 Kaputt.mp3", damaged},
                          {"05 Ende.txt", {'E', 'n', 'd', 'e'}}});
  ASSERT_NE(stage.window, nullptr);
  const HWND bar = stage.Control(player::kPositionId);
  // The next entry, and the time its sound began (its bar moved).
  const auto next = [&](double& pressed) {
    pressed = stage.Press(VK_DOWN);
    ::Sleep(100);
    EXPECT_TRUE(probe::WaitUntil([&] { return probe::ProgressPosition(bar) > 0; }, 5'000));
    return NowMs();
  };
  double wav = 0, mp3 = 0, m4a = 0;
  ::Sleep(800);
  const double quiet = NowMs();
  const double wavBegan = next(wav);
  ::Sleep(1'000);
  EXPECT_TRUE(::IsWindowVisible(bar));
  EXPECT_GT(probe::ProgressPosition(bar), 700);
  const double paused = stage.Press(VK_SPACE);
  ::Sleep(400);
  const int pausedAt = probe::ProgressPosition(bar);
  ::Sleep(800);
  EXPECT_NEAR(probe::ProgressPosition(bar), pausedAt, 100);
  const double resumed = stage.Press(VK_SPACE);
  EXPECT_TRUE(
      probe::WaitUntil([&] { return probe::ProgressPosition(bar) > pausedAt + 50; }, 5'000));
  const double resumedBegan = NowMs();
  ::Sleep(800);
  const double mp3Began = next(mp3);
  ::Sleep(1'000);
  const double m4aBegan = next(m4a);
  ::Sleep(1'000);
  const double broken = stage.Press(VK_DOWN);
  EXPECT_TRUE(probe::WaitUntil(
      [&] {
        return probe::TextOfW(stage.Control(player::kInfoId)).find(L"nicht abspielen") !=
               std::wstring::npos;
      },
      5'000));
  EXPECT_FALSE(::IsWindowVisible(bar));
  EXPECT_TRUE(stage.OnlyItsWindow());
  ::Sleep(500);
  const double end = NowMs();

  struct Span {
    const char* what;
    double from, to;
    int hertz;  // 0: silence
  };
  // 200 ms for the sound to reach the sink once its bar moved, 150 ms for
  // it to end.
  for (const Span& span :
       {Span{"before", quiet, wav, 0}, Span{"wav", wavBegan + 200, paused, 660},
        Span{"paused", paused + 400, resumed, 0}, Span{"resumed", resumedBegan + 200, mp3, 660},
        Span{"mp3", mp3Began + 200, m4a, 880}, Span{"m4a", m4aBegan + 200, broken, 1100},
        Span{"damaged", broken + 300, end, 0}}) {
    const auto tones =
        heard.Tones(span.from + (span.hertz ? 0 : 150), span.to - 150, {660, 880, 1100});
    for (const auto& [hertz, level] : tones) {
      if (hertz == span.hertz) {
        EXPECT_GT(level, 0.1) << span.what << ": " << hertz << " Hz missing";
      } else {
        EXPECT_LT(level, 0.01) << span.what << ": " << hertz << " Hz heard";
      }
    }
  }
  for (const auto& [what, at, hertz] :
       {std::tuple{"wav", wav, 660}, std::tuple{"mp3", mp3, 880}, std::tuple{"m4a", m4a, 1100}}) {
    if (const auto onset = heard.Onset(hertz, at, at + 3'000, 0.1)) {
      std::printf("onset %s %.0f ms\n", what, *onset - at);
    }
  }
}

// The show: each slide's narration is heard while that slide is up, in
// order, with the music under it at a lower level, and the music ends with
// the show.
TEST_F(Sound, ANarratedShowIsHeardSlideBySlideOverItsMusic) {
  const std::string settings =
      "[Show]\nStart=show\nAdvance=1\nMusic=Musik.mp3\n"
      "[01 Eins.txt]\nSound=say660.mp3\n[02 Zwei.txt]\nSound=say880.mp3\n"
      "[03 Drei.txt]\nSound=say1100.mp3\n";
  Stage stage("show", {{"01 Eins.txt", {'1'}},
                       {"02 Zwei.txt", {'2'}},
                       {"03 Drei.txt", {'3'}},
                       {"Musik.mp3", FileOf("music330.mp3")},
                       {"say1100.mp3", FileOf("say1100.mp3")},
                       {"say660.mp3", FileOf("say660.mp3")},
                       {"say880.mp3", FileOf("say880.mp3")},
                       {"show.ini", Bytes(settings.begin(), settings.end())}});
  // The show's window names the slide it shows: when each came up.
  std::vector<std::pair<std::wstring, double>> shown;
  const double begin = NowMs();
  while (NowMs() - begin < 20'000) {
    const auto windows = probe::TopLevel(stage.player.pid);
    const auto show = std::ranges::find_if(windows, [](const probe::WindowInfo& w) {
      return w.className == player::kShowClass && w.visible;
    });
    if (show == windows.end() && shown.size() == 3) break;
    if (show != windows.end()) {
      const std::wstring title = probe::TitleOfW(show->handle);
      if (shown.empty() || shown.back().first != title) shown.emplace_back(title, NowMs());
    }
    ::Sleep(2);
  }
  const double ended = NowMs();
  ::Sleep(800);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].first, L"01 Eins");
  EXPECT_EQ(shown[2].first, L"03 Drei");
  EXPECT_TRUE(stage.OnlyItsWindow());

  const std::vector<int> narrations{660, 880, 1100};
  for (std::size_t i = 0; i < 3; ++i) {
    const double from = shown[i].second, to = i + 1 < 3 ? shown[i + 1].second : ended;
    const auto onset = heard.Onset(narrations[i], from, to, 0.1);
    ASSERT_TRUE(onset) << narrations[i] << " Hz never heard on slide " << i + 1;
    std::printf("onset slide %zu %.0f ms\n", i + 1, *onset - from);
    // The narration stands out while it plays (1.5 s: the slide may stand a
    // little longer), the music under it.
    const auto tones =
        heard.Tones(*onset + 100, std::min(to - 150, *onset + 1'300), {330, 660, 880, 1100});
    for (const int hertz : narrations) {
      if (hertz == narrations[i]) {
        EXPECT_GT(tones.at(hertz), 0.1) << hertz << " Hz on slide " << i + 1;
      } else {
        EXPECT_LT(tones.at(hertz), 0.01) << hertz << " Hz on slide " << i + 1;
      }
    }
    EXPECT_GT(tones.at(330), 0.02) << "the music under slide " << i + 1;
    EXPECT_LT(tones.at(330), tones.at(narrations[i]) / 2) << "the music over slide " << i + 1;
  }
  EXPECT_LT(heard.Tones(ended + 300, ended + 800, {330}).at(330), 0.01) << "the music went on";
}

// A narration follows its slide however the slide was reached: a number and
// Enter, the overview. The sounds are packed before the slides, so that the
// show's slides are not the entries' numbers.
TEST_F(Sound, ANarrationFollowsItsSlideByNumberAndFromTheOverview) {
  const std::string settings =
      "[Show]\nStart=show\n[01 Eins.txt]\nSound=say660.mp3\n[03 Drei.txt]\nSound=say1100.mp3\n";
  Stage stage("jump", {{"say1100.mp3", FileOf("say1100.mp3")},
                       {"say660.mp3", FileOf("say660.mp3")},
                       {"01 Eins.txt", {'1'}},
                       {"02 Zwei.txt", {'2'}},
                       {"03 Drei.txt", {'3'}},
                       {"show.ini", Bytes(settings.begin(), settings.end())}});
  const auto show = probe::WaitFor(
      [&](const probe::WindowInfo& w) {
        return w.pid == stage.player.pid && w.className == player::kShowClass && w.visible;
      },
      30'000);
  ASSERT_TRUE(show) << "no show";
  ::Sleep(2'500);  // the first slide's narration has played
  const auto heardAfter = [&](std::initializer_list<WPARAM> keys, int hertz, int other) {
    const double at = NowMs();
    for (const WPARAM key : keys) probe::PressKey(show->handle, key);
    ::Sleep(2'500);
    const auto onset = heard.Onset(hertz, at, at + 1'500, 0.1);
    ASSERT_TRUE(onset) << hertz << " Hz never heard";
    const auto tones = heard.Tones(*onset + 100, *onset + 900, {hertz, other});
    EXPECT_GT(tones.at(hertz), 0.1) << hertz;
    EXPECT_LT(tones.at(other), 0.01) << other;
  };
  heardAfter({'3', VK_RETURN}, 1100, 660);
  EXPECT_EQ(probe::TitleOfW(show->handle), L"03 Drei");
  heardAfter({VK_TAB, VK_HOME, VK_RETURN}, 660, 1100);
  EXPECT_EQ(probe::TitleOfW(show->handle), L"01 Eins");
}

}  // namespace
}  // namespace turv
