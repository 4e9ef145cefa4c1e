#include "SchemaDdl.h"

namespace SchemaDdl {

QString columnType(const ColumnDef &column, SqlDialect dialect)
{
    // The types below are common to SQLite, PostgreSQL and Firebird 3, but one.
    switch (column.type) {
    case ColumnType::Varchar: return QStringLiteral("VARCHAR(%1)").arg(column.size);
    case ColumnType::Char:
        // Firebird's client hands a UTF-8 CHAR(n) back padded to 4n bytes ("N" comes
        // back as "N   "): the fixed-width codes are kept as VARCHAR there, compared
        // the same way (Firebird ignores trailing blanks in comparisons).
        if (dialect == SqlDialect::Firebird)
            return QStringLiteral("VARCHAR(%1)").arg(column.size);
        return QStringLiteral("CHAR(%1)").arg(column.size);
    case ColumnType::Integer: return QStringLiteral("INTEGER");
    case ColumnType::Date:
        // SQLite keeps dates as ISO text 'YYYY-MM-DD'; the declared type documents it.
        return QStringLiteral("DATE");
    case ColumnType::Numeric: return QStringLiteral("NUMERIC(%1,%2)").arg(column.size).arg(column.scale);
    }
    return QString();
}

QString createTable(const TableDef &table, SqlDialect dialect)
{
    QStringList lines;
    for (const ColumnDef &c : table.columns) {
        // Firebird requires primary-key columns to be declared NOT NULL.
        const bool notNull = c.notNull || table.primaryKey.contains(c.name);
        lines << QStringLiteral("  %1 %2%3")
                     .arg(c.name, columnType(c, dialect), notNull ? QStringLiteral(" NOT NULL") : QString());
    }
    if (!table.primaryKey.isEmpty()) {
        lines << QStringLiteral("  CONSTRAINT PK_%1 PRIMARY KEY (%2)")
                     .arg(table.name, table.primaryKey.join(QStringLiteral(", ")));
    }
    return QStringLiteral("CREATE TABLE %1 (\n%2\n)").arg(table.name, lines.join(QStringLiteral(",\n")));
}

QStringList createIndexes(const TableDef &table, SqlDialect dialect)
{
    Q_UNUSED(dialect)
    QStringList statements;
    for (const IndexDef &ix : table.indexes) {
        statements << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                          .arg(ix.unique ? QStringLiteral("UNIQUE ") : QString(), ix.name, table.name,
                               ix.columns.join(QStringLiteral(", ")));
    }
    return statements;
}

QStringList createRoutines(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::SQLite: return {};
    case SqlDialect::PostgreSQL:
        return {QStringLiteral("CREATE OR REPLACE FUNCTION NVLSTR(A VARCHAR, B VARCHAR) RETURNS VARCHAR\n"
                               "LANGUAGE SQL IMMUTABLE AS 'SELECT COALESCE(A, B)'")};
    case SqlDialect::Firebird:
        return {
            // Moves once per committed transaction that changed suppliers or quotes (see
            // createChangeMarks): the application server keeps its supplier list while
            // it stays put.
            QStringLiteral("CREATE SEQUENCE G_VERSAO_DADOS"),
            QStringLiteral("CREATE OR ALTER FUNCTION NVLSTR (A VARCHAR(254), B VARCHAR(254))\n"
                           "RETURNS VARCHAR(254)\n"
                           "AS\n"
                           "BEGIN\n"
                           "  RETURN COALESCE(A, B);\n"
                           "END"),
            // The elements of a long list parameter, sent as one text of items
            // "<length>:<value>" (length in characters), so that any character may
            // appear in a value. The text is read in slices into a VARCHAR buffer:
            // work on the BLOB itself would rescan it from the start at every step.
            QStringLiteral(
                "CREATE OR ALTER PROCEDURE LISTA_VALORES (LISTA BLOB SUB_TYPE TEXT CHARACTER SET UTF8)\n"
                "RETURNS (VALOR VARCHAR(60) CHARACTER SET UTF8)\n"
                "AS\n"
                "  DECLARE BUF VARCHAR(8000) CHARACTER SET UTF8;\n"
                "  DECLARE BUFLEN INTEGER;\n"
                "  DECLARE POS INTEGER;\n"
                "  DECLARE TOTAL BIGINT;\n"
                "  DECLARE TAKEN BIGINT;\n"
                "  DECLARE SEP INTEGER;\n"
                "  DECLARE LEN INTEGER;\n"
                "BEGIN\n"
                "  IF (LISTA IS NULL) THEN EXIT;\n"
                "  TOTAL = CHAR_LENGTH(LISTA);\n"
                "  TAKEN = 0;\n"
                "  BUF = '';\n"
                "  BUFLEN = 0;\n"
                "  POS = 1;\n"
                "  WHILE (1 = 1) DO\n"
                "  BEGIN\n"
                "    IF (BUFLEN - POS < 200 AND TAKEN < TOTAL) THEN\n"
                "    BEGIN\n"
                "      BUF = SUBSTRING(BUF FROM POS) || CAST(SUBSTRING(LISTA FROM TAKEN + 1 FOR 3000) AS VARCHAR(3000) CHARACTER SET UTF8);\n"
                "      TAKEN = TAKEN + 3000;\n"
                "      BUFLEN = CHAR_LENGTH(BUF);\n"
                "      POS = 1;\n"
                "    END\n"
                "    IF (POS > BUFLEN) THEN LEAVE;\n"
                "    SEP = POSITION(':', BUF, POS);\n"
                "    IF (SEP = 0) THEN LEAVE;\n"
                "    LEN = CAST(SUBSTRING(BUF FROM POS FOR SEP - POS) AS INTEGER);\n"
                "    VALOR = SUBSTRING(BUF FROM SEP + 1 FOR LEN);\n"
                "    POS = SEP + 1 + LEN;\n"
                "    SUSPEND;\n"
                "  END\n"
                "END")};
    }
    return {};
}

