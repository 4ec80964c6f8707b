#include "imaging/jpeg_file.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/file_bytes.h"

// libjpeg reports fatal errors through error_exit, which must not return. Ours records the
// message and longjmps back to the step that called libjpeg. To keep that jump well defined in
// C++, every function that calls setjmp holds only trivially destructible locals, creates no
// C++ objects between setjmp and the libjpeg calls, and touches no local after the jump; all
// state lives in a context struct reached through a pointer. C++ allocations (the Picture,
// the result) happen outside those functions.

namespace {

// Scans in a single file beyond which decoding is refused: real progressive files use around
// ten; a hostile file with many thousands of scans would otherwise keep the decoder busy for
// minutes.
constexpr int kMaxScans = 1000;
// Memory libjpeg may use for a progressive file's whole-image coefficient arrays.
constexpr long kMaxDecoderMemory = 1024L * 1024 * 1024;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX + 64];
  char firstWarning[JMSG_LENGTH_MAX];
  long warnings;
};

[[noreturn]] void failWithMessage(j_common_ptr cinfo, const char* text) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::snprintf(err->message, sizeof err->message, "%s", text);
  std::longjmp(err->jump, 1);
}

[[noreturn]] void onErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  std::snprintf(err->message, sizeof err->message, "%s", text);
  std::longjmp(err->jump, 1);
}

// Warnings (level -1) are counted; trace messages are ignored; nothing is ever printed.
void onEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (err->warnings++ == 0) (*cinfo->err->format_message)(cinfo, err->firstWarning);
}
void onOutputMessage(j_common_ptr) {}

void installErrorManager(ErrorManager* err) {
  std::memset(err, 0, sizeof *err);
  jpeg_std_error(&err->pub);
  err->pub.error_exit = onErrorExit;
  err->pub.emit_message = onEmitMessage;
  err->pub.output_message = onOutputMessage;
}

// ---- reading ----

const JOCTET kFakeEndOfImage[2] = {0xFF, JPEG_EOI};

void sourceInit(j_decompress_ptr) {}
boolean sourceFill(j_decompress_ptr cinfo) {
  // The data is exhausted: warn (a truncated file) and feed an end-of-image marker so libjpeg
  // finishes with what it has.
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = kFakeEndOfImage;
  cinfo->src->bytes_in_buffer = 2;
  return TRUE;
}
void sourceSkip(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  if (static_cast<unsigned long>(count) > src->bytes_in_buffer) {
    sourceFill(cinfo);
    return;
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<size_t>(count);
}
void sourceTerm(j_decompress_ptr) {}

void progressMonitor(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans)
    failWithMessage(cinfo, "too many scans in a progressive file");
}

struct ReadContext {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_source_mgr source;
  jpeg_progress_mgr progress;
  const uint8_t* data = nullptr;
  size_t size = 0;
  bool created = false;
  bool allRowsRead = false;

  ReadContext() {
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&source, 0, sizeof source);
    std::memset(&progress, 0, sizeof progress);
  }
  ~ReadContext() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
  ReadContext(const ReadContext&) = delete;
  ReadContext& operator=(const ReadContext&) = delete;
};

// Creates the decompressor, attaches the memory source and reads the header.
bool readHeaderStep(ReadContext* c) {
  installErrorManager(&c->err);
  c->cinfo.err = &c->err.pub;
  if (setjmp(c->err.jump)) return false;
  jpeg_create_decompress(&c->cinfo);
  c->created = true;
  c->cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
  c->source.init_source = sourceInit;
  c->source.fill_input_buffer = sourceFill;
  c->source.skip_input_data = sourceSkip;
  c->source.resync_to_restart = jpeg_resync_to_restart;
  c->source.term_source = sourceTerm;
  c->source.next_input_byte = c->data;
  c->source.bytes_in_buffer = c->size;
  c->cinfo.src = &c->source;
  c->progress.progress_monitor = progressMonitor;
  c->cinfo.progress = &c->progress;
  jpeg_read_header(&c->cinfo, TRUE);
  return true;
}

inline uint8_t mul255(unsigned a, unsigned b) { return static_cast<uint8_t>((a * b + 127) / 255); }

