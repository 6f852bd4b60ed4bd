#include "pictures/Png.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tb::sim {

namespace {

// libpng reports errors by longjmp; the message is kept here first.
struct PngErrorSink {
  char message[256] = "";
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<PngErrorSink*>(png_get_error_ptr(png));
  std::snprintf(sink->message, sizeof sink->message, "%s", message ? message : "libpng error");
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Everything with a destructor lives in the caller, so the longjmp skips none.
bool WriteRows(FILE* file, int width, int height, int colourType, std::vector<png_bytep>& rows,
               PngErrorSink& sink) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, OnPngError, OnPngWarning);
  if (png == nullptr) {
    std::snprintf(sink.message, sizeof sink.message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(sink.message, sizeof sink.message, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Writes 8-bit rows of `channels` bytes a pixel (3: RGB, 4: RGBA) to path.
bool WriteBytes(int width, int height, int channels, std::vector<png_byte>& bytes,
                const std::string& path, std::string& error) {
  const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(channels);
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = bytes.data() + y * stride;

  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  PngErrorSink sink;
  bool ok = WriteRows(file, width, height, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                      rows, sink);
  if (std::fclose(file) != 0 && ok) {
    std::snprintf(sink.message, sizeof sink.message, "%s", std::strerror(errno));
    ok = false;
  }
  if (!ok) error = "cannot write " + path + ": " + sink.message;
  return ok;
}

}  // namespace

bool WritePng(const Raster& raster, const std::string& path, std::string& error) {
  const int width = raster.Width();
  const int height = raster.Height();
  if (width <= 0 || height <= 0) {
    error = "cannot write " + path + ": the image is empty";
    return false;
  }
  std::vector<png_byte> rgb(static_cast<size_t>(width) * 3 * static_cast<size_t>(height));
  const uint32_t* pixels = raster.Pixels();
  for (size_t i = 0, n = static_cast<size_t>(width) * static_cast<size_t>(height); i < n; ++i) {
    uint32_t v = pixels[i];
    rgb[3 * i] = static_cast<png_byte>(v & 255);
    rgb[3 * i + 1] = static_cast<png_byte>((v >> 8) & 255);
    rgb[3 * i + 2] = static_cast<png_byte>((v >> 16) & 255);
  }
  return WriteBytes(width, height, 3, rgb, path, error);
}

bool WriteRgbaPng(int width, int height, const std::vector<uint8_t>& rgba, const std::string& path,
                  std::string& error) {
  if (width <= 0 || height <= 0 ||
      rgba.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
    error = "cannot write " + path + ": the image is empty or the wrong size";
    return false;
  }
  std::vector<png_byte> bytes(rgba.begin(), rgba.end());
  return WriteBytes(width, height, 4, bytes, path, error);
}

}  // namespace tb::sim
