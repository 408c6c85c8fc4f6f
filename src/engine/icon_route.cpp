#include "engine/icon_route.h"

#include <httplib.h>

#include "engine/page_server.h"
#include "engine/wire_format.h"

namespace engine {

void AddIconRoute(httplib::Server& server, PageRequests& requests) {
    server.Get("/icon", [&requests](const httplib::Request& request, httplib::Response& response) {
        const std::string file = request.get_param_value("file");
        const std::optional<std::vector<std::uint8_t>> png =
            file.empty() ? std::nullopt : requests.LoadFileIcon(WideFromUtf8(file));
        if (!png) {
            response.status = 404;
            response.set_content("Not Found", "text/plain");
            return;
        }
        response.set_content(reinterpret_cast<const char*>(png->data()), png->size(), "image/png");
    });
}

}  // namespace engine
