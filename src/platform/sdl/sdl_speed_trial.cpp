// Start-up speed trial: which present path copies whole frames faster here.
#include <algorithm>
#include <limits>

#include "platform/sdl/sdl_present.h"

namespace vv::platform::sdl {
namespace {

// The first presents compile shaders and allocate; they are not timed.
constexpr int kWarmUpPresents = 2;
constexpr int kTimedPresents = 24;
constexpr double kBudgetSeconds = 0.030;  // per path
constexpr double kUnusable = std::numeric_limits<double>::infinity();

// A frame without runs or repeats, so that no path gets a cheap case.
void FillTestPattern(SDL_Surface* s) {
  for (int y = 0; y < s->h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(s->pixels) +
                                            static_cast<size_t>(y) * s->pitch);
    for (int x = 0; x < s->w; ++x) {
      row[x] = (static_cast<uint32_t>(x) * 2654435761u) ^ (static_cast<uint32_t>(y) * 40503u);
    }
  }
}

// Seconds per whole-frame present; infinity when presenting fails.
double TimePresents(Presenter& presenter, SDL_Surface* frame) {
  const Rect all{0, 0, frame->w, frame->h};
  for (int i = 0; i < kWarmUpPresents; ++i) {
    if (!presenter.Show(frame, all, true)) return kUnusable;
  }
  const double tick = static_cast<double>(SDL_GetPerformanceFrequency());
  const Uint64 start = SDL_GetPerformanceCounter();
  int count = 0;
  double elapsed = 0;
  while (count < kTimedPresents && elapsed < kBudgetSeconds) {
    if (!presenter.Show(frame, all, false)) return kUnusable;
    ++count;
    elapsed = static_cast<double>(SDL_GetPerformanceCounter() - start) / tick;
  }
  return elapsed / count;
}

double TimeSurfacePath(Size client, SDL_Surface* frame) {
  SDL_Window* scratch = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                         client.width, client.height, SDL_WINDOW_HIDDEN);
  if (!scratch) return kUnusable;
  double seconds = kUnusable;
  std::string error;
  if (auto presenter = CreatePresenter(PresentPath::Surface, scratch, client, error)) {
    seconds = TimePresents(*presenter, frame);
  }
  SDL_DestroyWindow(scratch);
  return seconds;
}

}  // namespace

PresentPath RunSpeedTrial(SDL_Window* window, Size client, std::unique_ptr<Presenter>& texture) {
  texture.reset();
  SurfacePtr frame = CreateShadow(client);
  if (!frame) return PresentPath::Surface;
  FillTestPattern(frame.get());

  std::string error;
  std::unique_ptr<Presenter> candidate =
      CreatePresenter(PresentPath::Texture, window, client, error);
  const double textureSeconds = candidate ? TimePresents(*candidate, frame.get()) : kUnusable;
  const double surfaceSeconds = TimeSurfacePath(client, frame.get());
  if (textureSeconds < surfaceSeconds) {
    texture = std::move(candidate);
    return PresentPath::Texture;
  }
  return PresentPath::Surface;
}

}  // namespace vv::platform::sdl
