// What the web tests need from the local test server (http_server.py): its
// ports, its request log and the bodies it serves.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kx::testing {

// <KX_HTTP_SERVER_DIR>/<name> as the tests reach it; empty when the variable
// is not set.
std::wstring HttpServerFile(const wchar_t* name);

// The port written to <dir>/<port_file> ("port", "https_port",
// "selfsigned_port"); empty when the listener is not there.
std::wstring HttpServerPort(const wchar_t* port_file);

// The log lines of requests tagged `tag` (?t=<tag> in their path).
std::vector<std::string> HttpServerRequests(const std::string& tag);

// How many connections the TLS listener `listener` ("https", "selfsigned")
// has accepted so far, requests or not.
std::size_t HttpServerConnections(const std::string& listener);

// The text of field `name` of a log line; "null" for a JSON null, empty
// when there is no such field.
std::string LogField(const std::string& line, const std::string& name);

// The server's deterministic body of `n` bytes.
std::string ServerBody(std::size_t n);

}  // namespace kx::testing
