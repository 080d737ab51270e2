#pragma once

#include <boost/asio/ip/address.hpp>

#include <string>
#include <string_view>
#include <vector>

// Who sent a request. Behind a reverse proxy the peer is the proxy; only a peer named as a
// trusted proxy may say who its client was, in X-Forwarded-For. The header is read from the
// right, past every trusted proxy, so a client cannot pass itself off as someone else by
// sending a header of its own through the proxy.
class TClientAddress {
  public:
    // Addresses as written on the command line; throws std::invalid_argument naming a bad one.
    explicit TClientAddress(const std::vector<std::string>& trustedProxies);

    // forwardedFor: all X-Forwarded-For values joined with "," in the order they came.
    std::string Resolve(const boost::asio::ip::address& peer, std::string_view forwardedFor) const;
    // Whether address is one of the trusted proxies.
    bool Trusted(const boost::asio::ip::address& address) const;

  private:
    std::vector<boost::asio::ip::address> m_trusted;
};

// The address as text; an IPv4 address mapped into IPv6 is written as IPv4.
std::string AddressText(const boost::asio::ip::address& address);

// What the rate limit counts by: the address, or for IPv6 its /64 network, which one
// machine usually has to itself.
std::string RateKey(std::string_view address);