// Converts one decoded row to blue, green, red.
void convertRow(const ReadContext* c, const JSAMPLE* in, uint8_t* out, JDIMENSION width) {
  switch (c->cinfo.out_color_space) {
    case JCS_GRAYSCALE:
      for (JDIMENSION x = 0; x < width; ++x, out += 3) out[0] = out[1] = out[2] = in[x];
      break;
    case JCS_CMYK:
      // Adobe writes CMYK inverted (0 = full ink); without its marker assume plain CMYK.
      for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned cy = in[0], ma = in[1], ye = in[2], k = in[3];
        if (!c->cinfo.saw_Adobe_marker) cy = 255 - cy, ma = 255 - ma, ye = 255 - ye, k = 255 - k;
        out[0] = mul255(ye, k);
        out[1] = mul255(ma, k);
        out[2] = mul255(cy, k);
      }
      break;
    default:  // JCS_RGB
      for (JDIMENSION x = 0; x < width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
      break;
  }
}

// Decodes every row into picture, which already has the output size.
bool decodeStep(ReadContext* c, Picture* picture) {
  if (setjmp(c->err.jump)) return c->allRowsRead;  // damage after the last row costs nothing
  jpeg_start_decompress(&c->cinfo);
  if (c->cinfo.output_width != static_cast<JDIMENSION>(picture->width()) ||
      c->cinfo.output_height != static_cast<JDIMENSION>(picture->height()))
    failWithMessage(reinterpret_cast<j_common_ptr>(&c->cinfo), "unexpected output size");
  JSAMPARRAY buffer = (*c->cinfo.mem->alloc_sarray)(
      reinterpret_cast<j_common_ptr>(&c->cinfo), JPOOL_IMAGE,
      c->cinfo.output_width * static_cast<JDIMENSION>(c->cinfo.output_components), 1);
  while (c->cinfo.output_scanline < c->cinfo.output_height) {
    JDIMENSION y = c->cinfo.output_scanline;
    if (jpeg_read_scanlines(&c->cinfo, buffer, 1) != 1) continue;
    convertRow(c, buffer[0], picture->row(static_cast<int>(y)), c->cinfo.output_width);
  }
  c->allRowsRead = true;
  jpeg_finish_decompress(&c->cinfo);
  return true;
}

std::string readFailure(const ReadContext& c) {
  return std::string("The JPEG picture cannot be read (") + c.err.message + ")";
}

// ---- writing ----

// Grows a malloc'd buffer, so that libjpeg callbacks never throw C++ exceptions.
struct MemoryDestination {
  jpeg_destination_mgr pub;
  unsigned char* buffer;
  size_t capacity;
  size_t used;
};

struct WriteContext {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  MemoryDestination destination;
  bool created = false;

  WriteContext() {
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&destination, 0, sizeof destination);
  }
  ~WriteContext() {
    if (created) jpeg_destroy_compress(&cinfo);
    std::free(destination.buffer);
  }
  WriteContext(const WriteContext&) = delete;
  WriteContext& operator=(const WriteContext&) = delete;
};

bool growDestination(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  size_t filled = d->capacity - d->pub.free_in_buffer;
  size_t capacity = d->capacity ? d->capacity * 2 : 65536;
  auto* grown = static_cast<unsigned char*>(std::realloc(d->buffer, capacity));
  if (!grown) return false;
  d->buffer = grown;
  d->capacity = capacity;
  d->pub.next_output_byte = grown + filled;
  d->pub.free_in_buffer = capacity - filled;
  return true;
}

void destinationInit(j_compress_ptr cinfo) {
  if (!growDestination(cinfo)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
}
boolean destinationEmpty(j_compress_ptr cinfo) {
  // libjpeg calls this with the whole buffer full, whatever free_in_buffer says.
  cinfo->dest->free_in_buffer = 0;
  if (!growDestination(cinfo)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
  return TRUE;
}
void destinationTerm(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<MemoryDestination*>(cinfo->dest);
  d->used = d->capacity - d->pub.free_in_buffer;
}

bool compressStep(WriteContext* c, const Picture* picture, int quality) {
  installErrorManager(&c->err);
  c->cinfo.err = &c->err.pub;
  if (setjmp(c->err.jump)) return false;
  jpeg_create_compress(&c->cinfo);
  c->created = true;
  c->destination.pub.init_destination = destinationInit;
  c->destination.pub.empty_output_buffer = destinationEmpty;
  c->destination.pub.term_destination = destinationTerm;
  c->cinfo.dest = &c->destination.pub;
  c->cinfo.image_width = static_cast<JDIMENSION>(picture->width());
  c->cinfo.image_height = static_cast<JDIMENSION>(picture->height());
  c->cinfo.input_components = 3;
  c->cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c->cinfo);
  jpeg_set_quality(&c->cinfo, quality, TRUE);
  jpeg_start_compress(&c->cinfo, TRUE);
  JSAMPARRAY row = (*c->cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&c->cinfo),
                                                 JPOOL_IMAGE, c->cinfo.image_width * 3, 1);
  while (c->cinfo.next_scanline < c->cinfo.image_height) {
    const uint8_t* in = picture->row(static_cast<int>(c->cinfo.next_scanline));
    JSAMPLE* out = row[0];
    for (JDIMENSION x = 0; x < c->cinfo.image_width; ++x, in += 3, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
    jpeg_write_scanlines(&c->cinfo, row, 1);
  }
  jpeg_finish_compress(&c->cinfo);
  return true;
}

}  // namespace

