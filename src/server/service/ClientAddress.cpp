#include "server/service/ClientAddress.h"

#include <stdexcept>

namespace asio_ip = boost::asio::ip;

namespace {

asio_ip::address Normalised(const asio_ip::address& a) {
    if (a.is_v6() && a.to_v6().is_v4_mapped())
        return asio_ip::make_address_v4(asio_ip::v4_mapped, a.to_v6());
    return a;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

TClientAddress::TClientAddress(const std::vector<std::string>& trustedProxies) {
    for (const std::string& text : trustedProxies) {
        boost::system::error_code ec;
        asio_ip::address a = asio_ip::make_address(text, ec);
        if (ec)
            throw std::invalid_argument("trusted proxy \"" + text + "\" is not an IP address");
        m_trusted.push_back(Normalised(a));
    }
}

bool TClientAddress::Trusted(const asio_ip::address& address) const {
    asio_ip::address normal = Normalised(address);
    for (const auto& t : m_trusted)
        if (t == normal)
            return true;
    return false;
}

std::string TClientAddress::Resolve(const asio_ip::address& peer, std::string_view forwardedFor) const {
    asio_ip::address current = Normalised(peer);
    if (!Trusted(current))
        return AddressText(current);
    // Each proxy appends the address it was reached from: walk back from the right while the
    // hop is a proxy of ours.
    std::string_view rest = forwardedFor;
    while (!rest.empty()) {
        std::size_t comma = rest.rfind(',');
        std::string_view hop = Trim(comma == std::string_view::npos ? rest : rest.substr(comma + 1));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(0, comma);
        if (hop.empty())
            continue;
        boost::system::error_code ec;
        asio_ip::address a = asio_ip::make_address(std::string(hop), ec);
        if (ec)
            break; // not written by a proxy of ours: the last hop we trust is the client
        current = Normalised(a);
        if (!Trusted(current))
            break;
    }
    return AddressText(current);
}

std::string AddressText(const asio_ip::address& address) {
    return Normalised(address).to_string();
}

std::string RateKey(std::string_view address) {
    boost::system::error_code ec;
    asio_ip::address a = asio_ip::make_address(std::string(address), ec);
    if (ec || !a.is_v6())
        return std::string(address);
    asio_ip::address_v6::bytes_type bytes = a.to_v6().to_bytes();
    for (std::size_t i = 8; i < bytes.size(); ++i)
        bytes[i] = 0;
    return asio_ip::address_v6(bytes).to_string() + "/64";
}
