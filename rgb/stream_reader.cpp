// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// The reader handle: frames one by one into the caller's buffer, with
// counting and random access on seekable streams. Never prints.
#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "rgb/buffers.h"
#include "rgb/frames.h"
#include "rgb/rgb.h"

namespace {

constexpr int kKnownFlags = RGB_TOP_ROW_FIRST | RGB_PLANAR | RGB_FRESH_BUFFER;

// The header of the frame about to be read, held between a call that looked
// at it (info, or a buffer too small) and the call that reads its pixels.
struct Pending {
  bool held = false;
  rgb::Shape shape;
  int32_t stamp = 0;
};

// Where the frame being read starts in a seekable stream, so that a failed
// read can go back to it: a file still being written can then be read
// again once it has grown.
class FrameStart {
 public:
  FrameStart(FILE* stream, bool seekable)
      : stream_(stream), at_(seekable ? ftello(stream) : -1) {}
  void restore() const {
    if (at_ >= 0) fseeko(stream_, at_, SEEK_SET);
  }

 private:
  FILE* stream_;
  off_t at_;
};

}  // namespace

struct rgb_reader {
  FILE* stream = nullptr;
  bool owned = false;
  bool seekable = false;
  off_t start = 0;         // where the frame stream starts in a seekable stream
  int64_t index = 0;       // the frame rgb_reader_next reads next
  bool haveFirst = false;  // the first frame's header has been read
  rgb::Shape first;
  int32_t firstStamp = 0;
  Pending pending;
  rgb::Scratch scratch;
  char message[256] = "";  // the last failure in words

  // Records the words of a failure and returns its status.
  int fail(int status, const char* format, ...) __attribute__((format(printf, 3, 4)));

  ~rgb_reader() {
    if (owned) std::fclose(stream);
  }

  off_t frameOffset(int64_t frame) const {
    return start + static_cast<off_t>(frame) * static_cast<off_t>(first.streamFrameBytes());
  }

  int readHeader(const FrameStart& at);
  int peek();
  int firstInfo() { return haveFirst ? RGB_OK : peek(); }
  // The pixels of the frame whose header is pending, into a buffer known
  // to be large enough; then finish.
  int readPending(unsigned char* pixels, int flags);
  // Ends a read of the pending frame: on success the next frame becomes
  // next; on failure the words are recorded and a seekable stream goes back
  // to the frame's header, to read it again once the file has grown.
  int finish(int status);
};

namespace {

rgb_frame_info infoOf(const rgb::Shape& shape, int32_t stamp, int64_t index) {
  return {shape.width, shape.height, shape.planes, stamp, index};
}

rgb_frame_info pendingInfo(const rgb_reader& reader) {
  return infoOf(reader.pending.shape, reader.pending.stamp, reader.index);
}

// A caller's malloc buffer grown to `bytes` (more than it holds now); the
// caller's pointer and size are left alone when there is no memory.
bool grow(unsigned char** pixels, std::size_t* capacity, std::size_t bytes) {
  void* grown = std::realloc(*pixels, bytes);
  if (!grown) return false;
  *pixels = static_cast<unsigned char*>(grown);
  *capacity = bytes;
  return true;
}

// Handles come from malloc: the library needs nothing from the C++ runtime.
int adopt(rgb_reader** out, FILE* stream, bool owned) {
  void* memory = std::malloc(sizeof(rgb_reader));
  if (!memory) {
    if (owned) std::fclose(stream);
    return RGB_ENOMEM;
  }
  rgb_reader* reader = new (memory) rgb_reader;
  reader->stream = stream;
  reader->owned = owned;
  struct stat status {};
  const off_t position = ftello(stream);
  reader->seekable = fstat(fileno(stream), &status) == 0 && S_ISREG(status.st_mode) && position >= 0;
  reader->start = reader->seekable ? position : 0;
  *out = reader;
  return RGB_OK;
}

}  // namespace

int rgb_reader::fail(int status, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  return status;
}

