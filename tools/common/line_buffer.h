#ifndef VELMO_TOOLS_COMMON_LINE_BUFFER_H_
#define VELMO_TOOLS_COMMON_LINE_BUFFER_H_

#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

namespace velmo::tools {

// A stream buffer that hands each complete line to its sink in one call.
// The standard streams write a tool's output a piece (under mingw, a byte)
// at a time, each piece a system call: a download's progress lines cost
// hundreds of thousands of writes. Whole lines also never interleave with
// another writer's. A flush hands over what is pending, line or not.
class LineBuffer final : public std::streambuf {
 public:
  using Sink = std::function<void(std::string_view)>;

  explicit LineBuffer(Sink sink) : sink_(std::move(sink)) {}
  ~LineBuffer() override { sync(); }
  LineBuffer(const LineBuffer&) = delete;
  LineBuffer& operator=(const LineBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  // Hands every complete line in `pending_` to the sink, one call each.
  void emit_complete_lines();

  Sink sink_;
  std::string pending_;
};

// The sink of a standard output or error descriptor: one write per line,
// continued only when the system took part of it.
LineBuffer::Sink descriptor_sink(int descriptor);

}  // namespace velmo::tools

#endif  // VELMO_TOOLS_COMMON_LINE_BUFFER_H_
