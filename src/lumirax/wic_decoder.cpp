// Win32 half of the player: PictureDecoder over the Windows Imaging
// Component. Only COM calls to WIC live here; what is made of the rows
// (fitting, scaling, turning) is portable, since Wine's scaler knows only
// nearest-neighbour and Wine's JPEG decoder reports no EXIF.
#include "lumirax/wic_decoder.h"

#include <wincodec.h>
#include <windows.h>

#include <string>
#include <utility>

#include "lumirax/player_text.h"
#include "lumirax/player_texts.h"

// The interface through which a codec decodes at a reduced size; MinGW's
// wincodec.h lacks it. Layout and id as the system declares them; COM
// objects are released, never deleted, so they have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct IWICBitmapSourceTransform : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                               WICPixelFormatGUID* format,
                                               WICBitmapTransformOptions transform, UINT stride,
                                               UINT size, BYTE* buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform,
                                                         BOOL* supported) = 0;
};
#pragma GCC diagnostic pop
__CRT_UUID_DECL(IWICBitmapSourceTransform, 0x3b16811b, 0x6a43, 0x4ec9, 0xb7, 0x13, 0x3d, 0x5a, 0x0c,
                0x13, 0xb9, 0x40)

namespace turv::player {

namespace {

// One reference to a COM object, released when its owner goes.
template <typename T>
class Com {
 public:
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  Com(Com&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Com& operator=(Com&& other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~Com() {
    if (p_ != nullptr) p_->Release();
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  T** Out() { return &p_; }
  template <typename U>
  Com<U> As() const {
    Com<U> other;
    if (FAILED(p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(other.Out())))) {
      return Com<U>();
    }
    return other;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

[[noreturn]] void Fail(HRESULT result) {
  throw PlayerError(
      std::u16string(result == E_OUTOFMEMORY ? text::kPictureNoMemory : text::kPictureDamaged));
}

void Check(HRESULT result) {
  if (FAILED(result)) Fail(result);
}

bool Same(const GUID& a, const GUID& b) {
  return ::IsEqualGUID(a, b) != 0;
}

class WicFrame : public PictureFrame {
 public:
  WicFrame(IWICImagingFactory* factory, std::span<const std::uint8_t> file) : factory_(factory) {
    Check(factory_->CreateStream(stream_.Out()));
    Check(stream_->InitializeFromMemory(const_cast<BYTE*>(file.data()),
                                        static_cast<DWORD>(file.size())));
    Check(factory_->CreateDecoderFromStream(stream_.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                            decoder_.Out()));
    Check(decoder_->GetFrame(0, frame_.Out()));
    UINT width = 0, height = 0;
    Check(frame_->GetSize(&width, &height));
    if (width > 0x7FFF'FFFF || height > 0x7FFF'FFFF) Fail(E_FAIL);
    stored_ = {static_cast<int>(width), static_cast<int>(height)};
    size_ = stored_;
  }

  Size StoredSize() const override { return stored_; }

  Size Reduce(Size wanted) override {
    // A codec that can skip detail (JPEG on Windows) decodes straight to a
    // size near the one shown, in its own pixel format.
    transform_ = frame_.As<IWICBitmapSourceTransform>();
    if (!transform_) return size_;
    UINT w = static_cast<UINT>(wanted.width), h = static_cast<UINT>(wanted.height);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppPBGRA;
    BOOL plain = FALSE;
    if (FAILED(transform_->GetClosestSize(&w, &h)) ||
        FAILED(transform_->GetClosestPixelFormat(&format)) ||
        FAILED(transform_->DoesSupportTransform(WICBitmapTransformRotate0, &plain)) || !plain ||
        !(Same(format, GUID_WICPixelFormat24bppBGR) || Same(format, GUID_WICPixelFormat32bppBGR) ||
          Same(format, GUID_WICPixelFormat32bppPBGRA)) ||
        w == 0 || h == 0 || w >= static_cast<UINT>(stored_.width)) {
      transform_ = Com<IWICBitmapSourceTransform>();
      return size_;
    }
    transformFormat_ = format;
    size_ = {static_cast<int>(w), static_cast<int>(h)};
    return size_;
  }

  void CopyRows(int top, int count, std::span<std::uint32_t> rows) override {
    const WICRect rect{0, top, size_.width, count};
    const auto bytes = static_cast<UINT>(rows.size_bytes());
    auto* out = reinterpret_cast<BYTE*>(rows.data());
    if (transform_) {
      CopyTransformed(rect, rows);
      return;
    }
    if (!converted_) Convert();
    Check(converted_->CopyPixels(&rect, static_cast<UINT>(size_.width) * 4, bytes, out));
  }

 private:
  // Every pixel format the codecs write (paletted, 16-bit, 48- and 64-bit,
  // grey, CMYK) through the system's converter into premultiplied 32 bits.
  void Convert() {
    Com<IWICFormatConverter> converter;
    Check(factory_->CreateFormatConverter(converter.Out()));
    Check(converter->Initialize(frame_.Get(), GUID_WICPixelFormat32bppPBGRA,
                                WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom));
    converted_ = converter.As<IWICBitmapSource>();
    if (!converted_) Fail(E_NOINTERFACE);
  }

  void CopyTransformed(const WICRect& rect, std::span<std::uint32_t> rows) {
    WICPixelFormatGUID format = transformFormat_;
    const bool packed = Same(format, GUID_WICPixelFormat24bppBGR);
    const UINT stride = static_cast<UINT>(size_.width) * (packed ? 3 : 4);
    std::vector<BYTE> band(static_cast<std::size_t>(stride) *
                           static_cast<std::size_t>(rect.Height));
    Check(transform_->CopyPixels(
        &rect, static_cast<UINT>(size_.width), static_cast<UINT>(size_.height), &format,
        WICBitmapTransformRotate0, stride, static_cast<UINT>(band.size()), band.data()));
    const bool opaque = !Same(format, GUID_WICPixelFormat32bppPBGRA);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const BYTE* p = band.data() + i * (packed ? 3 : 4);
      const std::uint32_t alpha = opaque ? 0xFFu : p[3];
      rows[i] = alpha << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
    }
  }

  IWICImagingFactory* factory_;
  Com<IWICStream> stream_;
  Com<IWICBitmapDecoder> decoder_;
  Com<IWICBitmapFrameDecode> frame_;
  Com<IWICBitmapSource> converted_;
  Com<IWICBitmapSourceTransform> transform_;
  WICPixelFormatGUID transformFormat_{};
  Size stored_, size_;
};

// A 16 x 16 grey JPEG of our own, every block flat: one quantisation
// table, one Huffman code each for the DC difference 0 and the end of block.
// clang-format off
constexpr std::uint8_t kProbeJpeg[] = {
    0xFF, 0xD8,                                         // start of image
    0xFF, 0xDB, 0x00, 0x43, 0x00,                       // quantisation: all ones
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    0xFF, 0xC0, 0x00, 0x0B, 8, 0, 16, 0, 16, 1, 1, 0x11, 0,  // frame: 16 x 16, grey
    0xFF, 0xC4, 0x00, 0x14, 0x00,                       // DC table: one code,
    1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,  // the difference 0
    0xFF, 0xC4, 0x00, 0x14, 0x10,                       // AC table: one code,
    1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,  // the end of block
    0xFF, 0xDA, 0x00, 0x08, 1, 1, 0x00, 0, 63, 0,       // scan
    0x00,                                               // four flat blocks
    0xFF, 0xD9};                                        // end of image
// clang-format on

}  // namespace

WicDecoder::WicDecoder() {
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory_)))) {
    factory_ = nullptr;
    throw PlayerError(std::u16string(text::kPictureNoDecoder));
  }
  // How far this system's JPEG codec shrinks while decoding (Windows' to an
  // eighth, Wine's not at all), asked once of a picture whose size we know.
  try {
    WicFrame probe(factory_, kProbeJpeg);
    const int reduced = probe.Reduce({1, 1}).width;
    jpegReduction_ = reduced > 0 && reduced < 16 ? 16 / reduced : 1;
  } catch (const PlayerError&) {
    jpegReduction_ = 1;
  }
}

WicDecoder::~WicDecoder() {
  if (factory_ != nullptr) factory_->Release();
}

std::unique_ptr<PictureFrame> WicDecoder::Open(std::span<const std::uint8_t> file) {
  if (file.empty()) Fail(E_FAIL);
  return std::make_unique<WicFrame>(factory_, file);
}

}  // namespace turv::player
