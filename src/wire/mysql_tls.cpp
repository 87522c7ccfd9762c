// TLS on the wire client's stream, through OpenSSL. The socket stays the transport's: a
// small BIO of our own reads and writes it without ever blocking or raising SIGPIPE,
// whatever the socket's mode, and the transport waits for readiness within its own
// timeout (for ever only when the connection has none).

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include "velmysql/wire/mysql_vio.h"

namespace velmysql {

struct TlsState {
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
    ~TlsState() {
        if (ssl != nullptr) SSL_free(ssl);  // frees the BIO too
        if (ctx != nullptr) SSL_CTX_free(ctx);
    }
};

void TMysqlVio::TlsDeleter::operator()(TlsState* t) const {
    if (t->ssl != nullptr && SSL_is_init_finished(t->ssl)) {
        // One attempt at the close notification; the socket closes right after anyway.
        ERR_clear_error();
        SSL_shutdown(t->ssl);
        ERR_clear_error();
    }
    delete t;
}

namespace {

int FdOf(BIO* b) { return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(b))); }

int BioWrite(BIO* b, const char* data, int n) {
    BIO_clear_retry_flags(b);
    for (;;) {
        ssize_t w = ::send(FdOf(b), data, static_cast<std::size_t>(n), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w >= 0) return static_cast<int>(w);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) BIO_set_retry_write(b);
        return -1;
    }
}

int BioRead(BIO* b, char* to, int n) {
    BIO_clear_retry_flags(b);
    for (;;) {
        ssize_t r = ::recv(FdOf(b), to, static_cast<std::size_t>(n), MSG_DONTWAIT);
        if (r >= 0) return static_cast<int>(r);  // 0: the peer closed
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) BIO_set_retry_read(b);
        return -1;
    }
}

long BioCtrl(BIO*, int cmd, long, void*) { return cmd == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* b) {
    BIO_set_init(b, 1);
    return 1;
}

int BioDestroy(BIO*) { return 1; }  // the socket belongs to the transport

const BIO_METHOD* SocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "velmysql socket");
        if (m != nullptr) {
            BIO_meth_set_write(m, &BioWrite);
            BIO_meth_set_read(m, &BioRead);
            BIO_meth_set_ctrl(m, &BioCtrl);
            BIO_meth_set_create(m, &BioCreate);
            BIO_meth_set_destroy(m, &BioDestroy);
        }
        return m;
    }();
    return method;
}

std::string LastOpenSslError(const char* fallback) {
    unsigned long e = ERR_peek_last_error();
    std::string text = fallback;
    if (e != 0) {
        char buf[256];
        ERR_error_string_n(e, buf, sizeof buf);
        text = buf;
    }
    ERR_clear_error();
    return text;
}

bool IsAddress(const std::string& host) {
    unsigned char buf[16];
    return ::inet_pton(AF_INET, host.c_str(), buf) == 1 || ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

// "TLSv1.2,TLSv1.3" (commas or blanks between, letters in any case) → the lowest and the
// highest version named; false for a name that is no TLS version.
bool VersionRange(const std::string& text, int& lowest, int& highest, std::string& bad) {
    static const struct {
        const char* name;
        int version;
    } known[] = {{"tlsv1", TLS1_VERSION}, {"tlsv1.0", TLS1_VERSION}, {"tlsv1.1", TLS1_1_VERSION},
                 {"tlsv1.2", TLS1_2_VERSION}, {"tlsv1.3", TLS1_3_VERSION}};
    lowest = highest = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ',' || text[i] == ' ' || text[i] == ':')) ++i;
        std::size_t j = i;
        while (j < text.size() && text[j] != ',' && text[j] != ' ' && text[j] != ':') ++j;
        if (j == i) break;
        std::string word = text.substr(i, j - i);
        for (char& c : word) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        int v = 0;
        for (const auto& k : known)
            if (word == k.name) v = k.version;
        if (v == 0) {
            bad = text.substr(i, j - i);
            return false;
        }
        if (lowest == 0 || v < lowest) lowest = v;
        if (v > highest) highest = v;
        i = j;
    }
    return true;
}

// The context of one connection's settings; null with the reason.
SSL_CTX* MakeContext(const TMysqlTlsSettings& s, std::string& reason) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (ctx == nullptr) {
        reason = LastOpenSslError("cannot create a TLS context");
        return nullptr;
    }
    auto fail = [&](std::string why) {
        reason = std::move(why);
        ERR_clear_error();
        SSL_CTX_free(ctx);
        return nullptr;
    };
