// What the data layer learns of a table before it writes to it: how a row is
// found again, which column is the rowid, and what a view lets through.
#include "data/tableshape.h"
#include "common/connection.h"
#include "testsupport.h"

#include <QTest>

class TableShapeTest : public QObject {
    Q_OBJECT
    TestEnvironment env;
    QString path;

    ADODB::TableShape shape(const QString& table)
    {
        ADODB::Connection connection;
        connection.Open(DatabaseConnectionString(path));
        return ADODB::DescribeTable(connection, table);
    }

private slots:
    void initTestCase()
    {
        path = env.makeDatabase(
            "shapes.db",
            "CREATE TABLE Plain(a TEXT, b);"
            "CREATE TABLE keyed(id INTEGER PRIMARY KEY, v TEXT);"
            "CREATE TABLE notalias(id INT PRIMARY KEY, v TEXT);"
            "CREATE TABLE pair(k1 INTEGER, k2 TEXT, v, PRIMARY KEY(k2, k1)) WITHOUT ROWID;"
            "CREATE TABLE shadowed(rowid TEXT, _rowid_ TEXT, oid TEXT, v TEXT);"
            "CREATE TABLE shadowedkey(rowid INTEGER, _rowid_, oid, code TEXT PRIMARY KEY);"
            "CREATE TABLE partly(rowid TEXT, v TEXT);"
            "CREATE VIEW seen AS SELECT a FROM Plain;"
            "CREATE VIEW edited AS SELECT id, v FROM keyed;"
            "CREATE TRIGGER edited_u INSTEAD OF UPDATE ON edited BEGIN SELECT 1; END;"
            "CREATE TRIGGER edited_d INSTEAD  OF\nDELETE ON edited BEGIN SELECT 1; END;");
    }

    void tables()
    {
        const ADODB::TableShape plain = shape("plain"); // names match as SQLite matches them
        QCOMPARE(plain.name, QStringLiteral("Plain"));
        QCOMPARE(plain.key, ADODB::RowKey::RowId);
        QCOMPARE(plain.rowidAlias, QStringLiteral("rowid"));
        QCOMPARE(plain.rowidColumn, -1);
        QCOMPARE(plain.declaredTypes, (QStringList{"TEXT", ""}));
        QVERIFY(plain.canUpdate && plain.canInsert && plain.canDelete);

        QCOMPARE(shape("keyed").rowidColumn, 0);
        QCOMPARE(shape("notalias").rowidColumn, -1); // INT PRIMARY KEY is not the rowid

        const ADODB::TableShape pair = shape("pair");
        QCOMPARE(pair.key, ADODB::RowKey::PrimaryKey);
        QCOMPARE(pair.keyColumns, (std::vector<int>{1, 0})); // in the key's order
        QVERIFY(pair.rowidAlias.isEmpty());

        QCOMPARE(shape("shadowed").key, ADODB::RowKey::AllValues);
        const ADODB::TableShape shadowedKey = shape("shadowedkey");
        QCOMPARE(shadowedKey.key, ADODB::RowKey::PrimaryKey);
        QCOMPARE(shadowedKey.keyColumns, (std::vector<int>{3}));
        QCOMPARE(shape("partly").rowidAlias, QStringLiteral("_rowid_")); // the first name not taken

        QVERIFY(shape("missing").name.isEmpty());
        QCOMPARE(shape("missing").key, ADODB::RowKey::ReadOnly);
    }

    void views()
    {
        const ADODB::TableShape seen = shape("seen");
        QVERIFY(seen.isView);
        QCOMPARE(seen.key, ADODB::RowKey::ReadOnly);
        QVERIFY(!seen.canUpdate && !seen.canInsert && !seen.canDelete);
        QCOMPARE(seen.columns, (QStringList{"a"}));

        const ADODB::TableShape edited = shape("edited");
        QCOMPARE(edited.key, ADODB::RowKey::AllValues);
        QVERIFY(edited.canUpdate);
        QVERIFY(edited.canDelete);
        QVERIFY(!edited.canInsert);
    }
};

QTEST_MAIN(TableShapeTest)
#include "tst_tableshape.moc"
