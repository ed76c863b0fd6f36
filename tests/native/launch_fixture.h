// A launch on the test double: a package in C:\Kurs, a player resource, and
// the steps a user's start runs through.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/launch_state.h"
#include "core/turv_u.h"
#include "fake_windows.h"

namespace turv::testing {

inline fake::Bytes Pattern(std::size_t size, std::uint8_t seed) {
  fake::Bytes bytes(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

inline fake::Bytes Concat(fake::Bytes a, const fake::Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline std::string Text(const fake::Bytes& bytes) {
  return {bytes.begin(), bytes.end()};
}

class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    Launch = LaunchState{};
    auto& w = fake::System();
    w.imageLessPlayer = 4'000;
    player = Pattern(3'000, 7);
    player[0] = 'M';
    player[1] = 'Z';
    w.player = player;
  }

  fake::Windows& W() { return fake::System(); }

  // The launcher image as built: its own bytes, then the player's, padded
  // to image size, then the package's data.
  void MakePackage(const fake::Bytes& data, const std::string& path = "C:\\Kurs\\Kurs.exe") {
    fake::Bytes image = Pattern(static_cast<std::size_t>(W().imageLessPlayer.value_or(0)), 3);
    image = Concat(image, player);
    W().modulePath = path;
    W().AddFile(path, Concat(image, data));
  }

  // Program entry: application, main form, run.
  void Start() {
    platform::Application application;
    TForm5 form5;
    application.CreateForm(form5);
    application.Run();
    if (afterRun) afterRun();
  }

  std::string Work() const { return "C:\\Users\\user\\AppData\\Local\\Temp\\KARU"; }

  fake::Bytes player;
  std::function<void()> afterRun;
};

}  // namespace turv::testing