#ifdef SSL_OP_IGNORE_UNEXPECTED_EOF
    // A server that drops the connection reads as an ended stream, like a plain socket.
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
#endif
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_read_ahead(ctx, 1);
    int lowest = 0, highest = 0;
    if (!s.tlsVersion.empty()) {
        std::string bad;
        if (!VersionRange(s.tlsVersion, lowest, highest, bad)) return fail("unknown TLS version '" + bad + "'");
    }
    if (!s.cipher.empty()) {
        // TLS 1.2 cipher names and TLS 1.3 suite names live in two lists; a list that
        // names only one kind limits the connection to the versions that use it, so the
        // cipher asked for is the one used.
        const bool upTo12 = SSL_CTX_set_cipher_list(ctx, s.cipher.c_str()) == 1;
        ERR_clear_error();
        const bool is13 = SSL_CTX_set_ciphersuites(ctx, s.cipher.c_str()) == 1;
        ERR_clear_error();
        if (!upTo12 && !is13) return fail("no cipher of '" + s.cipher + "' is known to OpenSSL");
        if (!is13 && (highest == 0 || highest > TLS1_2_VERSION)) highest = TLS1_2_VERSION;
        if (!upTo12 && lowest < TLS1_3_VERSION) lowest = TLS1_3_VERSION;
        if (highest != 0 && lowest > highest) return fail("ssl-cipher and tls-version have no version in common");
    }
    if (lowest != 0 && SSL_CTX_set_min_proto_version(ctx, lowest) != 1)
        return fail(LastOpenSslError("tls-version not supported"));
    if (highest != 0 && SSL_CTX_set_max_proto_version(ctx, highest) != 1)
        return fail(LastOpenSslError("tls-version not supported"));
    if (!s.ca.empty() || !s.capath.empty()) {
        if (SSL_CTX_load_verify_locations(ctx, s.ca.empty() ? nullptr : s.ca.c_str(),
                                          s.capath.empty() ? nullptr : s.capath.c_str()) != 1)
            return fail("cannot read ssl-ca/ssl-capath: " + LastOpenSslError("no certificates"));
    } else if (s.mode >= smVerifyCa && SSL_CTX_set_default_verify_paths(ctx) != 1) {
        return fail(LastOpenSslError("no trusted certificates"));
    }
    if (!s.cert.empty()) {
        const std::string& key = s.key.empty() ? s.cert : s.key;
        if (SSL_CTX_use_certificate_chain_file(ctx, s.cert.c_str()) != 1)
            return fail("cannot read ssl-cert: " + LastOpenSslError("no certificate"));
        if (SSL_CTX_use_PrivateKey_file(ctx, key.c_str(), SSL_FILETYPE_PEM) != 1)
            return fail("cannot read ssl-key: " + LastOpenSslError("no key"));
        if (SSL_CTX_check_private_key(ctx) != 1)
            return fail("ssl-key does not match ssl-cert: " + LastOpenSslError("mismatch"));
    } else if (!s.key.empty()) {
        return fail("ssl-key without ssl-cert");
    }
    SSL_CTX_set_verify(ctx, s.mode >= smVerifyCa ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
    return ctx;
}

}  // namespace

std::optional<TSslMode> SslModeFromText(std::string_view text) {
    static const char* const names[] = {"DISABLED", "PREFERRED", "REQUIRED", "VERIFY_CA", "VERIFY_IDENTITY"};
    for (int m = 0; m < 5; ++m) {
        std::string_view name = names[m];
        if (name.size() != text.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            char c = text[i];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            same = c == name[i];
        }
        if (same) return static_cast<TSslMode>(m);
    }
    return std::nullopt;
}

const char* SslModeText(TSslMode mode) {
    switch (mode) {
        case smDisabled: return "DISABLED";
        case smPreferred: return "PREFERRED";
        case smRequired: return "REQUIRED";
        case smVerifyCa: return "VERIFY_CA";
        case smVerifyIdentity: return "VERIFY_IDENTITY";
    }
    return "";
}

bool TMysqlVio::tlsWait(short events) {
    pollfd p{fd(), events, 0};
    const bool forever = noTimeOut_ || timeout_ == 0;
    const long long ms = static_cast<long long>(timeout_) * 1000;
    for (;;) {
        int rc = ::poll(&p, 1, forever ? -1 : (ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(ms)));
        if (rc > 0) return true;
        if (rc == 0) {
            sockErr_ = ETIMEDOUT;
            return false;
        }
        if (errno == EINTR) continue;
        sockErr_ = errno;
        return false;
    }
}

