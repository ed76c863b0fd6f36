// Win32 half of the player: its sounds, through MCI's "mpegvideo" device
// (winmm, in every Windows: the DirectShow filters behind it play MP3,
// WAV, M4A/AAC and WMA where the system has its media components, and an
// edition without them merely fails to open; Media Foundation's DLLs are
// missing there and would have to be loaded by hand). Opening a file takes
// from 30 ms to seconds, so all MCI work is done on a thread of the desk's
// own, which has a message-only window for MCI's end notices and the
// window thread's commands; the window thread reads the positions the
// sound thread last saw.
#include "lumirax/sound_desk.h"

#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "lumirax/system_dll.h"
#include "lumirax/win32_files.h"
#include "win32/com_scope.h"

namespace turv::player {

namespace {

constexpr wchar_t kSinkClass[] = L"turv.lumirax.sound";
constexpr UINT kWake = WM_APP + 1;  // commands are waiting
constexpr UINT kQuit = WM_APP + 2;
constexpr UINT_PTR kPositionTimer = 1;
constexpr UINT kPositionMs = 50;
constexpr unsigned kNeverPlayingTicks = 3'000 / kPositionMs;
constexpr ULONGLONG kLengthWaitMs = 5'000;
// Devices opened ahead and kept ready to play at once, the oldest closed first.
constexpr std::size_t kReadyDevices = 4;

// A number in a command (std::to_wstring would import wide printf).
std::wstring Decimal(unsigned value) {
  const std::string digits = std::to_string(value);
  return std::wstring(digits.begin(), digits.end());
}

// MCI in winmm, loaded from the system folder.
class Mci {
 public:
  Mci()
      : winmm_(L"winmm.dll"),
        send_(winmm_.Find<decltype(::mciSendStringW)>("mciSendStringW")),
        id_(winmm_.Find<decltype(::mciGetDeviceIDW)>("mciGetDeviceIDW")) {}
  explicit operator bool() const { return send_ != nullptr && id_ != nullptr; }
  // One command string; its answer, or nothing when MCI refused it.
  std::optional<std::wstring> operator()(const std::wstring& command,
                                         HWND callback = nullptr) const {
    std::array<wchar_t, 128> answer{};
    if (send_(command.c_str(), answer.data(), static_cast<UINT>(answer.size()), callback) != 0) {
      return std::nullopt;
    }
    return std::wstring(answer.data());
  }
  MCIDEVICEID Id(const std::wstring& alias) const { return id_(alias.c_str()); }

 private:
  SystemDll winmm_;
  decltype(::mciSendStringW)* send_;
  decltype(::mciGetDeviceIDW)* id_;
};

bool IsWave(const std::u16string& path) {
  const auto dot = path.rfind(u'.');
  if (dot == std::u16string::npos) return false;
  std::u16string ending = path.substr(dot + 1);
  for (char16_t& c : ending) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
  return ending == u"wav";
}

// An open MCI device under an alias of its own; closed when its owner goes.
class Device {
 public:
  Device() = default;
  Device(Device&& other) noexcept
      : mci_(other.mci_),
        alias_(std::exchange(other.alias_, {})),
        id_(std::exchange(other.id_, 0)) {}
  Device& operator=(Device&& other) noexcept {
    if (this != &other) {
      Close();
      mci_ = other.mci_;
      alias_ = std::exchange(other.alias_, {});
      id_ = std::exchange(other.id_, 0);
    }
    return *this;
  }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;
  ~Device() { Close(); }

  // Opens the file for playing; an empty device when MCI cannot.
  static Device Open(const Mci& mci, const std::u16string& path, unsigned number) {
    Device device;
    device.mci_ = &mci;
    // Aliases are the process's: each desk's thread names its own.
    const std::wstring alias =
        L"turv" + Decimal(static_cast<unsigned>(::GetCurrentThreadId())) + L"_" + Decimal(number);
    const std::wstring file = L"\"" + Wide(path) + L"\"";
    bool open = mci(L"open " + file + L" type mpegvideo alias " + alias).has_value();
    // Without DirectShow's filters a WAV file still plays on the wave device.
    if (!open && IsWave(path)) {
      open = mci(L"open " + file + L" type waveaudio alias " + alias).has_value();
    }
    if (!open) return device;
    device.alias_ = alias;
    device.id_ = mci.Id(alias);
    device.Command(L"set", L"time format milliseconds");
    return device;
  }

