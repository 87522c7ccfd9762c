#include "velmysql/wire/mysql_result.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "velmysql/wire/mysql_client.h"
#include "velmysql/wire/protocol.h"

namespace velmysql {

char* TMysqlFieldDefs::own(std::string_view text) {
    std::unique_ptr<char[]> p(new char[text.size() + 1]);
    if (!text.empty()) std::memcpy(p.get(), text.data(), text.size());
    p[text.size()] = 0;
    texts_.push_back(std::move(p));
    return texts_.back().get();
}

TMYSQL_DATA::~TMYSQL_DATA() {
    for (char* b : blocks_) std::free(b);
}

void* TMYSQL_DATA::allocate(std::size_t size) {
    size = (size + 7) & ~std::size_t(7);
    if (size > left_) {
        std::size_t blockSize = size > nextBlock_ ? size : nextBlock_;
        char* b = static_cast<char*>(std::malloc(blockSize));
        if (b == nullptr) return nullptr;
        blocks_.push_back(b);
        cur_ = b;
        left_ = blockSize;
        if (nextBlock_ < (std::size_t(1) << 20)) nextBlock_ *= 2;
    }
    void* p = cur_;
    cur_ += size;
    left_ -= size;
    return p;
}

TMysqlRowNode* TMYSQL_DATA::append(const unsigned char* const* data, const std::size_t* length) {
    std::size_t bytes = sizeof(TMysqlRowNode) + fields_ * sizeof(std::uint32_t);
    for (unsigned i = 0; i < fields_; ++i)
        if (data[i] != nullptr) bytes += length[i] + 1;
    auto node = static_cast<TMysqlRowNode*>(allocate(bytes));
    if (node == nullptr) return nullptr;
    node->prev = last_;
    node->next = nullptr;
    std::uint32_t* lens = node->lengths();
    char* out = reinterpret_cast<char*>(lens + fields_);
    for (unsigned i = 0; i < fields_; ++i) {
        if (data[i] == nullptr) {
            lens[i] = TMysqlRowNode::kNullLength;
            continue;
        }
        lens[i] = static_cast<std::uint32_t>(length[i]);
        if (length[i] != 0) std::memcpy(out, data[i], length[i]);
        out[length[i]] = 0;
        out += length[i] + 1;
    }
    if (last_ != nullptr)
        last_->next = node;
    else
        first_ = node;
    last_ = node;
    ++rows_;
    return node;
}

void TMYSQL_DATA::values(TMysqlRowNode* node, char** values, unsigned long* lengths) const {
    std::uint32_t* lens = node->lengths();
    char* p = reinterpret_cast<char*>(lens + fields_);
    for (unsigned i = 0; i < fields_; ++i) {
        if (lens[i] == TMysqlRowNode::kNullLength) {
            values[i] = nullptr;
            if (lengths) lengths[i] = 0;
            continue;
        }
        values[i] = p;
        if (lengths) lengths[i] = lens[i];
        p += lens[i] + 1;
    }
}

TMysqlResult::TMysqlResult(TMysqlClient* session, TResultType kind) : session_(session), kind_(kind) {}

TMysqlResult::~TMysqlResult() {
    if (kind_ == rtUsed && session_ != nullptr) {
        if (session_->currentResult_ == this) session_->currentResult_ = nullptr;
        if (session_->status_ == MYSQL_STATUS_USE_RESULT) {
            // Unread rows are drained so the connection is ready for the next command.
            TMysqlNet& net = session_->net_;
            for (;;) {
                std::int32_t len = net.net_safe_read();
                if (len < 0) break;
                if (IsEndOfData(net.payload(len))) {
                    session_->noteEndOfData(net.payload(len));
                    break;
                }
            }
            session_->status_ = MYSQL_STATUS_READY;
            net.net_pack();
            session_->affectedRows_ = rowCount_;
        }
    }
}

const TMysql_FieldDef* TMysqlResult::FieldDef(int index) const {
    if (index < 0 || static_cast<unsigned>(index) >= fieldCount_ || !fields_) return nullptr;
    return &(*fields_)[static_cast<std::size_t>(index)];
}

const char* TMysqlResult::FieldValue(int index) const {
    if (index < 0 || static_cast<unsigned>(index) >= fieldCount_ || currentRow_ == nullptr) return nullptr;
    return currentRow_[index];
}

unsigned long TMysqlResult::FieldLenght(int index) const {
    if (index < 0 || static_cast<unsigned>(index) >= fieldCount_ || !lengthsValid_) return 0;
    return lengths_[static_cast<std::size_t>(index)];
}

void TMysqlResult::FetchLengths() {
    lengthsValid_ = true;
    if (kind_ != rtStored) return;
    if (cursor_ != nullptr && currentRow_ != nullptr)
        data_->values(cursor_, row_.data(), lengths_.data());
    else
        std::fill(lengths_.begin(), lengths_.end(), 0);
}

void TMysqlResult::SetHasLengths(bool value) {
    if (value && !lengthsValid_) FetchLengths();
}

void TMysqlResult::setCursor(TMysqlRowNode* node) {
    cursor_ = node;
    data_->values(node, row_.data(), nullptr);
    currentRow_ = row_.data();
    lengthsValid_ = false;
}

void TMysqlResult::endUsed() {
    eof_ = true;
    if (session_ != nullptr) session_->endUsedResult(this);
    session_ = nullptr;
}

void TMysqlResult::First() {
    bof_ = true;
    if (kind_ == rtUsed) {
        eof_ = rowCount_ == 0;
        return;
    }
    if (data_ && data_->first() != nullptr) {
        setCursor(data_->first());
        eof_ = false;
        recNo_ = 0;
    } else {
        eof_ = true;
        recNo_ = -1;
    }
}

void TMysqlResult::Next() {
    if (kind_ == rtUsed) {
        bof_ = rowCount_ == 0;
        eof_ = false;
        lengthsValid_ = true;
        if (session_ == nullptr) {
            if (lastRead_ == 0) lastRead_ = -1;
            eof_ = true;
            return;
        }
        lastRead_ = session_->read_one_row(fieldCount_, row_, lengths_.data(), rowStore_);
        if (lastRead_ == 0) {
            recNo_ = static_cast<std::int32_t>(rowCount_);
            ++rowCount_;
        } else {
            endUsed();
        }
        return;
    }
    if (cursor_ != nullptr && cursor_->next != nullptr) {
        setCursor(cursor_->next);
        eof_ = false;
        ++recNo_;
    } else {
        eof_ = true;
    }
    bof_ = rowCount_ == 0;
}

void TMysqlResult::Prior() {
    if (kind_ == rtUsed) {
        bof_ = true;
        eof_ = rowCount_ == 0;
        return;
    }
    if (cursor_ != nullptr && cursor_->prev != nullptr) {
        setCursor(cursor_->prev);
        --recNo_;
        bof_ = false;
    } else {
        bof_ = true;
    }
    eof_ = rowCount_ == 0;
}

void TMysqlResult::Last() {
    if (kind_ == rtUsed) {
        eof_ = true;
        bof_ = rowCount_ == 0;
        if (session_ == nullptr) {
            if (lastRead_ == 0) lastRead_ = -1;
            return;
        }
        for (;;) {
            lastRead_ = session_->read_one_row(fieldCount_, row_, lengths_.data(), rowStore_);
            if (lastRead_ != 0) break;
            ++rowCount_;
        }
        recNo_ = static_cast<std::int32_t>(rowCount_) - 1;
        endUsed();
        return;
    }
    if (cursor_ != nullptr && !eof_) setCursor(data_->last());
    eof_ = true;
    bof_ = rowCount_ == 0;
    recNo_ = static_cast<std::int32_t>(rowCount_) - 1;
}

void TMysqlResult::SetRecNo(std::int32_t n) {
    if (kind_ != rtStored || n < 0 || static_cast<std::uint64_t>(n) >= rowCount_) return;
    bof_ = eof_ = false;
    TMysqlRowNode* node = data_->first();
    for (std::int32_t i = 0; i < n; ++i) node = node->next;
    setCursor(node);
    recNo_ = n;
}

namespace {
bool sameName(std::string_view a, const char* b, bool caseSensitive) {
    std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (!caseSensitive) {
            if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
            if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        }
        if (x != y) return false;
    }
    return true;
}
}  // namespace

int TMysqlResult::FieldIndexByName(std::string_view name, bool caseSensitive) const {
    if (name.empty() || !fields_) return -1;
    for (unsigned i = 0; i < fieldCount_; ++i) {
        const char* n = (*fields_)[i].name;
        if (n != nullptr && sameName(name, n, caseSensitive)) return static_cast<int>(i);
    }
    return -1;
}

const TMysql_FieldDef* TMysqlResult::FieldDefByName(std::string_view name, bool caseSensitive) const {
    return FieldDef(FieldIndexByName(name, caseSensitive));
}

const char* TMysqlResult::FieldValueByName(std::string_view name, bool caseSensitive) const {
    return FieldValue(FieldIndexByName(name, caseSensitive));
}

}  // namespace velmysql
