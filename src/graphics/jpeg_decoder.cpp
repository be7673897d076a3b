// JPEG pictures through libjpeg (interface 62), read from memory.
//
// The library's fatal errors jump back to the setjmp in ReadJpeg; no
// object with a destructor lives in the frames such a jump leaves.
#include <cstddef>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "common/bytes.h"
#include "graphics/image.h"

namespace vv::graphics {

namespace {

// Progressive files keep every coefficient in memory: the largest picture
// (8192 x 8192, three full-size components) needs about 400 MB.
constexpr long kMaxDecoderMemory = 640L << 20;
// A progressive file may split its data into any number of scans, each a
// pass over the whole picture; more than this is no real picture.
constexpr int kMaxScans = 1000;

struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf jump;
  // The scan data ran out before the picture did (the library goes on
  // with grey; we refuse the file).
  bool dataShort;
};

void ErrorExit(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErrors*>(c->err)->jump, 1); }
// Warnings and traces would go to standard error; the load reports itself.
void OutputMessage(j_common_ptr) {}
void EmitMessage(j_common_ptr c, int level) {
  if (level < 0 && c->err->msg_code == JWRN_HIT_MARKER) reinterpret_cast<JpegErrors*>(c->err)->dataShort = true;
}

void LimitScans(j_common_ptr c) {
  if (c->is_decompressor && reinterpret_cast<j_decompress_ptr>(c)->input_scan_number > kMaxScans) {
    c->err->msg_code = JERR_BAD_PROGRESSION;
    c->err->error_exit(c);
  }
}

// The whole file is one buffer. Asked for more after that, the source
// gives an end-of-image marker, so the decoder ends instead of reading
// past the file (or reading the file again).
struct MemorySource {
  jpeg_source_mgr manager;
  std::span<const uint8_t> file;
  bool given = false;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr d) {
  d->src->next_input_byte = nullptr;
  d->src->bytes_in_buffer = 0;
}

boolean FillInputBuffer(j_decompress_ptr d) {
  auto* src = reinterpret_cast<MemorySource*>(d->src);
  // The library reads a byte after every refill: a refill is never empty.
  if (!src->given && !src->file.empty()) {
    src->given = true;
    src->manager.next_input_byte = src->file.data();
    src->manager.bytes_in_buffer = src->file.size();
  } else {
    src->manager.next_input_byte = kEndOfImage;
    src->manager.bytes_in_buffer = sizeof kEndOfImage;
  }
  return TRUE;
}

void SkipInputData(j_decompress_ptr d, long count) {
  if (count <= 0) return;
  while (static_cast<size_t>(count) > d->src->bytes_in_buffer) {
    count -= static_cast<long>(d->src->bytes_in_buffer);
    FillInputBuffer(d);
  }
  d->src->next_input_byte += count;
  d->src->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

struct JpegJob {
  jpeg_decompress_struct info;
  JpegErrors errors;
  MemorySource source;
  jpeg_progress_mgr progress;
  const PixelOps* ops = nullptr;
  LayerImage* image = nullptr;
};

resource::ErrorCode ReadJpeg(JpegJob& job) {
  if (setjmp(job.errors.jump)) return kDecodeFailed;
  jpeg_decompress_struct& d = job.info;
  jpeg_create_decompress(&d);
  d.mem->max_memory_to_use = kMaxDecoderMemory;
  d.progress = &job.progress;
  d.src = &job.source.manager;
  jpeg_read_header(&d, TRUE);
  // Colour pictures come out as RGB, greyscale ones as one sample.
  if (d.jpeg_color_space != JCS_GRAYSCALE) d.out_color_space = JCS_RGB;
  jpeg_calc_output_dimensions(&d);
  if (d.output_width > kMaxImageSide || d.output_height > kMaxImageSide) return kImageTooLarge;
  jpeg_start_decompress(&d);
  if (d.output_components != 1 && d.output_components != 3) return kDecodeFailed;
  // A progressive file has read all its scans by now.
  if (job.errors.dataShort) return kDecodeFailed;

  LayerImage& image = *job.image;
  const int w = static_cast<int>(d.output_width), h = static_cast<int>(d.output_height);
  if (!AllocatePixels(*job.ops, image, w, h)) return kImageOutOfMemory;
  JSAMPARRAY row = (*d.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE,
                                          d.output_width * static_cast<JDIMENSION>(d.output_components), 1);
  const int components = d.output_components;
  while (d.output_scanline < d.output_height) {
    const int y = static_cast<int>(d.output_scanline);
    if (jpeg_read_scanlines(&d, row, 1) != 1 || job.errors.dataShort) return kDecodeFailed;
    uint8_t* out = image.pixels.get() + static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w) * 4;
    const JSAMPLE* in = row[0];
    for (int x = 0; x < w; ++x, out += 4, in += components) {
      if (components == 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      } else {
        out[0] = out[1] = out[2] = in[0];
      }
      out[3] = 255;
    }
  }
  // A missing end marker after complete data is no damage.
  jpeg_finish_decompress(&d);
  return 0;
}

}  // namespace

resource::ErrorCode DecodeJpeg(std::span<const uint8_t> file, const PixelOps& ops, LayerImage& image) {
  auto job = std::make_unique<JpegJob>();
  job->info.err = jpeg_std_error(&job->errors.manager);
  job->errors.manager.error_exit = ErrorExit;
  job->errors.manager.output_message = OutputMessage;
  job->errors.manager.emit_message = EmitMessage;
  job->progress.progress_monitor = LimitScans;
  job->source.manager.init_source = InitSource;
  job->source.manager.fill_input_buffer = FillInputBuffer;
  job->source.manager.skip_input_data = SkipInputData;
  job->source.manager.resync_to_restart = jpeg_resync_to_restart;
  job->source.manager.term_source = TermSource;
  job->source.file = common::ByteReader(file).data();
  job->ops = &ops;
  job->image = &image;
  const resource::ErrorCode rc = ReadJpeg(*job);
  jpeg_destroy_decompress(&job->info);
  return rc;
}

}  // namespace vv::graphics