// Reads the next header into `pending`: RGB_END where the stream ends
// cleanly before it.
int rgb_reader::readHeader(const FrameStart& at) {
  RGBHeader header;
  const std::size_t got = fread_unlocked(&header, 1, rgb::kHeaderSize, stream);
  if (got < rgb::kHeaderSize) {
    const bool failed = ferror_unlocked(stream);
    // A stream that ended may grow (a file being appended to, a FIFO's next
    // writer): the next call tries again.
    clearerr_unlocked(stream);
    if (got == 0 && !failed) return RGB_END;
    const int error = errno;
    at.restore();
    if (failed)
      return fail(RGB_EIO, "error reading the header of frame %lld: %s",
                  static_cast<long long>(index), std::strerror(error));
    return fail(RGB_ESHORTHEADER, "the stream ends inside the header of frame %lld (%zu of %zu bytes)",
                static_cast<long long>(index), got, rgb::kHeaderSize);
  }
  const int status = rgb::decodeHeader(&header);
  if (status != RGB_OK) {
    at.restore();
    char words[sizeof message];
    std::snprintf(words, sizeof words, rgb::rejectionFormat(status),
                  rgb::rejectedValue(status, header));
    words[std::strcspn(words, "\n")] = '\0';
    return fail(status, "frame %lld: %s", static_cast<long long>(index), words);
  }
  pending = {true, rgb::shapeOf(header), header.TIMESTAMP};
  return RGB_OK;
}

// The next frame's header, read unless it is held already.
int rgb_reader::peek() {
  if (pending.held) return RGB_OK;
  const FrameStart at(stream, seekable);
  const int status = readHeader(at);
  if (status != RGB_OK) return status;
  if (!haveFirst) {
    haveFirst = true;
    first = pending.shape;
    firstStamp = pending.stamp;
  } else if (pending.shape != first) {
    pending.held = false;
    at.restore();
    return fail(RGB_ESIZECHANGE, "frame %lld is %dx%dx%d, unlike the %dx%dx%d of frame 0",
                static_cast<long long>(index), pending.shape.width, pending.shape.height,
                pending.shape.planes, first.width, first.height, first.planes);
  }
  return RGB_OK;
}

int rgb_reader::readPending(unsigned char* pixels, int flags) {
  return finish(rgb::readPixels(stream, pending.shape, flags, scratch, pixels));
}

int rgb_reader::finish(int status) {
  pending.held = false;
  if (status == RGB_OK) {
    ++index;
    return RGB_OK;
  }
  const int error = errno;
  if (status == RGB_ETRUNCATED)
    fail(status, "the stream ends inside frame %lld", static_cast<long long>(index));
  else if (status == RGB_EIO)
    fail(status, "error reading frame %lld: %s", static_cast<long long>(index), std::strerror(error));
  else
    fail(status, "%s", rgb_strerror(status));
  clearerr_unlocked(stream);
  if (seekable && haveFirst) fseeko(stream, frameOffset(index), SEEK_SET);
  errno = error;
  return status;
}

