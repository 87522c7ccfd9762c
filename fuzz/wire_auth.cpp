// The login exchange played from fuzzed server bytes: a greeting that names a login method
// (chosen by the first input byte, with the password, secure authentication and the
// server's public key settings), then whatever the server sends: switch requests, more
// data, keys, OK and error packets. A successful login goes on to a change of user,
// which runs the exchange again. Over the local socket or TCP/IP (where the password
// must never travel in clear; the RSA path runs there).

#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "velmysql/wire/mysql_client.h"
#include "wire_pipe.h"

using namespace velmysql;

namespace {

// A loopback TCP/IP listener that hands each connection the bytes, like FakePipe. The
// bytes must stay alive until the thread is joined.
class FakeTcp {
public:
    FakeTcp() {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 8);
        socklen_t len = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~FakeTcp() { ::close(listen_); }
    unsigned port() const { return port_; }
    std::thread serve(const std::string& bytes) {
        return fuzzing::FakePipe::ServeOn(listen_, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }

private:
    int listen_ = -1;
    unsigned port_ = 0;
};

std::string Le(std::uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return s;
}

std::string Greeting(const char* plugin, bool tls) {
    const std::uint32_t caps = 0xF7FF | (tls ? 0x800u : 0u) | (1u << 19);
    std::string g = "\x0a" "8.0.99-fuzz" + std::string(1, '\0') + Le(5, 4) + "abcdefgh" + std::string(1, '\0');
    g += Le(caps & 0xFFFF, 2) + Le(8, 1) + Le(2, 2) + Le(caps >> 16, 2) + Le(21, 1) + std::string(10, '\0');
    g += "ijklmnopqrst" + std::string(1, '\0') + plugin + std::string(1, '\0');
    return Le(static_cast<std::uint32_t>(g.size()), 3) + std::string(1, '\0') + g;
}

std::string KeyFile() {
    const std::string path = "/tmp/velmysql-fuzz-key-" + std::to_string(::getpid()) + ".pem";
    EVP_PKEY* key = EVP_RSA_gen(1024);
    FILE* f = std::fopen(path.c_str(), "w");
    if (f != nullptr && key != nullptr) PEM_write_PUBKEY(f, key);
    if (f != nullptr) std::fclose(f);
    EVP_PKEY_free(key);
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzing::FakePipe pipe;
    static FakeTcp tcp;
    static const std::string keyFile = KeyFile();
    if (size < 1 || size > 100000) return 0;
    const std::uint8_t knobs = data[0];
    static const char* const plugins[] = {"mysql_native_password", "caching_sha2_password", "client_ed25519",
                                          "mysql_clear_password"};
    const bool overTcp = knobs & 0x10;
    const std::string bytes = Greeting(plugins[knobs & 3], false) +
                              std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    std::thread server = overTcp ? tcp.serve(bytes)
                                 : pipe.serve(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    {
        TMysqlClient c;
        c.SetNamedPipe(!overTcp);
        c.SetReconnect(false);
        c.setfcompress(false);
        c.SetConnectTimeout(2);
        TMysqlTlsSettings t;
        t.mode = smDisabled;
        c.SetTlsSettings(t);
        if (knobs & 0x20) c.SetServerPublicKeyPath(keyFile);
        c.SetGetServerPublicKey(knobs & 0x40);
        const std::uint32_t flags = (knobs & 0x80) ? 32768u : 0u;  // secure authentication
        const std::string password = (knobs & 4) ? "secret" : "";
        if (c.connect("127.0.0.1", "user", password, (knobs & 8) ? "db" : "", overTcp ? tcp.port() : 0, "", false,
                      flags)) {
            c.change_user("other", "pw", "");
            c.ping();
        }
    }
    server.join();
    return 0;
}
