#include "platform/http.h"

namespace velmo {

Result<std::unique_ptr<HttpResponse>> open_http(const HttpRequest& request) {
  return fail(std::string(request.stages.open_session) + "：此平台没有系统 HTTP 组件。");
}

}  // namespace velmo
