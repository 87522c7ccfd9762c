#pragma once
// A local listening socket that stands in for a server: each connection made through
// the pipe stand-in is accepted and handed the fuzzed bytes, then closed. Used by the
// targets that drive the packet channel or a whole session.

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <sys/un.h>
#include <unistd.h>

#include "velmysql/wire/mysql_ct.h"

namespace velmysql::fuzzing {

class FakePipe {
public:
    FakePipe() {
        path_ = "/tmp/velmysql-fuzz-" + std::to_string(::getpid()) + ".sock";
        ::unlink(path_.c_str());
        listen_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        path_.copy(a.sun_path, sizeof a.sun_path - 1);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 8);
        MYSQL_NAMEDPIPE_PATH = path_;
    }
    ~FakePipe() {
        ::close(listen_);
        ::unlink(path_.c_str());
    }
    // Accepts the next connection on its own thread, sends the bytes, ends its side of
    // the stream (the client then reads the end after the bytes) and drains what the
    // client writes until the client closes. Join the thread after closing the client.
    std::thread serve(const std::uint8_t* data, std::size_t size) { return ServeOn(listen_, data, size); }

    // The same on any listening socket.
    static std::thread ServeOn(int listenFd, const std::uint8_t* data, std::size_t size) {
        return std::thread([listenFd, data, size] {
            int fd = ::accept(listenFd, nullptr, nullptr);
            if (fd < 0) return;
            std::size_t sent = 0;
            while (sent < size) {
                ssize_t n = ::send(fd, data + sent, size - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<std::size_t>(n);
            }
            ::shutdown(fd, SHUT_WR);
            char sink[4096];
            while (::recv(fd, sink, sizeof sink, 0) > 0) {
            }
            ::close(fd);
        });
    }

private:
    std::string path_;
    int listen_ = -1;
};

}  // namespace velmysql::fuzzing
