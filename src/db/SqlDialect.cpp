#include "db/SqlDialect.h"

#include <algorithm>
#include <cmath>

const SqlDialect& SqlDialect::forDriver(const QString& driverName) {
  // WAL lets readers go on while an import writes; NORMAL synchronisation is safe under WAL
  // and spares an fsync per commit. A page cache of up to 32 MB keeps a search that visits
  // rows all over the patient table from reading the same pages again and again (the default
  // 2 MB holds a fifth of the patient table of a 100,000-patient archive), and sorting in
  // memory spares the temporary file a sorted search would otherwise write and read back.
  // An import commits once per image; copying the log back into the file every 1000 pages (the
  // default) made it wait for the disc every forty images, every 10000 pages (40 MB of log)
  // spares most of those waits.
  static const SqlDialect sqlite{
      QStringLiteral("QSQLITE"),
      QStringLiteral("%1 LIKE ? ESCAPE '\\'"),
      QStringLiteral("%1 = ? COLLATE NOCASE"),
      QStringLiteral("rowid"),
      {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=NORMAL"),
       QStringLiteral("PRAGMA wal_autocheckpoint=10000")},
      {QStringLiteral("BEGIN IMMEDIATE")},
      false,
      true,
      QStringLiteral("Pelmora.sql"),
      1,
      QStringLiteral("%1 COLLATE BINARY"),
      QString(),
      QString(),
      QString(),
      QString(),
      QStringLiteral("PRAGMA synchronous=FULL"),
      QStringLiteral("PRAGMA synchronous=NORMAL")};
  // On the server the searched texts' indexes hold lower(column): the conditions compare that.
  // A plan made for any value cannot know that a pattern starts with text, so each query is
  // planned for its own values (a few hundred microseconds) and a prefix search uses its index.
  // The server's transaction lock is released by the commit or the rollback, or when the
  // connection drops, so a writer that dies holds no one up. Its number is arbitrary but fixed:
  // every workstation of the archive must take the same one. A writing transaction looks rows
  // up by equal keys and appends them, which a plan made once serves as well: planning every
  // statement anew cost an import two thirds of its time, and a copy a third of its time.
  static const SqlDialect postgres{
      QStringLiteral("QPSQL"),
      QStringLiteral("lower(%1) LIKE lower(?) ESCAPE '\\'"),
      QStringLiteral("lower(%1) = lower(?)"),
      QStringLiteral("ctid"),
      {QStringLiteral("SET plan_cache_mode = force_custom_plan")},
      {QStringLiteral("BEGIN"), QStringLiteral("SET LOCAL plan_cache_mode = force_generic_plan"),
       QStringLiteral("SELECT pg_advisory_xact_lock(7406211)")},
      true,
      false,
      QStringLiteral("Pelmora.pgsql"),
      8000,
      QStringLiteral("%1 COLLATE \"C\""),
      QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), COALESCE(MAX(%3), 0) + 1, "
                     "false) FROM %1"),
      QStringLiteral("SELECT pg_advisory_lock(7406212)"),
      QStringLiteral("SELECT pg_advisory_unlock(7406212)"),
      QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM json_populate_recordset(NULL::%1, ?)"),
      QStringLiteral("SET synchronous_commit = on"),
      QStringLiteral("RESET synchronous_commit")};
  return driverName == postgres.driverName ? postgres : sqlite;
}

bool SqlDialect::isServerLocation(const QString& location) {
  return location.startsWith(QLatin1String("postgresql://")) ||
         location.startsWith(QLatin1String("postgres://"));
}

const SqlDialect& SqlDialect::forLocation(const QString& location) {
  return forDriver(isServerLocation(location) ? QStringLiteral("QPSQL")
                                              : QStringLiteral("QSQLITE"));
}

QString SqlDialect::name(const QString& identifier) {
  static const QStringList reserved{QStringLiteral("Index"), QStringLiteral("user"),
                                    QStringLiteral("default")};
  if (reserved.contains(identifier, Qt::CaseInsensitive)) {
    return QLatin1Char('"') + identifier + QLatin1Char('"');
  }
  return identifier;
}