bool TMysqlVio::vio_start_tls(const TMysqlTlsSettings& settings, const std::string& host, std::string& reason) {
    if (type_ == VIO_CLOSED || tls_) {
        reason = tls_ ? "TLS is already on" : "not connected";
        return false;
    }
    if (buffered() != 0) {
        // Bytes the server sent before the handshake would be taken as if they had come
        // encrypted: refuse them.
        reason = "the server sent data before the TLS handshake";
        return false;
    }
    ERR_clear_error();
    std::unique_ptr<TlsState, TlsDeleter> t(new TlsState);
    t->ctx = MakeContext(settings, reason);
    if (t->ctx == nullptr) return false;
    t->ssl = SSL_new(t->ctx);
    const BIO_METHOD* method = SocketMethod();
    BIO* bio = t->ssl != nullptr && method != nullptr ? BIO_new(method) : nullptr;
    if (bio == nullptr) {
        reason = LastOpenSslError("cannot create a TLS session");
        return false;
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd())));
    SSL_set_bio(t->ssl, bio, bio);
    const std::string name = host.empty() || type_ == VIO_TYPE_NAMEDPIPE ? std::string(LOCAL_HOST) : host;
    const bool address = IsAddress(name);
    if (!address) SSL_set_tlsext_host_name(t->ssl, name.c_str());
    if (settings.mode >= smVerifyIdentity) {
        X509_VERIFY_PARAM* param = SSL_get0_param(t->ssl);
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        const int ok = address ? X509_VERIFY_PARAM_set1_ip_asc(param, name.c_str())
                               : X509_VERIFY_PARAM_set1_host(param, name.c_str(), name.size());
        if (ok != 1) {
            reason = "cannot verify the name '" + name + "'";
            ERR_clear_error();
            return false;
        }
    }
    for (;;) {
        ERR_clear_error();
        const int rc = SSL_connect(t->ssl);
        if (rc == 1) break;
        const int e = SSL_get_error(t->ssl, rc);
        if ((e == SSL_ERROR_WANT_READ && tlsWait(POLLIN)) || (e == SSL_ERROR_WANT_WRITE && tlsWait(POLLOUT)))
            continue;
        const long verified = SSL_get_verify_result(t->ssl);
        if (verified != X509_V_OK && settings.mode >= smVerifyCa)
            reason = std::string("certificate verify failed: ") + X509_verify_cert_error_string(verified);
        else if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE)
            reason = "the TLS handshake timed out";
        else
            reason = LastOpenSslError("the server ended the connection during the TLS handshake");
        return false;
    }
    tls_ = std::move(t);
    return true;
}

std::int32_t TMysqlVio::tlsRead(void* buffer, std::size_t count) {
    for (;;) {
        ERR_clear_error();
        std::size_t got = 0;
        const int rc = SSL_read_ex(tls_->ssl, buffer, std::min<std::size_t>(count, 0x7FFFFFFF), &got);
        if (rc == 1) {
            sockErr_ = 0;
            return static_cast<std::int32_t>(got);
        }
        const int e = SSL_get_error(tls_->ssl, rc);
        if (e == SSL_ERROR_WANT_READ) {
            if (!tlsWait(POLLIN)) return -1;
            continue;
        }
        if (e == SSL_ERROR_WANT_WRITE) {
            if (!tlsWait(POLLOUT)) return -1;
            continue;
        }
        ERR_clear_error();
        if (e == SSL_ERROR_ZERO_RETURN) return 0;
        sockErr_ = e == SSL_ERROR_SYSCALL && errno != 0 ? errno : EIO;
        if (sockErr_ == EAGAIN || sockErr_ == EWOULDBLOCK || sockErr_ == EINTR) sockErr_ = EIO;
        return -1;
    }
}

std::int32_t TMysqlVio::tlsWrite(const void* data, std::size_t count) {
    for (;;) {
        ERR_clear_error();
        std::size_t written = 0;
        const int rc = SSL_write_ex(tls_->ssl, data, count, &written);
        if (rc == 1) {
            sockErr_ = 0;
            return static_cast<std::int32_t>(written);
        }
        const int e = SSL_get_error(tls_->ssl, rc);
        if (e == SSL_ERROR_WANT_WRITE) {
            if (!tlsWait(POLLOUT)) return -1;
            continue;
        }
        if (e == SSL_ERROR_WANT_READ) {
            if (!tlsWait(POLLIN)) return -1;
            continue;
        }
        ERR_clear_error();
        sockErr_ = e == SSL_ERROR_SYSCALL && errno != 0 ? errno : EIO;
        if (sockErr_ == EAGAIN || sockErr_ == EWOULDBLOCK || sockErr_ == EINTR) sockErr_ = EIO;
        return -1;
    }
}

bool TMysqlVio::tlsPending() const { return tls_ && SSL_has_pending(tls_->ssl) == 1; }

std::string TMysqlVio::TlsCipher() const {
    if (!tls_) return {};
    const char* c = SSL_get_cipher_name(tls_->ssl);
    return c ? c : "";
}

std::string TMysqlVio::TlsVersion() const {
    if (!tls_) return {};
    const char* v = SSL_get_version(tls_->ssl);
    return v ? v : "";
}

}  // namespace velmysql