QStringList createChangeMarks(SqlDialect dialect)
{
    if (dialect != SqlDialect::Firebird)
        return {}; // SQLite and PostgreSQL offer a change mark of their own
    QStringList statements;
    // Firebird walks an ascending index for MIN only: the last product by tree code (MAX)
    // needs a descending one, or it reads the whole table.
    statements << QStringLiteral("CREATE DESCENDING INDEX IX_PRODUTO_CDARVPROD_DESC ON PRODUTO (CDARVPROD)");
    for (const char *table : {"FORNECEDOR", "COTACAO"})
        statements << QStringLiteral("CREATE OR ALTER TRIGGER TR_%1_VERSAO FOR %1 ACTIVE\n"
                                     "AFTER INSERT OR UPDATE OR DELETE POSITION 0 AS\n"
                                     "BEGIN\n"
                                     "  RDB$SET_CONTEXT('USER_TRANSACTION', 'LPR_MUDOU', '1');\n"
                                     "END")
                          .arg(QLatin1String(table));
    statements << QStringLiteral("CREATE OR ALTER TRIGGER TR_VERSAO_DADOS ACTIVE ON TRANSACTION COMMIT POSITION 0 AS\n"
                                 "  DECLARE V BIGINT;\n"
                                 "BEGIN\n"
                                 "  IF (RDB$GET_CONTEXT('USER_TRANSACTION', 'LPR_MUDOU') = '1') THEN\n"
                                 "    V = GEN_ID(G_VERSAO_DADOS, 1);\n"
                                 "END");
    return statements;
}

namespace {

// The accented letters of Portuguese (and their neighbours in Latin-1) and their plain
// letters, both cases: the servers' own case mapping may not know them (PostgreSQL's
// lower() in a database of collation C leaves "Á" as it is).
const char16_t kAccented[] = u"ÁÀÂÃÄÉÈÊËÍÌÎÏÓÒÔÕÖÚÙÛÜÇÑÝáàâãäéèêëíìîïóòôõöúùûüçñýÿ";
const char16_t kPlain[] = u"AAAAAEEEEIIIIOOOOOUUUUCNYaaaaaeeeeiiiiooooouuuucnyy";

} // namespace

