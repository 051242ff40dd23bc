#include "input/ByteSource.h"

#include "input/MapPages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace korvane {

size_t MemorySource::ReadAt(int64_t offset, uint8_t* dst, size_t n) {
  if (offset < 0 || offset >= int64_t(view_.size())) return 0;
  size_t count = std::min(n, view_.size() - size_t(offset));
  std::memcpy(dst, view_.data() + offset, count);
  return count;
}

FileSource::~FileSource() { ::close(fd_); }

std::unique_ptr<FileSource> FileSource::Open(const std::string& path, int* errorCode) {
  // Opened without blocking, so that a FIFO with no writer is refused rather than waited on.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errorCode) *errorCode = errno;
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (errorCode) *errorCode = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return std::unique_ptr<FileSource>(new FileSource(fd, int64_t(st.st_size)));
}

size_t FileSource::ReadAt(int64_t offset, uint8_t* dst, size_t n) {
  if (offset < 0) return 0;
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(fd_, dst + done, n - done, offset + int64_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failed_ = true;
    if (got <= 0) break;
    done += size_t(got);
  }
  return done;
}

int64_t FileSource::CurrentSize() const {
  struct stat st {};
  return ::fstat(fd_, &st) == 0 ? int64_t(st.st_size) : size_;
}

Cursor::Cursor(ByteSource& source, size_t bufferSize)
    : source_(source), bufferSize_(std::max<size_t>(bufferSize, 1)), buffer_(new uint8_t[bufferSize_]) {
  MapPagesNow(buffer_.get(), bufferSize_);
}

size_t Cursor::Read(uint8_t* dst, size_t n) {
  size_t done = 0;
  while (done < n) {
    int64_t at = position_;
    if (at >= bufferStart_ && at < bufferStart_ + int64_t(bufferFill_)) {
      size_t offset = size_t(at - bufferStart_);
      size_t count = std::min(n - done, bufferFill_ - offset);
      std::memcpy(dst + done, buffer_.get() + offset, count);
      done += count;
      position_ += int64_t(count);
      continue;
    }
    if (n - done >= bufferSize_) {  // large read: bypass the buffer
      size_t got = source_.ReadAt(at, dst + done, n - done);
      done += got;
      position_ += int64_t(got);
      break;
    }
    bufferStart_ = at;
    bufferFill_ = source_.ReadAt(at, buffer_.get(), bufferSize_);
    if (bufferFill_ == 0) break;
  }
  return done;
}

}  // namespace korvane
