#pragma once
// GET /icon?file=<path>: the icon that the program draws for a file the page
// lists (a startup entry's), as a PNG. The window's host answers the engine
// URL icon:<path>; a file it draws no icon for is 404. Drawing reads the file,
// which may take as long as the file system does: the request's own thread
// waits for it, never the UI thread, so the page's calls go on meanwhile.
namespace httplib {
class Server;
}

namespace engine {

class PageRequests;

void AddIconRoute(httplib::Server& server, PageRequests& requests);

}  // namespace engine