QString foldExpression(const QString &text, SqlDialect dialect)
{
    const QString accented = QString::fromUtf16(kAccented);
    const QString plain = QString::fromUtf16(kPlain);
    if (dialect == SqlDialect::PostgreSQL)
        return QStringLiteral("lower(translate(%1, '%2', '%3'))").arg(text, accented, plain);
    QString expression = text;
    for (qsizetype i = 0; i < accented.size(); ++i)
        expression = QStringLiteral("REPLACE(%1, '%2', '%3')").arg(expression, accented.at(i), plain.at(i));
    return QStringLiteral("LOWER(%1)").arg(expression);
}

namespace {

// The words of the folded names, each with the name and the code, in the order a list by
// name reads them; and the words once each, for finding the words that hold a part.
QString wordTable()
{
    return QStringLiteral("CREATE TABLE PRODUTO_PALAVRA (\n"
                          "  PALAVRA VARCHAR(50) NOT NULL,\n"
                          "  NMBUSCA VARCHAR(50) NOT NULL,\n"
                          "  CDARVPROD VARCHAR(20) NOT NULL\n"
                          ")");
}

QString wordVocabulary()
{
    return QStringLiteral("CREATE TABLE PRODUTO_VOCABULO (\n"
                          "  PALAVRA VARCHAR(50) NOT NULL,\n"
                          "  CONSTRAINT PK_PRODUTO_VOCABULO PRIMARY KEY (PALAVRA)\n"
                          ")");
}

QString wordIndex()
{
    return QStringLiteral("CREATE INDEX IX_PRODUTO_PALAVRA ON PRODUTO_PALAVRA (PALAVRA, NMBUSCA, CDARVPROD)");
}

QString firebirdWordDeclarations()
{
    return QStringLiteral("  DECLARE RESTO VARCHAR(60);\n"
                          "  DECLARE P VARCHAR(50);\n"
                          "  DECLARE N INTEGER;\n");
}

// One row per word of name (blank-separated), with the name and the code; in a trigger
// the words go into the vocabulary too.
QString firebirdWordLoop(const QString &name, const QString &code, bool vocabulary)
{
    return QStringLiteral("    RESTO = %1 || ' ';\n"
                          "    WHILE (CHAR_LENGTH(RESTO) > 0) DO\n"
                          "    BEGIN\n"
                          "      N = POSITION(' ' IN RESTO);\n"
                          "      P = SUBSTRING(RESTO FROM 1 FOR N - 1);\n"
                          "      RESTO = SUBSTRING(RESTO FROM N + 1);\n"
                          "      IF (P <> '') THEN\n"
                          "      BEGIN\n"
                          "        INSERT INTO PRODUTO_PALAVRA (PALAVRA, NMBUSCA, CDARVPROD) VALUES (:P, %1, %2);\n"
                          "%3"
                          "      END\n"
                          "    END\n")
        .arg(name, code,
             vocabulary ? QStringLiteral(
                 "        UPDATE OR INSERT INTO PRODUTO_VOCABULO (PALAVRA) VALUES (:P) MATCHING (PALAVRA);\n")
                        : QString());
}

// The product search per database: SQLite a trigram table, the servers a table of words.
QStringList sqliteSearch()
{
    // The trigram table keeps its own copy of the folded name and the code, so a search
    // reads nothing else until it has its page of codes.
    QStringList statements{
        QStringLiteral("CREATE VIRTUAL TABLE PRODUTO_BUSCA USING fts5(NMBUSCA, CDARVPROD UNINDEXED, "
                       "tokenize = 'trigram')"),
        QStringLiteral("INSERT INTO PRODUTO_BUSCA (NMBUSCA, CDARVPROD) "
                       "SELECT NMBUSCA, CDARVPROD FROM PRODUTO WHERE NMBUSCA IS NOT NULL ORDER BY NMBUSCA, CDARVPROD"),
        QStringLiteral("CREATE TABLE PRODUTO_BUSCA_ORDEM (ATE INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO PRODUTO_BUSCA_ORDEM (ATE) SELECT COALESCE(MAX(rowid), 0) FROM PRODUTO_BUSCA")};
    // A changed name is added again; the row it had before no longer matches the
    // product's folded name, and searches leave it out. SQLite's parser takes ten
    // nested calls at a time, not fifty: the letters are replaced in steps.
    const QString accented = QString::fromUtf16(kAccented);
    const QString plain = QString::fromUtf16(kPlain);
    QString body =
        QStringLiteral("BEGIN\n  UPDATE PRODUTO SET NMBUSCA = NEW.NMPRODUTO WHERE CDPRODUTO = NEW.CDPRODUTO;\n");
    for (qsizetype i = 0; i < accented.size(); i += 10) {
        QString step = QStringLiteral("NMBUSCA");
        for (qsizetype j = i; j < qMin(i + 10, accented.size()); ++j)
            step = QStringLiteral("REPLACE(%1, '%2', '%3')").arg(step, accented.at(j), plain.at(j));
        body += QStringLiteral("  UPDATE PRODUTO SET NMBUSCA = %1 WHERE CDPRODUTO = NEW.CDPRODUTO;\n").arg(step);
    }
    body += QStringLiteral("  UPDATE PRODUTO SET NMBUSCA = LOWER(NMBUSCA) WHERE CDPRODUTO = NEW.CDPRODUTO;\n"
                           "  INSERT INTO PRODUTO_BUSCA (NMBUSCA, CDARVPROD)\n"
                           "    SELECT NMBUSCA, CDARVPROD FROM PRODUTO WHERE CDPRODUTO = NEW.CDPRODUTO;\n"
                           "END");
    statements << QStringLiteral("CREATE TRIGGER TR_PRODUTO_BUSCA_I AFTER INSERT ON PRODUTO\n") + body
               << QStringLiteral("CREATE TRIGGER TR_PRODUTO_BUSCA_U AFTER UPDATE OF NMPRODUTO, CDARVPROD ON PRODUTO\n")
                      + body;
    return statements;
}

QStringList postgresSearch(const QString &folded)
{
    return {
        wordTable(),
        wordVocabulary(),
        QStringLiteral("INSERT INTO PRODUTO_PALAVRA (PALAVRA, NMBUSCA, CDARVPROD)\n"
                       "  SELECT P, NMBUSCA, CDARVPROD FROM PRODUTO, regexp_split_to_table(NMBUSCA, ' ') P\n"
                       "  WHERE P <> ''"),
        QStringLiteral("INSERT INTO PRODUTO_VOCABULO (PALAVRA) SELECT DISTINCT PALAVRA FROM PRODUTO_PALAVRA"),
        wordIndex(),
        QStringLiteral("ANALYZE PRODUTO_PALAVRA"),
        QStringLiteral("ANALYZE PRODUTO_VOCABULO"),
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION PRODUTO_NMBUSCA() RETURNS trigger LANGUAGE plpgsql AS $$\n"
            "BEGIN\n"
            "  NEW.NMBUSCA := %1;\n"
            "  INSERT INTO PRODUTO_PALAVRA (PALAVRA, NMBUSCA, CDARVPROD)\n"
            "    SELECT P, NEW.NMBUSCA, NEW.CDARVPROD FROM regexp_split_to_table(NEW.NMBUSCA, ' ') P WHERE P <> '';\n"
            "  INSERT INTO PRODUTO_VOCABULO (PALAVRA)\n"
            "    SELECT DISTINCT P FROM regexp_split_to_table(NEW.NMBUSCA, ' ') P WHERE P <> ''\n"
            "    ON CONFLICT DO NOTHING;\n"
            "  RETURN NEW;\n"
            "END $$")
            .arg(folded),
        QStringLiteral("CREATE TRIGGER TR_PRODUTO_NMBUSCA BEFORE INSERT OR UPDATE OF NMPRODUTO, CDARVPROD ON PRODUTO "
                       "FOR EACH ROW EXECUTE FUNCTION PRODUTO_NMBUSCA()")};
}

