#pragma once

#include <boost/asio/ssl/context.hpp>
#include <boost/system/error_code.hpp>
#include <openssl/ssl.h>

#include <memory>
#include <string>

// Internal to platform/net.
namespace kestrava::net {

// The TLS settings of every client connection: TLS 1.2 or later, the peer verified against the
// system's trusted certificates plus the PEM file named by SSL_CERT_FILE when that is set. The
// variable is read here; a context is shared until its value changes.
std::shared_ptr<boost::asio::ssl::context> clientTlsContext();

// Prepares one connection to `host`: the server name is sent for a host name (never for an address)
// and the certificate must hold that name or address.
boost::system::error_code expectServer(SSL* connection, const std::string& host, bool hostIsAddress);

} // namespace kestrava::net
