// Portable core of the player: the show's navigation and its choice of what
// to decode ahead.
#include "lumirax/show_model.h"

#include <algorithm>

#include "lumirax/player_text.h"

namespace turv::player {

namespace {
// A number longer than any show is only ever "past the end".
constexpr std::size_t kTypedLimit = 1'000'000'000;
}  // namespace

Show::Show(std::vector<bool> decoded, std::size_t start, bool loop)
    : decoded_(std::move(decoded)),
      current_(decoded_.empty() ? 0 : std::min(start, decoded_.size() - 1)),
      loop_(loop) {}

bool Show::Go(Step step) {
  if (decoded_.empty()) return false;
  switch (step) {
    case Step::Next:
      if (current_ + 1 < decoded_.size()) {
        ++current_;
      } else if (loop_) {
        current_ = 0;
      } else {
        return false;
      }
      break;
    case Step::Previous:
      if (current_ > 0) --current_;
      break;
    case Step::First:
      current_ = 0;
      break;
    case Step::Last:
      current_ = decoded_.size() - 1;
      break;
  }
  return true;
}

std::optional<std::size_t> Show::Following() const {
  if (current_ + 1 < decoded_.size()) return current_ + 1;
  if (loop_ && !decoded_.empty()) return 0;
  return std::nullopt;
}

Show::Outcome Show::Digit(int digit) {
  if (digit < 0 || digit > 9) return Outcome::Unhandled;
  typing_ = true;
  typed_ = std::min(kTypedLimit, typed_ * 10 + static_cast<std::size_t>(digit));
  return Outcome::Kept;
}

// Any step brings a blanked screen back, and takes the step.
Show::Outcome Show::TakeStep(Show::Step step) {
  const std::size_t before = current_;
  const bool blanked = screen_ != Screen::Slide;
  screen_ = Screen::Slide;
  if (!Go(step)) return Outcome::Ended;
  if (current_ != before) return Outcome::Moved;
  return blanked ? Outcome::Redraw : Outcome::Kept;
}

Show::Outcome Show::Press(Key key) {
  if (decoded_.empty()) return Outcome::Ended;
  const bool typed = typing_;
  const std::size_t number = typed_;
  typing_ = false;
  typed_ = 0;
  if (key == Key::Enter && typed) {
    const std::size_t to = std::clamp<std::size_t>(number, 1, decoded_.size()) - 1;
    const bool moved = to != current_;
    overview_ = false;
    screen_ = Screen::Slide;
    current_ = to;
    return moved ? Outcome::Moved : Outcome::Redraw;
  }
  if (overview_) return OverviewKey(key);
  switch (key) {
    case Key::Next:
    case Key::Right:
    case Key::Down:
      return TakeStep(Step::Next);
    case Key::Previous:
    case Key::Left:
    case Key::Up:
      return TakeStep(Step::Previous);
    case Key::First:
      return TakeStep(Step::First);
    case Key::Last:
      return TakeStep(Step::Last);
    case Key::Black:
    case Key::White: {
      const Screen wanted = key == Key::Black ? Screen::Black : Screen::White;
      screen_ = screen_ == wanted ? Screen::Slide : wanted;
      return Outcome::Redraw;
    }
    case Key::Overview:
      overview_ = true;
      screen_ = Screen::Slide;
      mark_ = current_;
      return Outcome::Redraw;
    case Key::Escape:
      return Outcome::Ended;
    case Key::Enter:
      return Outcome::Unhandled;
  }
  return Outcome::Unhandled;
}

Show::Outcome Show::OverviewKey(Key key) {
  const std::size_t last = decoded_.size() - 1;
  switch (key) {
    case Key::Left:
    case Key::Previous:
      return MoveMark(mark_ == 0 ? 0 : mark_ - 1);
    case Key::Right:
    case Key::Next:
      return MoveMark(std::min(last, mark_ + 1));
    case Key::Up:
      return MoveMark(mark_ < columns_ ? mark_ : mark_ - columns_);
    case Key::Down:
      return MoveMark(last - mark_ < columns_ ? mark_ : mark_ + columns_);
    case Key::First:
      return MoveMark(0);
    case Key::Last:
      return MoveMark(last);
    case Key::Enter: {
      overview_ = false;
      const bool moved = mark_ != current_;
      current_ = mark_;
      return moved ? Outcome::Moved : Outcome::Redraw;
    }
    case Key::Overview:
    case Key::Escape:
      overview_ = false;  // back to the slide that was up
      return Outcome::Redraw;
    case Key::Black:
    case Key::White:
      return Outcome::Kept;
  }
  return Outcome::Unhandled;
}

Show::Outcome Show::MoveMark(std::size_t to) {
  if (to == mark_) return Outcome::Kept;
  mark_ = to;
  return Outcome::Redraw;
}

std::vector<std::size_t> Show::Wanted() const {
  std::vector<std::size_t> wanted;
  const auto want = [&](std::size_t i) {
    if (i < decoded_.size() && decoded_[i] &&
        std::find(wanted.begin(), wanted.end(), i) == wanted.end()) {
      wanted.push_back(i);
    }
  };
  want(current_);
  if (const auto next = Following()) want(*next);
  if (current_ > 0) want(current_ - 1);
  return wanted;
}

void Stopwatch::Toggle(std::uint64_t now) {
  if (paused_) {
    since_ = now;
  } else {
    kept_ += now - since_;
  }
  paused_ = !paused_;
}

void Stopwatch::Reset(std::uint64_t now) {
  kept_ = 0;
  since_ = now;
}

std::vector<std::u16string> NotesPerEntry(const format::ShowSettings& settings,
                                          std::span<const format::Entry> entries) {
  std::vector<std::u16string> notes(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const format::SlideSettings* slide = settings.Slide(entries[i].name);
    if (slide == nullptr) continue;
    for (const std::string& line : slide->notes) {
      if (!notes[i].empty()) notes[i] += u'\n';
      notes[i] += FromUtf8(line);
    }
  }
  return notes;
}

std::vector<std::u16string> ReadNotes(const Presentation& presentation) {
  const auto& entries = presentation.Entries();
  const std::string wanted = format::FoldCase(format::kShowSettingsName);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (format::FoldCase(entries[i].name) != wanted) continue;
    try {
      const Bytes body = presentation.ReadBody(i, format::kShowSettingsMax);
      const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
      return NotesPerEntry(format::ParseShowSettings(text).settings, entries);
    } catch (const PlayerError&) {
      break;
    }
  }
  return std::vector<std::u16string>(entries.size());
}

std::u16string MinutesSeconds(std::uint64_t milliseconds) {
  const std::uint64_t seconds = milliseconds / 1000;
  std::u16string text;
  for (std::uint64_t minutes = seconds / 60; minutes > 0 || text.size() < 2; minutes /= 10) {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + minutes % 10));
  }
  text += u':';
  text += static_cast<char16_t>(u'0' + seconds % 60 / 10);
  text += static_cast<char16_t>(u'0' + seconds % 10);
  return text;
}

}  // namespace turv::player