extern "C" {

int rgb_reader_open(rgb_reader** reader, const char* path) {
  if (!reader || !path) return RGB_EINVAL;
  *reader = nullptr;
  FILE* stream = std::fopen(path, "rbe");
  if (!stream) return RGB_EOPEN;
  struct stat status {};
  if (fstat(fileno(stream), &status) == 0 && S_ISDIR(status.st_mode)) {
    std::fclose(stream);
    errno = EISDIR;
    return RGB_EOPEN;
  }
  return adopt(reader, stream, true);
}

int rgb_reader_from_file(rgb_reader** reader, FILE* stream) {
  if (!reader || !stream) return RGB_EINVAL;
  *reader = nullptr;
  return adopt(reader, stream, false);
}

int rgb_reader_info(rgb_reader* reader, rgb_frame_info* first) {
  if (!reader || !first) return RGB_EINVAL;
  const rgb::StreamLock lock(reader->stream);
  const int status = reader->firstInfo();
  if (status != RGB_OK) return status;
  *first = infoOf(reader->first, reader->firstStamp, 0);
  return RGB_OK;
}

int rgb_reader_count(rgb_reader* reader, int64_t* frames, uint64_t* stray_bytes) {
  if (!reader || !frames) return RGB_EINVAL;
  if (!reader->seekable) return RGB_EUNSEEKABLE;
  const rgb::StreamLock lock(reader->stream);
  struct stat status {};
  if (fstat(fileno(reader->stream), &status) != 0) return RGB_EIO;
  const uint64_t bytes =
      status.st_size > reader->start ? static_cast<uint64_t>(status.st_size - reader->start) : 0;
  // Empty, or a first header still being written: no frame yet.
  if (bytes < rgb::kHeaderSize) {
    *frames = 0;
    if (stray_bytes) *stray_bytes = bytes;
    return RGB_OK;
  }
  const int found = reader->firstInfo();
  if (found != RGB_OK) return found == RGB_END ? RGB_ESHORTHEADER : found;
  const uint64_t frameBytes = reader->first.streamFrameBytes();
  *frames = static_cast<int64_t>(bytes / frameBytes);
  if (stray_bytes) *stray_bytes = bytes % frameBytes;
  return RGB_OK;
}

int rgb_reader_seek(rgb_reader* reader, int64_t index) {
  if (!reader || index < 0) return RGB_EINVAL;
  int64_t frames = 0;
  const int counted = rgb_reader_count(reader, &frames, nullptr);
  if (counted != RGB_OK) return counted;
  if (index > frames) return RGB_ERANGE;
  const rgb::StreamLock lock(reader->stream);
  // An empty stream has no frame size yet; its only position is its start.
  const off_t offset = reader->haveFirst ? reader->frameOffset(index) : reader->start;
  if (fseeko(reader->stream, offset, SEEK_SET) != 0) return RGB_EIO;
  reader->index = index;
  reader->pending.held = false;
  return RGB_OK;
}

int rgb_reader_tell(rgb_reader* reader, int64_t* index) {
  if (!reader || !index) return RGB_EINVAL;
  *index = reader->index;
  return RGB_OK;
}

int rgb_reader_peek(rgb_reader* reader, rgb_frame_info* next) {
  if (!reader || !next) return RGB_EINVAL;
  next->index = reader->index;
  const rgb::StreamLock lock(reader->stream);
  const int status = reader->peek();
  if (status == RGB_OK) *next = pendingInfo(*reader);
  return status;
}

int rgb_reader_next(rgb_reader* reader, unsigned char* pixels, size_t capacity, int flags,
                    rgb_frame_info* info) {
  if (!reader) return RGB_EINVAL;
  // Set first, so that every failure names the frame it concerns.
  if (info) info->index = reader->index;
  if ((flags & ~kKnownFlags) != 0) return RGB_EINVAL;
  const rgb::StreamLock lock(reader->stream);
  const int peeked = reader->peek();
  if (peeked != RGB_OK) return peeked;
  if (info) *info = pendingInfo(*reader);
  const std::size_t need = reader->pending.shape.memoryBytes(flags);
  if (capacity < need)
    return reader->fail(RGB_ECAPACITY, "frame %lld needs %zu bytes, the buffer holds %zu",
                        static_cast<long long>(reader->index), need, capacity);
  if (need > 0 && !pixels) return RGB_EINVAL;
  return reader->readPending(pixels, flags);
}

int rgb_reader_next_grow(rgb_reader* reader, unsigned char** pixels, size_t* capacity, int flags,
                         rgb_frame_info* info) {
  if (!reader) return RGB_EINVAL;
  if (info) info->index = reader->index;
  if (!pixels || !capacity || (!*pixels && *capacity > 0) || (flags & ~kKnownFlags) != 0)
    return RGB_EINVAL;
  const rgb::StreamLock lock(reader->stream);
  const int peeked = reader->peek();
  if (peeked != RGB_OK) return peeked;
  if (info) *info = pendingInfo(*reader);
  const rgb::Shape shape = reader->pending.shape;
  const std::size_t need = shape.memoryBytes(flags);
  if (need <= *capacity) return reader->readPending(*pixels, flags);
  // A file is asked for its size: only a frame it holds in full earns the
  // memory, which is then fresh for the banded path.
  if (reader->seekable) {
    if (rgb::knownRemainder(reader->stream) < shape.streamPixelBytes())
      return reader->finish(RGB_ETRUNCATED);
    if (!grow(pixels, capacity, need)) return reader->finish(RGB_ENOMEM);
    return reader->readPending(*pixels, flags | RGB_FRESH_BUFFER);
  }
  // A pipe tells nothing in advance: its bytes are gathered as they come,
  // and the caller's buffer grows once they are all there.
  std::size_t got = 0;
  int status = rgb::gatherPixels(reader->stream, shape, reader->scratch, &got);
  if (status == RGB_OK && !grow(pixels, capacity, need)) status = RGB_ENOMEM;
  if (status == RGB_OK) rgb::storePixels(reader->scratch.data(), got, shape, flags, *pixels);
  return reader->finish(status);
}

const char* rgb_reader_message(const rgb_reader* reader) {
  return reader ? reader->message : "";
}

void rgb_reader_close(rgb_reader* reader) {
  if (!reader) return;
  reader->~rgb_reader();
  std::free(reader);
}

}  // extern "C"
