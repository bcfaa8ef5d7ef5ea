#ifndef VELMO_TESTS_UNIT_FAKE_HTTP_H_
#define VELMO_TESTS_UNIT_FAKE_HTTP_H_

#include <algorithm>
#include <cstring>
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
      return std::unique_ptr<HttpResponse>(new Response(std::move(next)));
    };
  }

  const std::vector<HttpRequest>& requests() const { return requests_; }

 private:
  class Response : public HttpResponse {
   public:
    explicit Response(FakeAnswer answer) : answer_(std::move(answer)) {}
    uint32_t status() const override { return answer_.status; }
    std::optional<uint32_t> content_length() override { return answer_.content_length; }
    Result<uint64_t> data_available() override {
      return std::min(answer_.chunk, answer_.body.size() - position_);
    }
    Result<size_t> read(std::span<std::byte> buffer) override {
      if (answer_.read_error_after && position_ >= *answer_.read_error_after) {
        return fail("下载数据失败，错误码 12030。");
      }
      const size_t n = std::min(buffer.size(), answer_.body.size() - position_);
      std::memcpy(buffer.data(), answer_.body.data() + position_, n);
      position_ += n;
      return n;
    }

   private:
    FakeAnswer answer_;
    size_t position_ = 0;
  };

  std::vector<FakeAnswer> answers_;
  std::vector<HttpRequest> requests_;
};

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_FAKE_HTTP_H_
