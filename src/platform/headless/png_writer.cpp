#include "platform/headless/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace vv::platform {

namespace {

struct WriteState {
  std::FILE* file = nullptr;
  char message[256] = {};
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<WriteState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// The libpng part, kept apart so that nothing with a destructor lives
// across the setjmp.
bool Encode(WriteState& state, const uint8_t* rgb, int width, int height) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  if (png == nullptr) {
    std::snprintf(state.message, sizeof state.message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, state.file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    png_write_row(png, rgb + static_cast<size_t>(y) * rowBytes);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePng(const std::string& hostPath, const std::vector<uint8_t>& bgraTopDown, Size size,
              std::string& error) {
  const size_t pixels = static_cast<size_t>(size.width > 0 ? size.width : 0) *
                        static_cast<size_t>(size.height > 0 ? size.height : 0);
  if (pixels == 0 || bgraTopDown.size() < pixels * 4) {
    error = "no pixels to write to " + hostPath;
    return false;
  }
  std::vector<uint8_t> rgb(pixels * 3);
  for (size_t i = 0; i < pixels; ++i) {
    rgb[i * 3 + 0] = bgraTopDown[i * 4 + 2];
    rgb[i * 3 + 1] = bgraTopDown[i * 4 + 1];
    rgb[i * 3 + 2] = bgraTopDown[i * 4 + 0];
  }
  WriteState state;
  state.file = std::fopen(hostPath.c_str(), "wbe");
  if (state.file == nullptr) {
    error = "cannot create " + hostPath + ": " + std::strerror(errno);
    return false;
  }
  const bool encoded = Encode(state, rgb.data(), size.width, size.height);
  const bool closed = std::fclose(state.file) == 0;
  if (!encoded || !closed) {
    error = "cannot write " + hostPath + ": " + (encoded ? std::strerror(errno) : state.message);
    std::remove(hostPath.c_str());
    return false;
  }
  return true;
}

}  // namespace vv::platform
