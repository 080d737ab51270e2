#pragma once

#include <boost/asio/ip/tcp.hpp>

#include <string_view>

// The small pieces of HTTP the server writes and reads itself.

// "Date: ...\r\n" for now.
std::string_view DateLine();
// "HTTP/1.1 200 OK\r\n" (or 1.0), made once per status.
std::string_view StatusLine(unsigned version, int status);
// Bytes written to socket but not yet acknowledged by the client's system.
int Unacknowledged(boost::asio::ip::tcp::socket& socket);
// Whether an Accept-Encoding value lets an answer be gzip ("gzip" or "*", not with q=0).
bool AcceptsGzip(std::string_view accepted);
