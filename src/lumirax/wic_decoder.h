// The player's picture decoder on Windows: the Windows Imaging Component
// (windowscodecs, through COM), part of Windows since Vista.
#pragma once

#include "lumirax/picture.h"

struct IWICImagingFactory;

namespace turv::player {

class WicDecoder : public PictureDecoder {
 public:
  // Needs COM on the calling thread; throws PlayerError when the system has
  // no imaging component.
  WicDecoder();
  WicDecoder(const WicDecoder&) = delete;
  WicDecoder& operator=(const WicDecoder&) = delete;
  ~WicDecoder() override;

  // Decodes from the bytes given (they must outlive the frame).
  std::unique_ptr<PictureFrame> Open(std::span<const std::uint8_t> file) override;
  int JpegReduction() const override { return jpegReduction_; }

 private:
  IWICImagingFactory* factory_ = nullptr;
  int jpegReduction_ = 1;
};

}  // namespace turv::player