QStringList firebirdSearch()
{
    return {wordTable(),
            wordVocabulary(),
            QStringLiteral("EXECUTE BLOCK AS\n"
                           "  DECLARE NM VARCHAR(50);\n"
                           "  DECLARE CD VARCHAR(20);\n"
                           "%1"
                           "BEGIN\n"
                           "  FOR SELECT NMBUSCA, CDARVPROD FROM PRODUTO WHERE NMBUSCA IS NOT NULL INTO :NM, :CD DO\n"
                           "  BEGIN\n"
                           "%2"
                           "  END\n"
                           "END")
                .arg(firebirdWordDeclarations(), firebirdWordLoop(QStringLiteral(":NM"), QStringLiteral(":CD"), false)),
            QStringLiteral("INSERT INTO PRODUTO_VOCABULO (PALAVRA) SELECT DISTINCT PALAVRA FROM PRODUTO_PALAVRA"),
            wordIndex(),
            QStringLiteral("CREATE OR ALTER TRIGGER TR_PRODUTO_NMBUSCA FOR PRODUTO ACTIVE\n"
                           "BEFORE INSERT OR UPDATE POSITION 0 AS\n"
                           "%1"
                           "BEGIN\n"
                           "  NEW.NMBUSCA = %2;\n"
                           "  IF (NEW.NMBUSCA IS NOT NULL AND (INSERTING OR NEW.NMBUSCA IS DISTINCT FROM OLD.NMBUSCA\n"
                           "      OR NEW.CDARVPROD IS DISTINCT FROM OLD.CDARVPROD)) THEN\n"
                           "  BEGIN\n"
                           "%3"
                           "  END\n"
                           "END")
                .arg(firebirdWordDeclarations(), foldExpression(QStringLiteral("NEW.NMPRODUTO"), SqlDialect::Firebird),
                     firebirdWordLoop(QStringLiteral("NEW.NMBUSCA"), QStringLiteral("NEW.CDARVPROD"), true))};
}

} // namespace