  explicit operator bool() const { return !alias_.empty(); }
  MCIDEVICEID Id() const { return id_; }
  bool Command(const wchar_t* verb, const std::wstring& rest = {}, HWND callback = nullptr) const {
    return (*mci_)(std::wstring(verb) + L" " + alias_ + (rest.empty() ? L"" : L" " + rest),
                   callback)
        .has_value();
  }
  std::optional<std::wstring> Text(const wchar_t* item) const {
    return (*mci_)(L"status " + alias_ + L" " + item);
  }
  std::optional<std::uint32_t> Status(const wchar_t* item) const {
    const auto answer = Text(item);
    if (!answer || answer->empty()) return std::nullopt;
    std::uint32_t value = 0;
    for (const wchar_t c : *answer) {
      if (c < L'0' || c > L'9') return std::nullopt;
      value = value * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    return value;
  }

 private:
  void Close() {
    if (!alias_.empty()) (*mci_)(L"close " + alias_);
    alias_.clear();
    id_ = 0;
  }

  const Mci* mci_ = nullptr;
  std::wstring alias_;
  MCIDEVICEID id_ = 0;
};

constexpr std::size_t kChannels = 3;

}  // namespace

struct SoundDesk::Impl {
  // What the window thread asked of a channel; serial tells one Play from
  // the next.
  struct Wish {
    unsigned serial = 0;
    std::optional<std::size_t> entry;
    int volume = 100;
    bool repeat = false;
    bool paused = false;
  };
  // What the sound thread plays on a channel.
  struct Track {
    Device device;
    unsigned serial = 0;
    bool repeat = false;
    bool seenPlaying = false;
    unsigned stoppedTicks = 0;  // observed stopped without having played
  };
  enum class Body { Unknown, Written, Failed };

