// LOAD DATA LOCAL: which file a statement names, and serving the server's request.

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "velmysql/wire/mysql_client.h"
#include "velmysql/wire/mysql_errors.h"

namespace velmysql {

namespace {
class Scanner {
public:
    explicit Scanner(std::string_view s) : s_(s) {}

    // Skips blanks and comments.
    void skip() {
        for (;;) {
            while (i_ < s_.size() && std::strchr(" \t\r\n\f\v", s_[i_]) != nullptr && s_[i_] != 0) ++i_;
            if (s_.compare(i_, 2, "/*") == 0) {
                std::size_t e = s_.find("*/", i_ + 2);
                i_ = e == std::string_view::npos ? s_.size() : e + 2;
            } else if (i_ < s_.size() && (s_[i_] == '#' || (s_.compare(i_, 2, "--") == 0 && i_ + 2 < s_.size() &&
                                                           (s_[i_ + 2] == ' ' || s_[i_ + 2] == '\t')))) {
                std::size_t e = s_.find('\n', i_);
                i_ = e == std::string_view::npos ? s_.size() : e + 1;
            } else {
                return;
            }
        }
    }

    // Consumes the keyword (any letter case) when it is the next word.
    bool word(std::string_view w) {
        skip();
        if (s_.size() - i_ < w.size()) return false;
        for (std::size_t k = 0; k < w.size(); ++k) {
            char c = s_[i_ + k];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            if (c != w[k]) return false;
        }
        std::size_t e = i_ + w.size();
        if (e < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[e])) || s_[e] == '_')) return false;
        i_ = e;
        return true;
    }

    // A quoted string literal, unescaped.
    std::optional<std::string> literal() {
        skip();
        if (i_ >= s_.size() || (s_[i_] != '\'' && s_[i_] != '"')) return std::nullopt;
        const char q = s_[i_++];
        std::string out;
        while (i_ < s_.size()) {
            char c = s_[i_++];
            if (c == '\\' && i_ < s_.size()) {
                char e = s_[i_++];
                switch (e) {
                    case 'n': out.push_back('\n'); break;
                    case 't': out.push_back('\t'); break;
                    case 'r': out.push_back('\r'); break;
                    case 'b': out.push_back('\b'); break;
                    case '0': out.push_back('\0'); break;
                    case 'Z': out.push_back('\x1A'); break;
                    default: out.push_back(e); break;
                }
            } else if (c == q) {
                if (i_ < s_.size() && s_[i_] == q) {
                    out.push_back(q);
                    ++i_;
                } else {
                    return out;
                }
            } else {
                out.push_back(c);
            }
        }
        return std::nullopt;  // unterminated
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;
};

std::string cut64(std::string_view name) { return std::string(name.substr(0, 64)); }
constexpr std::size_t kUploadPieceSize = 61440;
}  // namespace

std::optional<std::string> LocalInfileName(std::string_view query) {
    Scanner sc(query);
    if (!sc.word("LOAD") || !sc.word("DATA")) return std::nullopt;
    if (!sc.word("LOW_PRIORITY")) sc.word("CONCURRENT");
    if (!sc.word("LOCAL") || !sc.word("INFILE")) return std::nullopt;
    return sc.literal();
}

// The server asks for a file (payload: 251 and the name). Only the file named by the
// statement in flight is sent; any other request is answered with an empty upload and
// the query fails, so a hostile server cannot read the client's files.
bool TMysqlClient::serveFileRequest(std::string_view payload) {
    std::string_view name = payload.substr(1);
    name = name.substr(0, name.find('\0'));
    if (requestedFile_ && *requestedFile_ == name) {
        requestedFile_.reset();  // one upload per statement
        return send_file_to_server(std::string(name)) == 0;
    }
    const std::string text = "File '" + cut64(name) + "' was not requested by this statement";
    if (net_.my_net_write("", 0) != 0 || net_.net_flush() != 0) {
        setError(CR_SERVER_LOST, ClientErrorText(CR_SERVER_LOST));
        return false;
    }
    // The server answers the empty upload; reading it keeps the connection in step.
    if (net_.net_safe_read() < 0 && net_.Getlast_errorno() == CR_SERVER_LOST) return false;
    setError(0, text);
    return false;
}

int TMysqlClient::send_file_to_server(const std::string& fileName) {
    // Ends the upload with an empty packet and reads the server's answer to it, so the
    // connection stays in step after a failed upload; then records our error.
    auto abandon = [this](const std::string& text) {
        if (net_.my_net_write("", 0) != 0 || net_.net_flush() != 0) {
            setError(CR_SERVER_LOST, ClientErrorText(CR_SERVER_LOST));
            return -1;
        }
        if (net_.net_safe_read() < 0 && net_.Getlast_errorno() == CR_SERVER_LOST) return -1;
        setError(0, text);
        return -1;
    };
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int e = errno;
        return abandon("File '" + fileName + "' not found (Errcode: " + std::to_string(e) + ")");
    }
    std::vector<char> piece(kUploadPieceSize);
    for (;;) {
        ssize_t n = ::read(fd, piece.data(), piece.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int e = errno;
            ::close(fd);
            return abandon("Error reading file '" + fileName + "' (Errcode: " + std::to_string(e) + ")");
        }
        if (n == 0) break;
        if (net_.my_net_write(piece.data(), static_cast<std::size_t>(n)) != 0) {
            ::close(fd);
            setError(CR_SERVER_LOST, ClientErrorText(CR_SERVER_LOST));
            return -1;
        }
    }
    ::close(fd);
    if (net_.my_net_write("", 0) != 0 || net_.net_flush() != 0) {
        setError(CR_SERVER_LOST, ClientErrorText(CR_SERVER_LOST));
        return -1;
    }
    return 0;
}

}  // namespace velmysql
