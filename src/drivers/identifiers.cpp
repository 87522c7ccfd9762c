#include "velmysql/drivers/identifiers.h"

#include <algorithm>
#include <vector>

#include "drivers/text_helpers.h"

namespace velmysql {

namespace {

bool IsPlainIdentifierChar(unsigned char c) {
    return c == '$' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The parts of a dotted name, split at dots outside backquotes. Empty parts are dropped.
std::vector<std::string_view> DottedParts(std::string_view name) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || (name[i] == '.' && !quoted)) {
            if (i > start) parts.push_back(name.substr(start, i - start));
            start = i + 1;
        } else if (name[i] == '`') {
            quoted = !quoted;  // a doubled backquote inside quotes flips twice
        }
    }
    return parts;
}

}  // namespace

const std::string& MySQLReservedWordText() {
    static const std::string text =
    ",ACTION,ADD,ALL,ALTER,ANALYZE,AND,AS,ASC,ASENSITIVE,AUTO_INCREMENT,BDB,BEFORE,BERKELEYDB,"
    "BETWEEN,BIGINT,BINARY,BIT,BLOB,BOTH,BY,CALL,CASCADE,CASE,CHANGE,CHAR,CHARACTER,CHECK,"
    "COLLATE,COLUMN,COLUMNS,CONDITION,CONNECTION,CONSTRAINT,CONTINUE,CREATE,CROSS,CURRENT_DATE,"
    "CURRENT_TIME,CURRENT_TIMESTAMP,CURSOR,DATABASE,DATABASES,DATE,DAY_HOUR,DAY_MICROSECOND,"
    "DAY_MINUTE,DAY_SECOND,DEC,DECIMAL,DECLARE,DEFAULT,DELAYED,DELETE,DESC,DESCRIBE,"
    "DETERMINISTIC,DISTINCT,DISTINCTROW,DIV,DOUBLE,DROP,ELSE,ELSEIF,ENCLOSED,ENGINE,ENUM,"
    "ESCAPED,EXISTS,EXIT,EXPLAIN,FALSE,FETCH,FIELDS,FLOAT,FOR,FORCE,FOREIGN,FOUND,FRAC_SECOND,"
    "FROM,FULLTEXT,GRANT,GROUP,HAVING,HIGH_PRIORITY,HOUR_MICROSECOND,HOUR_MINUTE,HOUR_SECOND,"
    "IF,IGNORE,IN,INDEX,INFILE,INNER,INNODB,INOUT,INSENSITIVE,INSERT,INT,INTEGER,INTERVAL,INTO,"
    "IO_THREAD,IS,ITERATE,JOIN,KEY,KEYS,KILL,LEADING,LEAVE,LEFT,LIKE,LIMIT,LINES,LOAD,"
    "LOCALTIME,LOCALTIMESTAMP,LOCK,LONG,LONGBLOB,LONGTEXT,LOOP,LOW_PRIORITY,MASTER_SERVER_ID,"
    "MATCH,MEDIUMBLOB,MEDIUMINT,MEDIUMTEXT,MIDDLEINT,MINUTE_MICROSECOND,MINUTE_SECOND,MOD,"
    "NATURAL,NOT,NO,NO_WRITE_TO_BINLOG,NULL,NUMERIC,ON,OPTIMIZE,OPTION,OPTIONALLY,OR,ORDER,OUT,"
    "OUTER,OUTFILE,PRECISION,PRIMARY,PRIVILEGES,PROCEDURE,PURGE,READ,REAL,REFERENCES,REGEXP,"
    "RENAME,REPEAT,REPLACE,REQUIRE,RESTRICT,RETURN,REVOKE,RIGHT,RLIKE,SECOND_MICROSECOND,"
    "SELECT,SENSITIVE,SEPARATOR,SET,SHOW,SMALLINT,SOME,SONAME,SPATIAL,SPECIFIC,SQL,"
    "SQLEXCEPTION,SQLSTATE,SQLWARNING,SQL_BIG_RESULT,SQL_CALC_FOUND_ROWS,SQL_SMALL_RESULT,"
    "SQL_TSI_DAY,SQL_TSI_FRAC_SECOND,SQL_TSI_HOUR,SQL_TSI_MINUTE,SQL_TSI_MONTH,SQL_TSI_QUARTER,"
    "SQL_TSI_SECOND,SQL_TSI_WEEK,SQL_TSI_YEAR,SSL,STARTING,STRAIGHT_JOIN,STRIPED,TABLE,TABLES,"
    "TERMINATED,TEXT,THEN,TIME,TIMESTAMP,TIMESTAMPADD,TIMESTAMPDIFF,TINYBLOB,TINYINT,TINYTEXT,"
    "TO,TRAILING,TRUE,TYPE,UNDO,UNION,UNIQUE,UNLOCK,UNSIGNED,UPDATE,USAGE,USE,USER_RESOURCES,"
    "USING,UTC_DATE,UTC_TIME,UTC_TIMESTAMP,VALUES,VARBINARY,VARCHAR,VARCHARACTER,VARYING,WHEN,"
    "WHERE,WHILE,WITH,WRITE,XOR,YEAR_MONTH,ZEROFILL,";
    return text;
}

bool IsMySQLReservedWord(std::string_view word) {
    // The words of the list, sorted once, for a binary search: every formatted name asks.
    static const std::vector<std::string_view> words = [] {
        std::vector<std::string_view> list;
        const std::string_view text = MySQLReservedWordText();
        std::size_t start = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            if (i < text.size() && text[i] != ',') continue;
            if (i > start) list.push_back(text.substr(start, i - start));
            start = i + 1;
        }
        std::sort(list.begin(), list.end());
        return list;
    }();
    std::string probe;
    probe.reserve(word.size() + 2);
    for (char c : word) probe += drivers_detail::UpperAscii(c);
    if (probe.find(',') == std::string::npos)
        return std::binary_search(words.begin(), words.end(), std::string_view(probe));
    // A text holding commas is found when it stands between commas in the list, as a run
    // of words does.
    return MySQLReservedWordText().find("," + probe + ",") != std::string::npos;
}

bool IsEnclosedIdentifier(std::string_view name) {
    if (name.size() < 2 || name.front() != '`' || name.back() != '`') return false;
    std::string_view inner = name.substr(1, name.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] != '`') continue;
        if (i + 1 >= inner.size() || inner[i + 1] != '`') return false;
        ++i;
    }
    return true;
}

bool NeedsIdentifierQuotes(std::string_view name) {
    if (name.empty() || IsEnclosedIdentifier(name)) return false;
    if (IsMySQLReservedWord(name)) return true;
    if (name.front() >= '0' && name.front() <= '9') return true;
    for (char c : name)
        if (!IsPlainIdentifierChar(static_cast<unsigned char>(c))) return true;
    return false;
}

std::string FormatMySQLIdentifier(std::string_view name) {
    if (!NeedsIdentifierQuotes(name)) return std::string(name);
    std::vector<std::string_view> parts = DottedParts(name);
    if (parts.size() == 1 && parts.front().size() == name.size()) {
        // One part: enclose it. Doubling every inner backquote keeps the name inside its quotes.
        std::string out;
        out.reserve(name.size() + 2);
        out += '`';
        for (char c : name) {
            out += c;
            if (c == '`') out += '`';
        }
        out += '`';
        return out;
    }
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += '.';
        out += FormatMySQLIdentifier(parts[i]);
    }
    return out;
}

}  // namespace velmysql