QStringList createSearch(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::SQLite: return sqliteSearch();
    case SqlDialect::PostgreSQL: return postgresSearch(foldExpression(QStringLiteral("NEW.NMPRODUTO"), dialect));
    case SqlDialect::Firebird: return firebirdSearch();
    }
    return {};
}

namespace {

// The tables the application server reads to answer GetFornecedor.
bool serverReads(const QString &table)
{
    static const QStringList read{QStringLiteral("FORNECEDOR"), QStringLiteral("COTACAO"), QStringLiteral("FILIAL"),
                                  QStringLiteral("PRODUTO"), QStringLiteral("OPERADOR"), QStringLiteral("COMPRADOR")};
    return read.contains(table, Qt::CaseInsensitive);
}

QString grantSelect(const QString &table, SqlDialect dialect, const QString &user)
{
    return dialect == SqlDialect::Firebird ? QStringLiteral("GRANT SELECT ON %1 TO USER %2").arg(table, user)
                                           : QStringLiteral("GRANT SELECT ON %1 TO %2").arg(table, user);
}

} // namespace

QStringList grantReadOnly(const QList<TableDef> &tables, SqlDialect dialect, const QString &reader)
{
    return grantRole(tables, dialect, DbRole::Screen, reader);
}

QStringList grantRole(const QList<TableDef> &tables, SqlDialect dialect, DbRole role, const QString &user)
{
    if (dialect == SqlDialect::SQLite)
        return {}; // a file has no users: the connection itself is opened read-only
    QStringList statements;
    if (dialect == SqlDialect::PostgreSQL)
        statements << QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(user);
    for (const TableDef &t : tables)
        if (role != DbRole::AppServer || serverReads(t.name))
            statements << grantSelect(t.name, dialect, user);
    // The search words serve the screen's product lookup only.
    if (role == DbRole::Screen)
        for (const char *words : {"PRODUTO_PALAVRA", "PRODUTO_VOCABULO"})
            statements << grantSelect(QLatin1String(words), dialect, user);
    // NVLSTR and LISTA_VALORES compute from their arguments alone and touch nothing.
    if (dialect == SqlDialect::PostgreSQL) {
        statements << QStringLiteral("GRANT EXECUTE ON FUNCTION NVLSTR(VARCHAR, VARCHAR) TO %1").arg(user);
        return statements;
    }
    statements << QStringLiteral("GRANT EXECUTE ON FUNCTION NVLSTR TO USER %1").arg(user)
               << QStringLiteral("GRANT EXECUTE ON PROCEDURE LISTA_VALORES TO USER %1").arg(user);
    // Reading the change mark takes USAGE, which also lets it be moved: the server's
    // fixed query needs it, no text a person writes runs with it.
    if (role == DbRole::AppServer)
        statements << QStringLiteral("GRANT USAGE ON SEQUENCE G_VERSAO_DADOS TO USER %1").arg(user);
    return statements;
}

