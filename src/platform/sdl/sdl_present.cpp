#include "platform/sdl/sdl_present.h"

#include <cstring>

#include "platform/sdl/sdl_platform.h"

namespace vv::platform::sdl {
namespace {

SDL_Rect ToSdl(const Rect& r) { return {r.left, r.top, r.width(), r.height()}; }

const uint8_t* PixelAt(const SDL_Surface* s, int x, int y) {
  return static_cast<const uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch +
         static_cast<size_t>(x) * 4;
}

bool IsOneToOne(const Rect& dest, Size client) {
  return dest.width() == client.width && dest.height() == client.height;
}

// Renderer plus streaming texture.
class TexturePresenter final : public Presenter {
 public:
  TexturePresenter(SDL_Window* window, Size client) : window_(window), client_(client) {}
  ~TexturePresenter() override {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
  }

  bool Start(std::string& error) {
    // No vsync: the engine paces its frames itself.
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_ || !CreateTexture()) {
      error = SDL_GetError();
      return false;
    }
    return true;
  }

  PresentPath Path() const override { return PresentPath::Texture; }

  bool Show(SDL_Surface* shadow, const Rect& changed, bool /*whole*/) override {
    if (!texture_ && !CreateTexture()) return false;
    const Rect upload = uploadAll_ ? Rect{0, 0, client_.width, client_.height} : changed;
    if (!upload.empty()) {
      const SDL_Rect r = ToSdl(upload);
      if (SDL_UpdateTexture(texture_, &r, PixelAt(shadow, upload.left, upload.top),
                            shadow->pitch) != 0) {
        return false;
      }
    }
    uploadAll_ = false;
    // The back buffer holds nothing useful after a present: draw it all.
    if (!Draw()) return false;
    SDL_RenderPresent(renderer_);
    return true;
  }

  bool ReadOutput(std::vector<uint8_t>& pixels, Size& outputSize) override {
    if (!texture_ || uploadAll_) return false;
    // Reading the back buffer after a present gives undefined pixels, so
    // the last frame is drawn again (not presented) and read.
    if (!Draw()) return false;
    outputSize = Output();
    pixels.assign(static_cast<size_t>(outputSize.width) * outputSize.height * 4, 0);
    return SDL_RenderReadPixels(renderer_, nullptr, kShadowFormat, pixels.data(),
                                outputSize.width * 4) == 0;
  }

  void ClientResized(Size client) override {
    client_ = client;
    DestroyTexture();
  }

  void DeviceReset() override { DestroyTexture(); }

 private:
  bool CreateTexture() {
    // The X format ignores the alpha byte; ARGB with blending off is the
    // fallback for renderers that lack it.
    for (Uint32 format : {kShadowFormat, Uint32{SDL_PIXELFORMAT_ARGB8888}}) {
      texture_ = SDL_CreateTexture(renderer_, format, SDL_TEXTUREACCESS_STREAMING,
                                   client_.width, client_.height);
      if (texture_) break;
    }
    if (!texture_) return false;
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    scaleMode_ = -1;
    uploadAll_ = true;
    return true;
  }

  void DestroyTexture() {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
  }

  Size Output() const {
    Size s;
    if (SDL_GetRendererOutputSize(renderer_, &s.width, &s.height) != 0) return client_;
    return s;
  }

  bool Draw() {
    const Rect dest = FitFrame(client_, Output());
    if (dest.empty()) return false;
    // Whole factors stay sharp; other factors are smoothed.
    const int mode = (dest.width() % client_.width == 0 && dest.height() % client_.height == 0)
                         ? SDL_ScaleModeNearest
                         : SDL_ScaleModeLinear;
    if (mode != scaleMode_) {
      SDL_SetTextureScaleMode(texture_, static_cast<SDL_ScaleMode>(mode));
      scaleMode_ = mode;
    }
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    const SDL_Rect d = ToSdl(dest);
    return SDL_RenderCopy(renderer_, texture_, nullptr, &d) == 0;
  }

