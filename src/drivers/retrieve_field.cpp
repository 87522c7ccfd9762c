// Reading a field descriptor in the layout of the loaded client's series.

#include <cstddef>
#include <cstring>

#include "velmysql/drivers/mysql_base.h"
#include "velmysql/drivers/version_number.h"
#include "velmysql/wire/mysql_ct.h"
#include "drivers/field_layouts.h"

namespace velmysql {

namespace {

template <class Layout>
Layout ReadLayout(const void* source) {
    Layout l;
    std::memcpy(&l, source, sizeof l);
    return l;
}

TMysql_FieldDef FromClientField(const void* source, int clientVersion) {
    using namespace drivers_detail;
    TMysql_FieldDef f;
    if (clientVersion >= kFieldLayout411) {
        // Series before 5.1 end their structure at the type: only the members every
        // series of this layout has are read, never the extension pointer after them.
        TMysql_FieldDef s;
        std::memcpy(static_cast<void*>(&s), source, offsetof(TMysql_FieldDef, extension));
        f.name = s.name;
        f.org_name = s.org_name;
        f.table = s.table;
        f.org_table = s.org_table;
        f.db = s.db;
        f.def = s.def;
        f.length = s.length;
        f.max_length = s.max_length;
        f.flags = s.flags;
        f.decimals = s.decimals;
        f.type = s.type;
    } else if (clientVersion >= kFieldLayout410) {
        auto s = ReadLayout<FieldLayout410>(source);
        f.name = s.name;
        f.org_name = s.org_name;
        f.table = s.table;
        f.def = s.def;
        f.length = s.length;
        f.max_length = s.max_length;
        f.flags = s.flags;
        f.decimals = s.decimals;
        f.type = static_cast<unsigned char>(s.type);
    } else if (clientVersion >= kFieldLayout40) {
        auto s = ReadLayout<FieldLayout40>(source);
        f.name = s.name;
        f.table = s.table;
        f.def = s.def;
        f.length = s.length;
        f.max_length = s.max_length;
        f.flags = s.flags;
        f.decimals = s.decimals;
        f.type = static_cast<unsigned char>(s.type);
    } else {
        auto s = ReadLayout<FieldLayout323>(source);
        f.name = s.name;
        f.table = s.table;
        f.def = s.def;
        f.type = static_cast<unsigned char>(s.type);
        f.length = s.length;
        f.max_length = s.max_length;
        f.flags = s.flags;
        f.decimals = s.decimals;
    }
    // org_table and db are absent for the older layouts (default-initialised above).
    return f;
}

}  // namespace

TMysql_FieldDef TMySQLBase::RetrieveField(MySQLResultHandle* result) {
    static char emptyName[1] = "";
    EnsureLoaded();
    TMysql_FieldDef none;
    none.name = emptyName;
    if (result == nullptr) return none;
    const TMysql_FieldDef* source = api_.mysql_fetch_field(result);
    if (source == nullptr) return none;
    // The layout follows the client's series; read it now if no connection has yet.
    if (clientVersion_ == 0) clientVersion_ = MySQLVersionNumber(ClientInfo());
    return FromClientField(source, FieldLayoutVersion());
}

int TMySQLBase::FieldLayoutVersion() { return clientVersion_; }

}  // namespace velmysql