int SqlDialect::rowsPerInsert(qsizetype columns) const {
  return std::max(1, valuesPerInsert / static_cast<int>(std::max<qsizetype>(1, columns)));
}

QString SqlDialect::storedColumnName(const QString& column) {
  if (column.startsWith(QLatin1Char('"'))) return column.mid(1, column.size() - 2);
  return column.toLower();
}

QString SqlDialect::placeholders(qsizetype count) {
  return QStringList(count, QStringLiteral("?")).join(QLatin1Char(','));
}

QString SqlDialect::insertRows(const QString& table, const QStringList& columns, int rows) {
  const QString row = QLatin1Char('(') + placeholders(columns.size()) + QLatin1Char(')');
  return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
      .arg(table, columns.join(QLatin1Char(',')), QStringList(rows, row).join(QLatin1Char(',')));
}

QString SqlDialect::likeCondition(const QString& column) const {
  return likeMatch.arg(name(column));
}

QString SqlDialect::equalsCondition(const QString& column) const {
  return caselessEquality.arg(name(column));
}

QString SqlDialect::containsCondition(const QString& table, const QString& column) const {
  if (table.isEmpty() || driverName != QLatin1String("QSQLITE")) return likeCondition(column);
  return QStringLiteral("%1 IN (SELECT %1 FROM %2 WHERE %3)")
      .arg(rowIdentity, table, likeCondition(column));
}

QString escapeLike(const QString& text) {
  QString escaped;
  escaped.reserve(text.size());
  for (const QChar c : text) {
    if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\')) {
      escaped += QLatin1Char('\\');
    }
    escaped += c;
  }
  return escaped;
}

bool isWholeNumber(const QVariant& value) {
  switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return true;
    default:
      return false;
  }
}

namespace {

void appendJsonText(QString& out, const QString& text) {
  out += QLatin1Char('"');
  const auto plain = [](QChar c) { return c.unicode() >= 0x20 && c != u'"' && c != u'\\'; };
  if (std::all_of(text.begin(), text.end(), plain)) {
    out += text;
  } else {
    for (const QChar c : text) {
      if (plain(c)) {
        out += c;
      } else if (c == u'"' || c == u'\\') {
        out += QLatin1Char('\\');
        out += c;
      } else {
        out += QString::asprintf("\\u%04x", c.unicode());
      }
    }
  }
  out += QLatin1Char('"');
}

void appendJsonValue(QString& out, const QVariant& value) {
  if (value.isNull()) {
    out += QLatin1String("null");
    return;
  }
  if (isWholeNumber(value)) {
    out += QString::number(value.toLongLong());
    return;
  }
  switch (value.metaType().id()) {
    case QMetaType::Bool:
      out += value.toBool() ? QLatin1Char('1') : QLatin1Char('0');
      return;
    case QMetaType::Double: {
      const double number = value.toDouble();
      if (std::isfinite(number)) {
        out += QString::number(number, 'g', 17);
      } else {
        out += std::isnan(number) ? QLatin1String("\"NaN\"")
               : number > 0       ? QLatin1String("\"Infinity\"")
                                  : QLatin1String("\"-Infinity\"");
      }
      return;
    }
    default:
      appendJsonText(out, value.toString());
  }
}

}  // namespace

JsonRows::JsonRows(const QStringList& columns) : m_text(QStringLiteral("[")) {
  for (const QString& column : columns) {
    QString key;
    appendJsonText(key, SqlDialect::storedColumnName(column));
    m_keys.append(key + QLatin1Char(':'));
  }
}

void JsonRows::append(const QVariantList& row) {
  if (m_text.size() > 1) m_text += QLatin1Char(',');
  m_text += QLatin1Char('{');
  for (qsizetype i = 0; i < row.size() && i < m_keys.size(); ++i) {
    if (i > 0) m_text += QLatin1Char(',');
    m_text += m_keys.at(i);
    appendJsonValue(m_text, row.at(i));
  }
  m_text += QLatin1Char('}');
}
