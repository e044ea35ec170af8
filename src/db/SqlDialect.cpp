#include "db/SqlDialect.h"

const SqlDialect& SqlDialect::forDriver(const QString& driverName) {
  // WAL lets readers go on while an import writes; NORMAL synchronisation is safe under WAL
  // and spares an fsync per commit.
  static const SqlDialect sqlite{
      QStringLiteral("QSQLITE"),
      QStringLiteral("LIKE"),
      QStringLiteral("rowid"),
      {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=NORMAL")}};
  static const SqlDialect postgres{
      QStringLiteral("QPSQL"), QStringLiteral("ILIKE"), QStringLiteral("ctid"), {}};
  return driverName == postgres.driverName ? postgres : sqlite;
}

QString SqlDialect::name(const QString& identifier) {
  if (identifier.compare(QLatin1String("Index"), Qt::CaseInsensitive) == 0) {
    return QLatin1Char('"') + identifier + QLatin1Char('"');
  }
  return identifier;
}

QString SqlDialect::likeCondition(const QString& column) const {
  return name(column) + QLatin1Char(' ') + likeOperator + QStringLiteral(" ? ESCAPE '\\'");
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
