#include "platform/net/TlsClient.hpp"

#include <boost/asio/ssl/error.hpp>
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <mutex>
#include <optional>

namespace kestrava::net {
namespace {

namespace ssl = boost::asio::ssl;

std::shared_ptr<ssl::context> makeContext(const std::optional<std::string>& extraTrustFile) {
    auto context = std::make_shared<ssl::context>(ssl::context::tls_client);
    SSL_CTX_set_min_proto_version(context->native_handle(), TLS1_2_VERSION);
    context->set_verify_mode(ssl::verify_peer);
    context->set_default_verify_paths();
    if (extraTrustFile) {
        // An unreadable file adds nothing, like a missing system store: verification then fails.
        boost::system::error_code ignored;
        context->load_verify_file(*extraTrustFile, ignored);
    }
    return context;
}

boost::system::error_code lastTlsError() {
    const auto code = ERR_get_error();
    if (code == 0) {
        return boost::asio::error::invalid_argument;
    }
    return {static_cast<int>(code), boost::asio::error::get_ssl_category()};
}

} // namespace

std::shared_ptr<ssl::context> clientTlsContext() {
    static std::mutex mutex;
    static std::optional<std::string> cachedFile;
    static std::shared_ptr<ssl::context> cached;

    const char* variable = std::getenv("SSL_CERT_FILE");
    std::optional<std::string> extraTrustFile;
    if (variable != nullptr && *variable != '\0') {
        extraTrustFile = variable;
    }
    const std::lock_guard lock(mutex);
    if (!cached || cachedFile != extraTrustFile) {
        cached = makeContext(extraTrustFile);
        cachedFile = extraTrustFile;
    }
    return cached;
}

boost::system::error_code expectServer(SSL* connection, const std::string& host, bool hostIsAddress) {
    if (hostIsAddress) {
        if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(connection), host.c_str()) != 1) {
            return lastTlsError();
        }
        return {};
    }
    if (SSL_set_tlsext_host_name(connection, host.c_str()) != 1 ||
        SSL_set1_host(connection, host.c_str()) != 1) {
        return lastTlsError();
    }
    return {};
}

} // namespace kestrava::net
