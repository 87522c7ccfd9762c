#pragma once
// All text utilities: string and INI helpers, the line list and the MySQL date, time
// and number text conversions.

#include "velmysql/textutil/inistrings.h"
#include "velmysql/textutil/mysqldatetime.h"
#include "velmysql/textutil/strutils.h"
#include "velmysql/textutil/velstringlist.h"