PictureResult readJpegMemory(const uint8_t* data, size_t size, JpegWarnings* warnings) {
  if (!data || size < 2 || data[0] != 0xFF || data[1] != 0xD8)
    return PictureResult::failure("The data is not a JPEG picture");
  ReadContext c;
  c.data = data;
  c.size = size;
  if (!readHeaderStep(&c)) return PictureResult::failure(readFailure(c));

  std::string message;
  if (!pictureSizeAllowed(c.cinfo.image_width, c.cinfo.image_height, message))
    return PictureResult::failure(message);

  const int components = c.cinfo.num_components;
  if (components != 1 && components != 3 && components != 4)
    return PictureResult::failure("The JPEG picture has an unsupported colour layout (" +
                                  std::to_string(components) + " components)");
  switch (c.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      c.cinfo.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      c.cinfo.out_color_space = JCS_CMYK;
      break;
    default:
      c.cinfo.out_color_space = JCS_RGB;
      break;
  }
  // Full size output: the header's size is the picture's size.
  c.cinfo.scale_num = 1;
  c.cinfo.scale_denom = 1;

  PictureResult result;
  try {
    result.picture.emplace(static_cast<int>(c.cinfo.image_width),
                           static_cast<int>(c.cinfo.image_height));
  } catch (const std::bad_alloc&) {
    return PictureResult::failure("There is not enough memory for the picture (" +
                                  std::to_string(c.cinfo.image_width) + " x " +
                                  std::to_string(c.cinfo.image_height) + " pixels)");
  }
  if (!decodeStep(&c, &*result.picture)) return PictureResult::failure(readFailure(c));
  if (warnings) {
    warnings->count = c.err.warnings;
    warnings->first = c.err.warnings ? c.err.firstWarning : "";
  }
  return result;
}

PictureResult readJpegFile(const std::string& path, JpegWarnings* warnings) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!readFileBytes(path, kMaxPictureFileBytes, bytes, error))
    return PictureResult::failure(error);
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8)
    return PictureResult::failure("The file is not a JPEG picture: " + path);
  PictureResult result = readJpegMemory(bytes.data(), bytes.size(), warnings);
  if (!result) result.error += ": " + path;
  return result;
}

bool encodeJpeg(const Picture& picture, int quality, std::vector<uint8_t>& out,
                std::string* error) {
  out.clear();
  if (picture.empty()) {
    if (error) *error = "There is no picture to save";
    return false;
  }
  if (picture.width() > JPEG_MAX_DIMENSION || picture.height() > JPEG_MAX_DIMENSION) {
    if (error) *error = "The picture is too large for a JPEG file";
    return false;
  }
  WriteContext c;
  if (!compressStep(&c, &picture, std::clamp(quality, 1, 100))) {
    if (error) *error = std::string("The JPEG picture cannot be made (") + c.err.message + ")";
    return false;
  }
  try {
    out.assign(c.destination.buffer, c.destination.buffer + c.destination.used);
  } catch (const std::bad_alloc&) {
    if (error) *error = "There is not enough memory to save the picture";
    return false;
  }
  return true;
}

bool writeJpegFile(const std::string& path, const Picture& picture, int quality,
                   std::string* error) {
  std::vector<uint8_t> bytes;
  if (!encodeJpeg(picture, quality, bytes, error)) {
    if (error) *error += ": " + path;
    return false;
  }
  return writeFileReplacing(path, bytes.data(), bytes.size(), error);
}