  Impl(const Presentation& p, std::u16string work, HWND notifyWindow, UINT ended)
      : presentation(p),
        workFolder(std::move(work)),
        notify(notifyWindow),
        endedMessage(ended),
        bodies(p.Entries().size(), Body::Unknown),
        thread([this] { Run(); }) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return started; });
  }

  ~Impl() {
    if (sink != nullptr) ::PostMessageW(sink, kQuit, 0, 0);
    thread.join();
  }

  // ---- The window thread ----

  void Ask(std::size_t channel) {
    if (sink == nullptr) return;  // the thread could not make its window: silence
    {
      const std::lock_guard lock(mutex);
      dirty[channel] = true;
    }
    ::PostMessageW(sink, kWake, 0, 0);
  }

  // ---- The sound thread ----

  void Run() {
    // DirectShow, behind MCI, lives on this thread.
    const win32::ComScope com(COINIT_APARTMENTTHREADED);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kSinkClass;
    ::RegisterClassExW(&windowClass);  // a second desk finds it registered
    const win32::WindowHandle window(::CreateWindowExW(
        0, kSinkClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr));
    if (window) {
      ::SetWindowLongPtrW(window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      ::SetTimer(window.Get(), kPositionTimer, kPositionMs, nullptr);
    }
    {
      const std::lock_guard lock(mutex);
      sink = window.Get();
      started = true;
    }
    changed.notify_all();
    if (!window) return;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (message.message == kQuit) break;
      ::DispatchMessageW(&message);
    }
    for (Track& track : tracks) track.device = Device();
    ready.clear();
    ::KillTimer(window.Get(), kPositionTimer);
    ::SetWindowLongPtrW(window.Get(), GWLP_USERDATA, 0);
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
      case kWake:
        self->Follow();
        return 0;
      case WM_TIMER:
        self->Observe();
        return 0;
      case MM_MCINOTIFY:
        self->Notified(wParam, static_cast<MCIDEVICEID>(lParam));
        return 0;
      default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
  }

  std::u16string PathOf(std::size_t entry) const {
    return SoundPath(workFolder, presentation.Entries()[entry].name);
  }

  // The body as a file in the work folder, written once.
  bool Written(std::size_t entry) {
    if (bodies[entry] == Body::Unknown) {
      try {
        ::CreateDirectoryW(Wide(JoinPath(workFolder, kSoundFolderName)).c_str(), nullptr);
        WriteReplacing(PathOf(entry), [&](const ByteSink& sinkOf) {
          presentation.CopyBody(entry, 1u << 20, sinkOf);
        });
        bodies[entry] = Body::Written;
      } catch (...) {
        bodies[entry] = Body::Failed;
      }
    }
    return bodies[entry] == Body::Written;
  }

  Device Open(std::size_t entry) {
    const auto found = std::ranges::find(ready, entry, &std::pair<std::size_t, Device>::first);
    if (found != ready.end()) {
      Device device = std::move(found->second);
      ready.erase(found);
      return device;
    }
    Device device;
    if (mci && Written(entry)) device = Device::Open(mci, PathOf(entry), ++aliases);
    std::optional<std::uint32_t> length;
    if (device) length = device.Status(L"length");
    {
      const std::lock_guard lock(mutex);
      lengths[entry] = length.value_or(0);
      if (!device) failed.push_back(entry);
    }
    changed.notify_all();
    return device;
  }

  // Brings every channel to what the window thread last asked, then makes
  // ready what was asked for ahead, one entry at a time, so that a channel's
  // new sound never waits behind more than one of those.
  void Follow() {
    for (;;) {
      std::optional<std::size_t> channel;
      std::optional<std::size_t> prepare;
      Wish wish;
      {
        const std::lock_guard lock(mutex);
        for (std::size_t c = 0; c < kChannels && !channel; ++c) {
          if (dirty[c]) channel = c, wish = wishes[c], dirty[c] = false;
        }
        if (!channel && !toPrepare.empty()) {
          prepare = toPrepare.front();
          toPrepare.erase(toPrepare.begin());
          const bool isReady =
              std::ranges::find(ready, *prepare, &std::pair<std::size_t, Device>::first) !=
              ready.end();
          if (isReady || std::ranges::find(failed, *prepare) != failed.end()) continue;
        }
      }
      if (prepare) {
        if (Device device = Open(*prepare)) {
          if (ready.size() == kReadyDevices) ready.erase(ready.begin());
          ready.emplace_back(*prepare, std::move(device));
        }
        continue;
      }
      if (!channel) return;
      Track& track = tracks[*channel];
      if (track.serial != wish.serial) {
        track = Track();
        track.serial = wish.serial;
        if (wish.entry) Start(*channel, track, wish);
      } else if (track.device) {
        // "play" without "from" goes on where "pause" stopped, on every device.
        if (wish.paused) {
          track.device.Command(L"pause");
        } else {
          track.device.Command(L"play", L"notify", sink);
        }
      }
    }
  }

  void Start(std::size_t channel, Track& track, const Wish& wish) {
    track.repeat = wish.repeat;
    track.device = Open(*wish.entry);
    bool playing = false;
    if (track.device) {
      track.device.Command(L"setaudio",
                           L"volume to " + Decimal(static_cast<unsigned>(wish.volume) * 10));
      playing = track.device.Command(L"play", L"from 0 notify", sink);
      if (playing && wish.paused) track.device.Command(L"pause");
    }
    if (!playing) Ended(channel, true);
  }

  void Ended(std::size_t channel, bool couldNotPlay) {
    Track& track = tracks[channel];
    const unsigned serial = track.serial;
    track.device = Device();
    {
      // The channel plays nothing now, unless another sound was asked for.
      const std::lock_guard lock(mutex);
      if (wishes[channel].serial == serial) wishes[channel].entry.reset();
    }
    ::PostMessageW(notify, endedMessage, channel,
                   static_cast<LPARAM>(serial) << 1 | (couldNotPlay ? 1 : 0));
  }

  void Notified(WPARAM flags, MCIDEVICEID id) {
    if (flags != MCI_NOTIFY_SUCCESSFUL) return;
    for (std::size_t c = 0; c < kChannels; ++c) {
      if (!tracks[c].device) continue;
      // Wine names no device (0): whichever stands stopped has ended.
      if (id != 0 ? tracks[c].device.Id() == id : Stopped(tracks[c])) Finished(c);
    }
  }

  static bool Stopped(const Track& track) { return track.device.Text(L"mode") == L"stopped"; }

  // The channel's sound played to its end: again, or over.
  void Finished(std::size_t channel) {
    Track& track = tracks[channel];
    track.seenPlaying = false;
    track.stoppedTicks = 0;
    if (track.repeat && track.device.Command(L"play", L"from 0 notify", sink)) return;
    Ended(channel, false);
  }

  // Where each channel is, for the window thread to read.
  void Observe() {
    std::array<std::optional<Position>, kChannels> seen;
    for (std::size_t c = 0; c < kChannels; ++c) {
      if (!tracks[c].device) continue;
      Position position;
      position.played = tracks[c].device.Status(L"position").value_or(0);
      position.length = tracks[c].device.Status(L"length").value_or(0);
      // A sound seen playing that stands stopped has ended, whether or not
      // its notice came; one never seen playing is taken as over after a
      // while, so that nothing waits for it.
      if (Stopped(tracks[c])) {
        if (tracks[c].seenPlaying || ++tracks[c].stoppedTicks > kNeverPlayingTicks) {
          Finished(c);
          continue;
        }
      } else {
        tracks[c].seenPlaying = true;
      }
      seen[c] = position;
    }
    const std::lock_guard lock(mutex);
    for (std::size_t c = 0; c < kChannels; ++c) {
      if (seen[c] && tracks[c].serial == wishes[c].serial) positions[c] = *seen[c];
    }
  }

  const Presentation& presentation;
  const std::u16string workFolder;
  const HWND notify;
  const UINT endedMessage;
  const Mci mci;                                      // before the thread, which uses it
  std::vector<Body> bodies;                           // the sound thread's
  std::array<Track, kChannels> tracks;                // the sound thread's
  std::vector<std::pair<std::size_t, Device>> ready;  // the sound thread's, oldest first
  unsigned aliases = 0;  // the sound thread's: the last device's number

  std::mutex mutex;  // guards what follows
  std::condition_variable changed;
  bool started = false;
  HWND sink = nullptr;
  std::array<Wish, kChannels> wishes;
  std::array<bool, kChannels> dirty{};
  std::array<Position, kChannels> positions;
  std::vector<std::size_t> toPrepare;
  std::map<std::size_t, std::uint32_t> lengths;  // 0: cannot play
  std::vector<std::size_t> failed;
  unsigned serials = 0;

  std::thread thread;  // last: starts when everything above is there
};

