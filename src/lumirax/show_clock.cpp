// Portable core of the player: the show's running order and its clock.
#include "lumirax/show_clock.h"

#include <algorithm>
#include <map>
#include <string>

#include "lumirax/player_texts.h"

namespace turv::player {

std::size_t ShowPlan::SlideOf(std::size_t entry) const {
  const auto found = std::find_if(slides.begin(), slides.end(),
                                  [&](const TimedSlide& slide) { return slide.entry >= entry; });
  if (found != slides.end()) return static_cast<std::size_t>(found - slides.begin());
  return slides.empty() ? 0 : slides.size() - 1;
}

ShowPlan ByHand(std::span<const format::Entry> entries) {
  ShowPlan plan;
  const auto own = SettingsEntry(entries);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i == own) continue;
    plan.slides.emplace_back();
    plan.slides.back().entry = i;
    if (format::IsAudioName(entries[i].name)) plan.slides.back().sound = i;
  }
  return plan;
}

std::optional<std::size_t> SettingsEntry(std::span<const format::Entry> entries) {
  const std::string wanted = format::FoldCase(format::kShowSettingsName);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (format::FoldCase(entries[i].name) == wanted) return i;
  }
  return std::nullopt;
}

ShowPlan PlanShow(const format::ShowSettings& settings, std::span<const format::Entry> entries) {
  std::map<std::string, std::size_t> byName;
  for (std::size_t i = 0; i < entries.size(); ++i)
    byName.emplace(format::FoldCase(entries[i].name), i);
  const auto find = [&](const std::string& name) -> std::optional<std::size_t> {
    if (name.empty()) return std::nullopt;
    const auto found = byName.find(format::FoldCase(name));
    if (found == byName.end()) return std::nullopt;
    return found->second;
  };

  ShowPlan plan;
  plan.loop = settings.loop;
  plan.kiosk = settings.kiosk;
  plan.startInShow = settings.startInShow || settings.kiosk;
  plan.fadeMilliseconds = settings.fadeMilliseconds;
  plan.music = find(settings.music);

  // The sections by entry, and the entries that serve as sounds.
  std::vector<const format::SlideSettings*> sections(entries.size(), nullptr);
  std::vector<bool> serves(entries.size(), false);
  if (plan.music) serves[*plan.music] = true;
  if (const auto own = SettingsEntry(entries)) serves[*own] = true;
  bool narrated = false;
  for (const format::SlideSettings& section : settings.slides) {
    const auto entry = find(section.entry);
    if (!entry) continue;
    sections[*entry] = &section;
    if (const auto sound = find(section.sound)) {
      serves[*sound] = true;
      narrated = true;
    }
  }
  plan.musicVolume = settings.musicVolume.value_or(narrated ? kMusicUnderNarration : 100);

  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (serves[i]) continue;
    TimedSlide slide;
    slide.entry = i;
    slide.milliseconds = settings.advanceMilliseconds;
    if (format::IsAudioName(entries[i].name)) slide.sound = i;
    if (const format::SlideSettings* section = sections[i]) {
      slide.milliseconds = section->milliseconds.value_or(slide.milliseconds);
      if (const auto sound = find(section->sound)) slide.sound = sound;
      slide.volume = section->volume.value_or(100);
    }
    plan.slides.push_back(slide);
  }
  return plan;
}

ShowPlan ReadShow(const Presentation& presentation, std::u16string& problem) {
  const auto& entries = presentation.Entries();
  problem.clear();
  const auto own = SettingsEntry(entries);
  if (!own) return ByHand(entries);
  format::ShowParse parse;
  try {
    const Bytes body = presentation.ReadBody(*own, format::kShowSettingsMax + 1);
    parse = format::ParseShowSettings(
        std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
  } catch (const PlayerError&) {
    problem = text::kShowSettingsUnreadable;
    return ByHand(entries);
  }
  std::vector<std::string> names;
  for (const format::Entry& entry : entries) names.push_back(entry.name);
  format::CheckShowEntries(parse, names);
  if (!parse.problems.empty()) {
    const int line = parse.problems.front().line;
    problem = line > 0
                  ? std::u16string(text::kShowSettingsLine) + FromCp1252(std::to_string(line)) +
                        std::u16string(text::kShowSettingsLineEnd)
                  : std::u16string(text::kShowSettingsDamaged);
    return ByHand(entries);
  }
  return PlanShow(parse.settings, entries);
}

Effect EffectOf(Gesture gesture, bool kiosk) {
  switch (gesture) {
    case Gesture::Escape:
    case Gesture::StepPastEnd:
      return kiosk ? Effect::Nothing : Effect::EndShow;
    case Gesture::Click:
      return kiosk ? Effect::Nothing : Effect::Next;
    case Gesture::Open:
      return kiosk ? Effect::Nothing : Effect::Open;
    case Gesture::Close:
      return kiosk ? Effect::EndPlayer : Effect::EndShow;
  }
  return Effect::Nothing;
}

void ShowClock::Entered(std::uint64_t now, std::uint32_t milliseconds, bool sounding) {
  entered_ = now;
  stands_ = milliseconds;
  sounding_ = sounding;
  soundEnded_ = now;
  played_ = 0;
  moved_ = now;
}

void ShowClock::SoundEnded(std::uint64_t now) {
  if (!sounding_) return;
  sounding_ = false;
  soundEnded_ = now;
}

void ShowClock::SoundAt(std::uint64_t now, std::uint32_t played, std::uint32_t length) {
  if (played != played_) {
    played_ = played;
    moved_ = now;
  }
  if (length > 0 && (played >= length || now - moved_ >= kSoundStallMs)) SoundEnded(now);
}

std::optional<std::uint64_t> ShowClock::Due() const {
  if (stands_ == 0 || sounding_) return std::nullopt;
  return std::max(entered_ + stands_, soundEnded_);
}

bool ShowClock::StartFade(std::uint64_t now, std::uint32_t fadeMs) {
  const bool fading = FadeLevel(now) < 255;
  fadeLength_ = fading ? 0 : fadeMs;
  fadeStart_ = now;
  lastFrame_ = now;
  return fadeLength_ != 0;
}

void ShowClock::Blend(std::span<const std::uint32_t> from, std::span<const std::uint32_t> to,
                      std::span<std::uint32_t> out, int level) {
  // Red and blue in one multiply, green in another: a frame of 1920x1080
  // in a few ms, so that a fade keeps its frame rate.
  // Weights that add up to 256, so that the ends are the slides exactly.
  const auto b = static_cast<std::uint32_t>(std::clamp(level, 0, 255));
  const std::uint32_t to256 = b + (b >> 7), from256 = 256 - to256;
  const std::size_t n = std::min({from.size(), to.size(), out.size()});
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t p = from[i], q = to[i];
    const std::uint32_t redBlue =
        ((p & 0xFF00FF) * from256 + (q & 0xFF00FF) * to256) >> 8 & 0xFF00FF;
    const std::uint32_t green = ((p & 0x00FF00) * from256 + (q & 0x00FF00) * to256) >> 8 & 0x00FF00;
    out[i] = redBlue | green;
  }
}

bool ShowClock::FadeFrame(std::uint64_t now) {
  if (now - lastFrame_ > kFadeStallMs) fadeLength_ = 0;
  lastFrame_ = now;
  return FadeLevel(now) < 255;
}

int ShowClock::FadeLevel(std::uint64_t now) const {
  if (fadeLength_ == 0 || now >= fadeStart_ + fadeLength_) return 255;
  return static_cast<int>((now - fadeStart_) * 255 / fadeLength_);
}

}  // namespace turv::player
