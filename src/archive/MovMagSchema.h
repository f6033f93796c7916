#pragma once

#include "Outcome.h"

#include <iterator>

namespace zelvaro {

class SqliteConnection;

// The schema of every archive: other tools and hand-made archives rely on it.
inline constexpr const char *kCreateMovMag = R"sql(CREATE TABLE MOV_MAG (
  NUM_MOV INTEGER PRIMARY KEY,
  ANNO TEXT, MESE TEXT, GIORNO TEXT,
  ORA_INIZIO_1 TEXT, ORA_FINE_1 TEXT,
  ORA_INIZIO_2 TEXT, ORA_FINE_2 TEXT,
  ORA_INIZIO_3 TEXT, ORA_FINE_3 TEXT,
  NOTE TEXT))sql";

// The columns of MOV_MAG in the order of every query and insert of the program and its tools.
inline constexpr const char *kMovMagColumns[] = {"NUM_MOV",      "ANNO",       "MESE",         "GIORNO",
                                                 "ORA_INIZIO_1", "ORA_FINE_1", "ORA_INIZIO_2", "ORA_FINE_2",
                                                 "ORA_INIZIO_3", "ORA_FINE_3", "NOTE"};
inline constexpr int kMovMagColumnCount = int(std::size(kMovMagColumns));

// Stores one whole row: the values in the column order above as ?1 to ?11.
inline constexpr const char *kInsertMovMagRow = R"sql(INSERT INTO MOV_MAG (NUM_MOV, ANNO, MESE, GIORNO,
 ORA_INIZIO_1, ORA_FINE_1, ORA_INIZIO_2, ORA_FINE_2, ORA_INIZIO_3, ORA_FINE_3, NOTE)
 VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11))sql";

// The file must hold table MOV_MAG with all its columns; their order, their case and any other
// column do not matter. Reading the schema makes SQLite read the file's header, so a file that is
// not a database, or one locked by another program, fails here and not at the first real query.
Outcome checkMovMagSchema(const SqliteConnection &connection);

} // namespace zelvaro