SoundDesk::SoundDesk(const Presentation& presentation, std::u16string workFolder, HWND notify,
                     UINT endedMessage)
    : impl_(std::make_unique<Impl>(presentation, std::move(workFolder), notify, endedMessage)) {}

SoundDesk::~SoundDesk() = default;

bool SoundDesk::Play(Channel channel, std::size_t entry, int volumePercent, bool repeat) {
  const auto c = static_cast<std::size_t>(channel);
  const bool audio = impl_->sink != nullptr && entry < impl_->presentation.Entries().size() &&
                     KindByName(impl_->presentation.Entries()[entry].name) == Kind::Audio;
  bool plays = false;
  {
    const std::lock_guard lock(impl_->mutex);
    const bool failedBefore = std::ranges::find(impl_->failed, entry) != impl_->failed.end();
    Impl::Wish& wish = impl_->wishes[c];
    wish = Impl::Wish();
    wish.serial = ++impl_->serials;
    impl_->positions[c] = Position();
    if (audio && !failedBefore) {
      wish.entry = entry;
      wish.volume = std::clamp(volumePercent, 0, 100);
      wish.repeat = repeat;
      plays = true;
    }
  }
  impl_->Ask(c);
  return plays;
}

void SoundDesk::Stop(Channel channel) {
  const auto c = static_cast<std::size_t>(channel);
  {
    const std::lock_guard lock(impl_->mutex);
    if (!impl_->wishes[c].entry) return;
    impl_->wishes[c] = Impl::Wish();
    impl_->wishes[c].serial = ++impl_->serials;
  }
  impl_->Ask(c);
}

void SoundDesk::Pause(Channel channel, bool paused) {
  const auto c = static_cast<std::size_t>(channel);
  {
    const std::lock_guard lock(impl_->mutex);
    Impl::Wish& wish = impl_->wishes[c];
    if (!wish.entry || wish.paused == paused) return;
    wish.paused = paused;
  }
  impl_->Ask(c);
}

std::optional<SoundDesk::Position> SoundDesk::Where(Channel channel) const {
  const auto c = static_cast<std::size_t>(channel);
  const std::lock_guard lock(impl_->mutex);
  if (!impl_->wishes[c].entry) return std::nullopt;
  Position position = impl_->positions[c];
  position.paused = impl_->wishes[c].paused;
  return position;
}

bool SoundDesk::Current(WPARAM wParam, LPARAM lParam) const {
  if (wParam >= kChannels) return false;
  const std::lock_guard lock(impl_->mutex);
  return impl_->wishes[wParam].serial == static_cast<unsigned>(lParam >> 1);
}

void SoundDesk::Prepare(std::size_t entry) {
  if (impl_->sink == nullptr || entry >= impl_->presentation.Entries().size() ||
      KindByName(impl_->presentation.Entries()[entry].name) != Kind::Audio) {
    return;
  }
  {
    const std::lock_guard lock(impl_->mutex);
    impl_->toPrepare.push_back(entry);
  }
  ::PostMessageW(impl_->sink, kWake, 0, 0);
}

std::optional<std::uint32_t> SoundDesk::Length(std::size_t entry) {
  if (impl_->sink == nullptr || entry >= impl_->presentation.Entries().size() ||
      KindByName(impl_->presentation.Entries()[entry].name) != Kind::Audio) {
    return std::nullopt;
  }
  Prepare(entry);
  // Polled against the tick count: a timed wait on the condition would
  // import the thread library's clocks.
  const ULONGLONG deadline = ::GetTickCount64() + kLengthWaitMs;
  for (;;) {
    {
      const std::lock_guard lock(impl_->mutex);
      if (const auto found = impl_->lengths.find(entry); found != impl_->lengths.end()) {
        if (found->second == 0) return std::nullopt;
        return found->second;
      }
    }
    if (::GetTickCount64() > deadline) return std::nullopt;
    ::Sleep(5);
  }
}

}  // namespace turv::player
