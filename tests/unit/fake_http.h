#ifndef VELMO_TESTS_UNIT_FAKE_HTTP_H_
#define VELMO_TESTS_UNIT_FAKE_HTTP_H_

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/http.h"

namespace velmo::test {

// What the fake server answers to the next request.
struct FakeAnswer {
  uint32_t status = 200;
  std::string body;
  size_t chunk = 7;  // bytes offered per data_available()
  std::optional<uint32_t> content_length;
  std::optional<std::string> open_error;   // the request itself fails
  std::optional<size_t> read_error_after;  // a read fails after this many bytes
  std::function<void()> before_read;       // runs before each read, e.g. a clock step
};

// A scripted HTTP server: answers requests in order and records them.
class FakeHttp {
 public:
  void answer(FakeAnswer answer) { answers_.push_back(std::move(answer)); }

  HttpOpener opener() {
    return [this](const HttpRequest& request) -> Result<std::unique_ptr<HttpResponse>> {
      requests_.push_back(request);
      if (answers_.empty()) {
        return fail("no scripted answer");
      }
      FakeAnswer next = std::move(answers_.front());
      answers_.erase(answers_.begin());
      if (next.open_error) {
        return fail(*next.open_error);
      }
      return std::unique_ptr<HttpResponse>(new Response(std::move(next), bytes_sent_));
    };
  }

  const std::vector<HttpRequest>& requests() const { return requests_; }

  // Body bytes handed to the client over all answers.
  size_t bytes_sent() const { return bytes_sent_; }

 private:
  class Response : public HttpResponse {
   public:
    Response(FakeAnswer answer, size_t& bytes_sent)
        : answer_(std::move(answer)), bytes_sent_(bytes_sent) {}
    uint32_t status() const override { return answer_.status; }
    std::optional<uint32_t> content_length() override { return answer_.content_length; }
    Result<uint64_t> data_available() override {
      return std::min(answer_.chunk, answer_.body.size() - position_);
    }
    Result<size_t> read(std::span<std::byte> buffer) override {
      if (answer_.read_error_after && position_ >= *answer_.read_error_after) {
        return fail("下载数据失败，错误码 12030。");
      }
      if (answer_.before_read) {
        answer_.before_read();
      }
      const size_t n = std::min(buffer.size(), answer_.body.size() - position_);
      bytes_sent_ += n;
      std::memcpy(buffer.data(), answer_.body.data() + position_, n);
      position_ += n;
      return n;
    }

   private:
    FakeAnswer answer_;
    size_t& bytes_sent_;
    size_t position_ = 0;
  };

  std::vector<FakeAnswer> answers_;
  std::vector<HttpRequest> requests_;
  size_t bytes_sent_ = 0;
};

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_FAKE_HTTP_H_
