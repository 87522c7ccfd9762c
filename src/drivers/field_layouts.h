#pragma once
// The C API's field structure as the older client series laid it out, on this platform.
// Series 4.1.1 and later have the layout of TMysql_FieldDef itself.

namespace velmysql::drivers_detail {

struct FieldLayout410 {  // 4.1.0
    char* name;
    char* org_name;
    char* table;
    char* org_table;
    char* db;
    char* def;
    unsigned long length;
    unsigned long max_length;
    unsigned int name_length, org_name_length, table_length, org_table_length, db_length, def_length;
    unsigned int flags;
    unsigned int decimals;
    unsigned int charsetnr;
    int type;
};

struct FieldLayout40 {  // 4.0
    char* name;
    char* table;
    char* org_table;
    char* db;
    char* def;
    unsigned long length;
    unsigned long max_length;
    unsigned int flags;
    unsigned int decimals;
    int type;
};

struct FieldLayout323 {  // 3.23
    char* name;
    char* table;
    char* def;
    int type;
    unsigned int length;
    unsigned int max_length;
    unsigned int flags;
    unsigned int decimals;
};

}  // namespace velmysql::drivers_detail
