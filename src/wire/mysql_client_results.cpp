// The session's side of result sets: rows, descriptors, stored and used results.

#include <algorithm>
#include <cstring>

#include "velmysql/wire/mysql_client.h"
#include "velmysql/wire/mysql_errors.h"
#include "velmysql/wire/packet_reader.h"
#include "velmysql/wire/protocol.h"

namespace velmysql {

namespace {
// Rows of at least this size keep the buffer they were received in instead of a copy.
constexpr std::size_t kRowExchangeSize = 64 * 1024;
}  // namespace

std::unique_ptr<TMYSQL_DATA> TMysqlClient::read_rows(TMysqlFieldDefs* descriptors, unsigned columns,
                                                     bool& incomplete) {
    incomplete = true;
    // Each row is copied into the list before the next read, so packets may be read in
    // place.
    std::string_view payload;
    if (net_.net_safe_read_view(payload) < 0) return nullptr;
    auto data = std::make_unique<TMYSQL_DATA>(columns);
    rowData_.resize(columns);
    rowLength_.resize(columns);
    for (;;) {
        if (IsEndOfData(payload)) {
            noteEndOfData(payload);
            break;
        }
        bool parsed = ParseRow(payload, columns, [&](unsigned i, const unsigned char* d, std::size_t n, bool isNull) {
            rowData_[i] = isNull ? nullptr : (d != nullptr ? d : reinterpret_cast<const unsigned char*>(""));
            rowLength_[i] = n;
        });
        if (!parsed) {
            net_.net_malformed();
            return nullptr;
        }
        if (descriptors != nullptr) {
            for (unsigned i = 0; i < columns && i < descriptors->size(); ++i)
                if (rowData_[i] != nullptr && rowLength_[i] > (*descriptors)[i].max_length)
                    (*descriptors)[i].max_length = rowLength_[i];
        }
        if (data->append(rowData_.data(), rowLength_.data()) == nullptr) {
            setError(CR_OUT_OF_MEMORY, ClientErrorText(CR_OUT_OF_MEMORY));
            return nullptr;
        }
        if (net_.net_safe_read_view(payload) < 0) return nullptr;
    }
    incomplete = false;
    return data;
}

int TMysqlClient::read_one_row(unsigned columns, std::vector<char*>& row, unsigned long* lengths,
                               TMysqlRowStore& store) {
    // Whatever happens below, the values of the row before point into memory that this
    // read may reuse: on failure the row is emptied.
    auto fail = [&] {
        std::fill(row.begin(), row.end(), nullptr);
        std::fill(lengths, lengths + columns, 0);
        return -1;
    };
    std::string_view payload;
    if (net_.net_safe_read_view(payload) < 0) return fail();
    if (IsEndOfData(payload)) {
        noteEndOfData(payload);
        return 1;
    }
    // The row's values are terminated in place: each terminator lands on the next value's
    // length prefix (already read) or, for the last value, on the byte after the payload.
    // A large row keeps the packet buffer it arrived in (exchanged with the channel, whose
    // payload is followed by a 0); a small one is copied once into the store, whose copy
    // does not stay large after a large row.
    char* copy;
    const auto* received = reinterpret_cast<const unsigned char*>(payload.data());
    if (payload.size() >= kRowExchangeSize && received == net_.read_pos() &&
        net_.exchange_buffer(store.block, store.blockCapacity)) {
        copy = reinterpret_cast<char*>(store.block);
    } else {
        const std::size_t room = payload.size() + 1;
        std::vector<char>& buffer = store.copy;
        if (buffer.capacity() > (std::size_t(1) << 20) && room < buffer.capacity() / 4) std::vector<char>().swap(buffer);
        if (buffer.size() < room) buffer.resize(room);
        copy = buffer.data();
        std::memcpy(copy, payload.data(), payload.size());
        copy[payload.size()] = 0;
    }
    const auto* start = reinterpret_cast<const unsigned char*>(copy);
    PacketReader r(std::string_view(copy, payload.size()));
    for (unsigned i = 0; i < columns; ++i) {
        const unsigned char* d;
        std::size_t n;
        bool isNull;
        if (!r.value(d, n, isNull)) {
            net_.net_malformed();
            return fail();
        }
        if (isNull) {
            row[i] = nullptr;
            lengths[i] = nullLength_;
            continue;
        }
        char* value = copy + (d - start);
        row[i] = value;
        lengths[i] = n;
    }
    // Terminators only now: each one overwrites the length prefix of the value after it.
    for (unsigned i = 0; i < columns; ++i)
        if (row[i] != nullptr) row[i][lengths[i]] = 0;
    return 0;
}

namespace {
// Little-endian number of up to n bytes of a descriptor value.
std::uint32_t leValue(const char* p, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

bool isNumericType(unsigned type, unsigned long length) {
    return (type <= 9 && type != FIELD_TYPE_TIMESTAMP) ||
           (type == FIELD_TYPE_TIMESTAMP && (length == 8 || length == 14)) || type == FIELD_TYPE_YEAR;
}
}  // namespace

std::unique_ptr<TMysqlFieldDefs> TMysqlClient::unpack_fields(std::unique_ptr<TMYSQL_DATA> rows, unsigned fieldCount,
                                                             bool longFlags) {
    (void)fieldCount;
    if (!rows) return nullptr;
    const unsigned cols = rows->fields();
    auto defs = std::make_unique<TMysqlFieldDefs>(static_cast<std::size_t>(rows->rows()));
    std::vector<char*> v(cols);
    std::vector<unsigned long> n(cols);
    std::size_t i = 0;
    auto text = [&](unsigned c) -> char* { return c < cols && v[c] ? defs->own(std::string_view(v[c], n[c])) : nullptr; };
    for (TMysqlRowNode* node = rows->first(); node != nullptr; node = node->next, ++i) {
        rows->values(node, v.data(), n.data());
        TMysql_FieldDef& f = (*defs)[i];
        if (cols >= 7) {
            f.catalog = text(0);
            f.db = text(1);
            f.table = text(2);
            f.org_table = text(3);
            f.name = text(4);
            f.org_name = text(5);
            if (v[6] != nullptr) {
                if (n[6] < 10) {
                    net_.net_malformed();
                    return nullptr;
                }
                f.charsetnr = leValue(v[6], 2);
                f.length = leValue(v[6] + 2, 4);
                f.type = static_cast<unsigned char>(v[6][6]);
                f.flags = leValue(v[6] + 7, 2);
                f.decimals = static_cast<unsigned char>(v[6][9]);
            }
            if (f.type >= FIELD_TYPE_TINY_BLOB && f.type <= FIELD_TYPE_BLOB) f.flags |= BLOB_FLAG;
        } else {
            f.table = text(0);
            f.name = text(1);
            const unsigned need[3] = {3, 1, longFlags ? 3u : 2u};
            for (unsigned c = 2; c < 5 && c < cols; ++c) {
                if (v[c] != nullptr && n[c] < need[c - 2]) {
                    net_.net_malformed();
                    return nullptr;
                }
            }
            if (cols > 2 && v[2]) f.length = leValue(v[2], 3);
            if (cols > 3 && v[3]) f.type = static_cast<unsigned char>(v[3][0]);
            if (cols > 4 && v[4]) {
                if (longFlags) {
                    f.flags = leValue(v[4], 2);
                    f.decimals = static_cast<unsigned char>(v[4][2]);
                } else {
                    f.flags = static_cast<unsigned char>(v[4][0]);
                    f.decimals = static_cast<unsigned char>(v[4][1]);
                }
            }
            if (cols == 6) f.def = text(5);
        }
        if (isNumericType(f.type, f.length)) f.flags |= NUM_FLAG;
        f.max_length = 0;
    }
    return defs;
}

void TMysqlClient::free_old_query() {
    fields_.reset();
    fieldCount_ = 0;
}

std::unique_ptr<TMysqlResult> TMysqlClient::store_result() {
    if (!fields_) return nullptr;
    if (status_ != MYSQL_STATUS_GET_RESULT) {
        setError(CR_COMMANDS_OUT_OF_SYNC, ClientErrorText(CR_COMMANDS_OUT_OF_SYNC));
        return nullptr;
    }
    std::unique_ptr<TMysqlResult> res = resultClass_(this, rtStored);
    res->lengths_.assign(fieldCount_, 0);
    bool incomplete;
    std::unique_ptr<TMYSQL_DATA> data = read_rows(fields_.get(), fieldCount_, incomplete);
    if (!data) return nullptr;
    res->row_.assign(fieldCount_, nullptr);
    res->data_ = std::move(data);
    res->fieldCount_ = fieldCount_;
    res->rowCount_ = res->data_->rows();
    if (res->data_->first() != nullptr) {
        res->setCursor(res->data_->first());
        res->recNo_ = 0;
        res->eof_ = false;
    } else {
        res->currentRow_ = nullptr;
        res->recNo_ = -1;
        res->eof_ = true;
    }
    res->bof_ = true;
    res->fields_ = std::move(fields_);
    res->lastRead_ = 1;
    res->session_ = nullptr;  // a stored result is never attached
    affectedRows_ = res->rowCount_;
    fieldCount_ = 0;
    status_ = MYSQL_STATUS_READY;
    return res;
}

std::unique_ptr<TMysqlResult> TMysqlClient::use_result() {
    if (!fields_) return nullptr;
    if (status_ != MYSQL_STATUS_GET_RESULT) {
        setError(CR_COMMANDS_OUT_OF_SYNC, ClientErrorText(CR_COMMANDS_OUT_OF_SYNC));
        return nullptr;
    }
    std::unique_ptr<TMysqlResult> res = resultClass_(this, rtUsed);
    res->lengths_.assign(fieldCount_, 0);
    res->row_.assign(fieldCount_, nullptr);
    res->currentRow_ = res->row_.data();
    res->rowCount_ = 0;
    res->fieldCount_ = fieldCount_;
    res->fields_ = std::move(fields_);
    fieldCount_ = 0;
    status_ = MYSQL_STATUS_USE_RESULT;
    currentResult_ = res.get();
    res->Next();
    res->bof_ = true;
    return res;
}

void TMysqlClient::noteEndOfData(std::string_view eof) {
    if (eof.size() >= 5 && (clientFlag_ & CLIENT_PROTOCOL_41))
        serverStatus_ = static_cast<unsigned char>(eof[3]) | (static_cast<std::uint32_t>(static_cast<unsigned char>(eof[4])) << 8);
}

void TMysqlClient::endUsedResult(TMysqlResult* result) {
    if (currentResult_ == result) currentResult_ = nullptr;
    status_ = MYSQL_STATUS_READY;
    net_.net_pack();
    affectedRows_ = result->rowCount_;
}

}  // namespace velmysql
