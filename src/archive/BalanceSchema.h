#pragma once

namespace zelvaro {

// The contract hours, the absences and the settings of the balance ("saldo ore") live in tables of
// their own beside MOV_MAG, never in columns of it. An archive without them is valid: it has no
// contract hours yet. PRAGMA user_version marks the layout: 0 for MOV_MAG alone, kArchiveLayoutVersion
// once these tables exist; a file with a higher version comes from a newer Zelvaro and is refused.
inline constexpr int kArchiveLayoutVersion = 1;

// Dates are stored as 'AAAA-MM-GG' text, so that they sort as dates; minutes as whole numbers.

// One entry a from-date: the minutes of each weekday, Monday to Sunday, from DAL on.
inline constexpr const char *kCreateOrarioContrattuale = R"sql(CREATE TABLE ORARIO_CONTRATTUALE (
  DAL TEXT PRIMARY KEY NOT NULL,
  MIN_LUN INTEGER NOT NULL, MIN_MAR INTEGER NOT NULL, MIN_MER INTEGER NOT NULL,
  MIN_GIO INTEGER NOT NULL, MIN_VEN INTEGER NOT NULL, MIN_SAB INTEGER NOT NULL,
  MIN_DOM INTEGER NOT NULL))sql";

// At most one absence a date: its type (ferie, malattia, permesso, festivita, recupero) and minutes.
inline constexpr const char *kCreateAssenze = R"sql(CREATE TABLE ASSENZE (
  DATA TEXT PRIMARY KEY NOT NULL,
  TIPO TEXT NOT NULL,
  MINUTI INTEGER NOT NULL))sql";

// The settings by name: 'nome' (the worker), 'datore' (the employer), 'patrono' ('GG/MM'),
// 'saldo_iniziale' (signed minutes, the overtime bank at the first from-date).
inline constexpr const char *kCreateImpostazioni = R"sql(CREATE TABLE IMPOSTAZIONI (
  CHIAVE TEXT PRIMARY KEY NOT NULL,
  VALORE TEXT))sql";

} // namespace zelvaro
