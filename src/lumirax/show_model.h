// The show without its window: which slide is on screen, where a key leads,
// when the show ends, and which slides to decode ahead so that a step shows
// at once. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/karu_format.h"
#include "format/show_settings.h"
#include "lumirax/player_model.h"

namespace turv::player {

class Show {
 public:
  enum class Step { Next, Previous, First, Last };
  // The keys a presenter or a clicker sends, as the show reads them.
  enum class Key {
    Next,      // Page Down, Space
    Previous,  // Page Up, Backspace
    First,     // Home
    Last,      // End
    Left,
    Right,
    Up,
    Down,
    Enter,
    Black,     // B or .
    White,     // W or ,
    Overview,  // Tab
    Escape,
  };
  // What a key did, for the window to follow.
  enum class Outcome {
    Unhandled,  // not the show's key here (Enter without a number: the window's)
    Kept,       // nothing to draw (a digit typed, a mark at the edge)
    Redraw,     // the same slide, drawn otherwise (blank, overview, mark)
    Moved,      // another slide: what to decode changed
    Ended,      // the show is over
  };
  enum class Screen { Slide, Black, White };

  // A show of count slides, from slide start; decoded[i] says whether
  // slide i is a picture the decoder must prepare (text is set at once).
  // A looping show goes from the last slide on to the first.
  Show(std::vector<bool> decoded, std::size_t start, bool loop = false);

  std::size_t Count() const { return decoded_.size(); }
  bool Decodes(std::size_t index) const { return index < decoded_.size() && decoded_[index]; }
  std::size_t Current() const { return current_; }
  // The slide a step forward shows: the first after the last in a looping
  // show; none at the end of another.
  std::optional<std::size_t> Following() const;
  // Takes the step; false when it ends the show (Next on the last slide
  // without loop), which leaves the current slide where it was.
  bool Go(Step step);

  // Digits then Enter go to that slide (1-based; past the end: the last).
  Outcome Digit(int digit);
  Outcome Press(Key key);

  Screen Shown() const { return screen_; }
  bool InOverview() const { return overview_; }
  std::size_t Mark() const { return mark_; }  // the overview's marked slide
  // Up and Down in the overview move the mark by a row of this many.
  void SetOverviewColumns(std::size_t columns) { columns_ = columns == 0 ? 1 : columns; }

  // The pictures to have decoded, most urgent first: the current slide,
  // then the next and the previous one.
  std::vector<std::size_t> Wanted() const;

 private:
  Outcome TakeStep(Step step);
  Outcome OverviewKey(Key key);
  Outcome MoveMark(std::size_t to);

  std::vector<bool> decoded_;
  std::size_t current_;
  bool loop_;
  Screen screen_ = Screen::Slide;
  bool overview_ = false;
  std::size_t mark_ = 0;
  std::size_t columns_ = 1;
  std::size_t typed_ = 0;  // the number being typed, 0: none
  bool typing_ = false;
};

// The time since the show began, as the console shows it; it can be paused
// and set back to zero. Times are a monotonic clock's milliseconds.
class Stopwatch {
 public:
  explicit Stopwatch(std::uint64_t now) : since_(now) {}
  std::uint64_t Elapsed(std::uint64_t now) const {
    return paused_ ? kept_ : kept_ + (now - since_);
  }
  bool Paused() const { return paused_; }
  void Toggle(std::uint64_t now);
  void Reset(std::uint64_t now);

 private:
  std::uint64_t since_;     // running: when it last started
  std::uint64_t kept_ = 0;  // what ran before
  bool paused_ = false;
};

// The presenter's notes per packed entry, from its section's Note= lines
// (one line each); empty for an entry without any.
std::vector<std::u16string> NotesPerEntry(const format::ShowSettings& settings,
                                          std::span<const format::Entry> entries);

// The notes of the package's show.ini; none for any entry when it has none
// or it cannot be read (the show goes on without them).
std::vector<std::u16string> ReadNotes(const Presentation& presentation);

// "mm:ss" (minutes past 99 as they come).
std::u16string MinutesSeconds(std::uint64_t milliseconds);

}  // namespace turv::player