QString firebirdParamType(const ColumnDef &column)
{
    switch (column.type) {
    case ColumnType::Varchar:
    case ColumnType::Char: return QStringLiteral("VARCHAR(%1)").arg(column.size);
    case ColumnType::Integer: return QStringLiteral("INTEGER");
    case ColumnType::Date: return QStringLiteral("DATE");
    case ColumnType::Numeric:
        // Decimal text: the server converts it exactly (a double would be truncated on
        // its way through the client into the scaled integer).
        return QStringLiteral("VARCHAR(%1)").arg(column.size + 2);
    }
    return QString();
}

int maxRowsPerInsert(const TableDef &table, SqlDialect dialect)
{
    const int columns = qMax(1, int(table.columns.size()));
    if (dialect == SqlDialect::Firebird) {
        // One EXECUTE BLOCK takes the rows; its input message must stay under 64 KB.
        int rowBytes = 0;
        for (const ColumnDef &c : table.columns)
            rowBytes += (c.type == ColumnType::Varchar || c.type == ColumnType::Char || c.type == ColumnType::Numeric)
                            ? (c.size + 2) * 4 + 4
                            : 12;
        return qBound(1, 40000 / qMax(1, rowBytes), qMin(64, 900 / columns));
    }
    // Keeps well under the smallest limit of bound values per statement (999 in old SQLite).
    return qMax(1, qMin(64, 900 / columns));
}

QString insert(const TableDef &table, SqlDialect dialect, int rows)
{
    rows = qMax(1, rows);
    const QString columns = table.columnNames().join(QStringLiteral(", "));
    if (dialect == SqlDialect::Firebird) {
        // Firebird has no multi-row VALUES: the rows go as typed inputs of one block.
        QStringList inputs;
        QStringList inserts;
        for (int r = 0; r < rows; ++r) {
            QStringList names;
            for (int c = 0; c < table.columns.size(); ++c) {
                const QString name = QStringLiteral("P%1_%2").arg(r).arg(c);
                inputs << QStringLiteral("%1 %2 = ?").arg(name, firebirdParamType(table.columns.at(c)));
                names << QLatin1Char(':') + name;
            }
            inserts << QStringLiteral("  INSERT INTO %1 (%2) VALUES (%3);")
                           .arg(table.name, columns, names.join(QLatin1Char(',')));
        }
        if (rows == 1 && table.columns.size() > 0) {
            QStringList marks;
            marks.fill(QStringLiteral("?"), table.columns.size());
            return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table.name, columns, marks.join(QLatin1Char(',')));
        }
        return QStringLiteral("EXECUTE BLOCK (%1)\nAS\nBEGIN\n%2\nEND")
            .arg(inputs.join(QStringLiteral(", ")), inserts.join(QLatin1Char('\n')));
    }
    QStringList marks;
    marks.fill(QStringLiteral("?"), table.columns.size());
    const QString tuple = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
    QStringList tuples;
    tuples.fill(tuple, rows);
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3").arg(table.name, columns, tuples.join(QLatin1Char(',')));
}

} // namespace SchemaDdl
