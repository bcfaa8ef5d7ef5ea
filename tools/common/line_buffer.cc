#include "common/line_buffer.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace velmo::tools {

namespace {

// One system write of up to `size` bytes; the count written, or -1.
long write_once(int descriptor, const char* data, size_t size) {
#ifdef _WIN32
  return ::_write(descriptor, data, static_cast<unsigned>(size));
#else
  return static_cast<long>(::write(descriptor, data, size));
#endif
}

}  // namespace

LineBuffer::int_type LineBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) {
    return traits_type::not_eof(c);
  }
  pending_.push_back(traits_type::to_char_type(c));
  if (pending_.back() == '\n') {
    emit_complete_lines();
  }
  return c;
}

std::streamsize LineBuffer::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<size_t>(n));
  emit_complete_lines();
  return n;
}

int LineBuffer::sync() {
  emit_complete_lines();
  if (!pending_.empty()) {
    sink_(pending_);
    pending_.clear();
  }
  return 0;
}

void LineBuffer::emit_complete_lines() {
  size_t start = 0;
  for (size_t end = pending_.find('\n'); end != std::string::npos;
       end = pending_.find('\n', start)) {
    sink_(std::string_view(pending_).substr(start, end + 1 - start));
    start = end + 1;
  }
  pending_.erase(0, start);
}

LineBuffer::Sink descriptor_sink(int descriptor) {
  return [descriptor](std::string_view line) {
    while (!line.empty()) {
      const long written = write_once(descriptor, line.data(), line.size());
      if (written <= 0) {
        return;  // nobody reads the output any more; nothing to report to
      }
      line.remove_prefix(static_cast<size_t>(written));
    }
  };
}

}  // namespace velmo::tools