  SDL_Window* window_;
  Size client_;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int scaleMode_ = -1;
  bool uploadAll_ = true;
};

// The window's framebuffer surface.
class SurfacePresenter final : public Presenter {
 public:
  SurfacePresenter(SDL_Window* window, Size client) : window_(window), client_(client) {}

  bool Start(std::string& error) {
    if (!SDL_GetWindowSurface(window_)) {
      error = SDL_GetError();
      return false;
    }
    return true;
  }

  PresentPath Path() const override { return PresentPath::Surface; }

  bool Show(SDL_Surface* shadow, const Rect& changed, bool whole) override {
    SDL_Surface* out = SDL_GetWindowSurface(window_);
    if (!out) return false;
    const Size output{out->w, out->h};
    const Rect dest = FitFrame(client_, output);
    if (dest.empty()) return false;
    // A new surface (after a resize) starts with undefined pixels.
    whole = whole || out != lastSurface_ || output != lastOutput_ || dest != lastDest_;
    lastSurface_ = out;
    lastOutput_ = output;
    lastDest_ = dest;
    if (whole && !IsOneToOne(dest, output)) SDL_FillRect(out, nullptr, SDL_MapRGB(out->format, 0, 0, 0));

    SDL_Rect target;
    if (IsOneToOne(dest, client_)) {
      const Rect area = whole ? Rect{0, 0, client_.width, client_.height} : changed;
      if (area.empty()) return true;
      SDL_Rect src = ToSdl(area);
      target = {dest.left + area.left, dest.top + area.top, area.width(), area.height()};
      if (SDL_BlitSurface(shadow, &src, out, &target) != 0) return false;
    } else {
      // Scaled: the whole frame, so that no seams appear where partial
      // updates would round differently.
      target = ToSdl(dest);
      if (SDL_BlitScaled(shadow, nullptr, out, &target) != 0) return false;
    }
    if (whole) return SDL_UpdateWindowSurface(window_) == 0;
    return SDL_UpdateWindowSurfaceRects(window_, &target, 1) == 0;
  }

  bool ReadOutput(std::vector<uint8_t>& pixels, Size& outputSize) override {
    SDL_Surface* out = SDL_GetWindowSurface(window_);
    if (!out || out != lastSurface_) return false;
    outputSize = {out->w, out->h};
    pixels.assign(static_cast<size_t>(out->w) * out->h * 4, 0);
    if (SDL_MUSTLOCK(out) && SDL_LockSurface(out) != 0) return false;
    const int rc = SDL_ConvertPixels(out->w, out->h, out->format->format, out->pixels, out->pitch,
                                     kShadowFormat, pixels.data(), out->w * 4);
    if (SDL_MUSTLOCK(out)) SDL_UnlockSurface(out);
    return rc == 0;
  }

  void ClientResized(Size client) override {
    client_ = client;
    lastSurface_ = nullptr;
  }

  void DeviceReset() override { lastSurface_ = nullptr; }

 private:
  SDL_Window* window_;
  Size client_;
  SDL_Surface* lastSurface_ = nullptr;
  Size lastOutput_;
  Rect lastDest_;
};

}  // namespace

SurfacePtr CreateShadow(Size size) {
  SurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, size.width, size.height, 32, kShadowFormat));
  if (s) {
    // Blits copy the bytes as they are; the unused byte never blends.
    SDL_SetSurfaceBlendMode(s.get(), SDL_BLENDMODE_NONE);
    std::memset(s->pixels, 0, static_cast<size_t>(s->pitch) * s->h);
  }
  return s;
}

std::unique_ptr<Presenter> CreatePresenter(PresentPath path, SDL_Window* window, Size client,
                                           std::string& error) {
  if (path == PresentPath::Texture) {
    auto p = std::make_unique<TexturePresenter>(window, client);
    if (p->Start(error)) return p;
  } else if (path == PresentPath::Surface) {
    auto p = std::make_unique<SurfacePresenter>(window, client);
    if (p->Start(error)) return p;
  } else {
    error = "the memory path belongs to the headless backend";
  }
  return nullptr;
}

}  // namespace vv::platform::sdl
