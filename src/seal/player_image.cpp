// The player checks: what the Windows loader and the shell demand of a
// program they start, read from its headers (never its code).
#include "seal/player_image.h"

#include <array>

#include "seal/branding.h"
#include "seal/pe_image.h"

namespace turv::seal {

namespace {

constexpr std::uint16_t kExecutableImage = 0x0002;
constexpr std::uint16_t kDll = 0x2000;
constexpr std::uint16_t kNativeSubsystem = 1, kGuiSubsystem = 2, kConsoleSubsystem = 3;

std::string Hex(std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
  return text;
}

std::string MachineName(std::uint16_t machine) {
  switch (machine) {
    case kMachineI386:
      return "x86 (32-bit)";
    case kMachineAmd64:
      return "x64 (64-bit)";
    case kMachineArm64:
      return "ARM64";
    case 0x01C0:
    case 0x01C2:
    case 0x01C4:
      return "ARM (32-bit)";
    case 0x0200:
      return "Itanium";
    default:
      return "machine " + Hex(machine);
  }
}

std::string SubsystemName(std::uint16_t subsystem) {
  static const std::array<std::pair<std::uint16_t, const char*>, 11> kNames = {{
      {5, "OS/2 console"},
      {7, "POSIX console"},
      {8, "Windows 9x driver"},
      {9, "Windows CE"},
      {10, "EFI application"},
      {11, "EFI boot service driver"},
      {12, "EFI runtime driver"},
      {13, "EFI ROM"},
      {14, "Xbox"},
      {16, "Windows boot application"},
      {0, "unknown"},
  }};
  for (const auto& [id, name] : kNames) {
    if (id == subsystem) return name;
  }
  return "unknown";
}

// Why the loader or the shell would refuse to start it as a program.
std::optional<std::string> StartProblem(const ByteSource& file, const PeHeaders& h) {
  if ((h.characteristics & kDll) != 0) return "a DLL, not a program";
  if ((h.characteristics & kExecutableImage) == 0) {
    return "not marked as an executable image (an unfinished link, not a program)";
  }
  if (h.subsystem == kNativeSubsystem) {
    return "a driver or a native-subsystem program, which Windows does not start as a program";
  }
  if (h.subsystem != kGuiSubsystem && h.subsystem != kConsoleSubsystem) {
    return "a program for another system (subsystem " + std::to_string(h.subsystem) + ": " +
           SubsystemName(h.subsystem) + ")";
  }
  if (h.machine != kMachineI386 && h.machine != kMachineAmd64 && h.machine != kMachineArm64) {
    return "a program for " + MachineName(h.machine) +
           " processors; Windows starts x86, x64 and ARM64 programs";
  }
  if (h.plus != (h.machine != kMachineI386)) {
    return std::string("a ") + (h.plus ? "64-bit (PE32+)" : "32-bit (PE32)") + " header on an " +
           MachineName(h.machine) + " program, which the loader refuses";
  }
  if (const auto problem = LayoutProblem(file, h)) {
    return "a program file the Windows loader refuses: " + *problem;
  }
  return std::nullopt;
}

}  // namespace

PlayerFacts ReadPlayer(const ByteSource& file) {
  PlayerFacts facts;
  facts.size = file.Size();
  PeHeaders h;
  try {
    h = ReadHeaders(file);
    facts.problem = StartProblem(file, h);
  } catch (const SealError& error) {
    facts.problem = error.what();
  }
  if (facts.problem) return facts;
  facts.kind =
      MachineName(h.machine) + (h.subsystem == kConsoleSubsystem ? " console program" : " program");
  if (h.machine == kMachineAmd64) facts.note = "it starts on 64-bit Windows only";
  if (h.machine == kMachineArm64) facts.note = "it starts on 64-bit Windows on ARM only";
  facts.isSigned = h.Dir(kSecurityDirectory) != nullptr;
  // A resource tree the loader never reads is no reason to refuse a
  // program: its strings are shown where they can be read.
  try {
    if (const auto version = ReadVersion(file)) {
      for (const char* wanted : {"ProductName", "FileVersion"}) {
        for (const auto& [key, value] : version->strings) {
          if (key == wanted) {
            facts.strings.emplace_back(key, value);
            break;
          }
        }
      }
    }
  } catch (const SealError&) {
  }
  return facts;
}

}  // namespace turv::seal
