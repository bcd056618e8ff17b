#include "connection.h"

#include "backgroundread.h"

#include "error.h"
#include "odbctext.h"
#include "recordset.h"
#include "sqlitelib.h"

QString DatabaseConnectionString(const QString& path)
{
    return QLatin1String("DRIVER=SQLite3 ODBC Driver;Database=") + path
        + QLatin1String(";LongNames=0;Timeout=1000;NoTXN=0;SyncPragma=NORMAL;StepAPI=0;");
}

namespace ADODB {

// ---------------------------------------------------------------- Connection

struct Connection::Handles {
    odbc::Handle env;
    odbc::Handle dbc;
};

Connection::Connection() = default;

Connection::~Connection() { Close(); }

bool Connection::isOpen() const { return handles_ != nullptr; }

void Connection::Open(const QString& connectionString)
{
    Close();
    SqliteLibrary::Prepare();
    odbc::Handle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    odbc::check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                              reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                SQL_HANDLE_ENV, env.get(), "SQLSetEnvAttr");
    odbc::Handle dbc(SQL_HANDLE_DBC, env.get());
    odbc::check(odbc::text::driverConnect(dbc.get(), connectionString), SQL_HANDLE_DBC, dbc.get(),
                "SQLDriverConnect");
    handles_ = std::make_unique<Handles>(Handles{std::move(env), std::move(dbc)});
    connectionString_ = connectionString;
    // SQLite opens lazily; reading the schema version makes a file that is not
    // a database fail here, where the caller expects a refused connection.
    try {
        odbc::Statement probe = statement();
        probe.execute(QStringLiteral("PRAGMA schema_version;"));
        probe.fetch();
    } catch (...) {
        Close();
        throw;
    }
}

void Connection::Close()
{
    if (!handles_)
        return;
    prepared_.clear(); // the statements' handles before the connection's
    SQLDisconnect(handles_->dbc.get());
    handles_.reset(); // the connection's handle before the environment's
}

void Connection::requireOpen() const
{
    if (!isOpen())
        throw AppError(QStringLiteral("Operation is not allowed when the object is closed."));
}

odbc::Statement Connection::statement() const
{
    requireOpen();
    return odbc::Statement(handles_->dbc.get());
}

namespace {
std::function<void(const QString&)>& executeObserver()
{
    static std::function<void(const QString&)> observer;
    return observer;
}
} // namespace

void setExecuteObserver(std::function<void(const QString&)> observer) { executeObserver() = std::move(observer); }

void Connection::Execute(const QString& sql)
{
    if (executeObserver())
        executeObserver()(sql);
    // (The reads beside it would keep a write waiting for their locks: they are interrupted, and start again.)
    BackgroundRead::interruptAll();
    odbc::Statement st = statement();
    st.execute(sql);
}

std::shared_ptr<RecordSet> Connection::OpenSchema(int schema)
{
    requireOpen();
    if (schema != adSchemaTables)
        throw AppError(QStringLiteral("Schema %1 is not supported.").arg(schema));
    auto rs = std::make_shared<RecordSet>();
    odbc::Statement st = statement();
    st.tables();
    rs->openRowset(st);
    return rs;
}

void Connection::runPrepared(const QString& sql, const std::vector<odbc::Param>& params,
                             const std::function<void(odbc::Statement&)>& use)
{
    requireOpen();
    auto found = prepared_.find(sql);
    if (found == prepared_.end()) {
        if (prepared_.size() >= 64)
            prepared_.clear();
        auto st = std::make_unique<odbc::Statement>(handles_->dbc.get());
        st->prepare(sql);
        found = prepared_.emplace(sql, std::move(st)).first;
    }
    odbc::Statement& st = *found->second;
    try {
        st.run(params);
        if (use)
            use(st);
    } catch (...) {
        st.close();
        throw;
    }
    st.close();
}

qint64 Connection::queryNumber(const QString& sql, const std::vector<odbc::Param>& params) const
{
    odbc::Statement st = statement();
    st.execute(sql, params);
    std::string buffer;
    if (st.fetch() && st.getData(0, buffer))
        return std::strtoll(buffer.c_str(), nullptr, 10);
    return 0;
}

void Connection::inTransaction(const std::function<void()>& work, bool oneStatement)
{
    requireOpen();
    if (transactionDepth_ > 0 && oneStatement) {
        work();
        return;
    }
    if (transactionDepth_ > 0) {
        const auto run = [this](const char* sql) { runPrepared(QLatin1String(sql), {}); };
        run("SAVEPOINT vestrel_step;");
        ++transactionDepth_;
        try {
            work();
        } catch (...) {
            --transactionDepth_;
            run("ROLLBACK TO vestrel_step;");
            run("RELEASE vestrel_step;");
            throw;
        }
        --transactionDepth_;
        run("RELEASE vestrel_step;");
        return;
    }
    BackgroundRead::interruptAll(); // (as for Execute)
    SQLHDBC dbc = handles_->dbc.get();
    odbc::check(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                                  reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
                SQL_HANDLE_DBC, dbc, "SQLSetConnectAttr");
    auto autocommitOn = [dbc] {
        SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    };
    transactionDepth_ = 1;
    try {
        work();
        odbc::check(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_HANDLE_DBC, dbc, "SQLEndTran");
    } catch (...) {
        transactionDepth_ = 0;
        SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
        autocommitOn();
        throw;
    }
    transactionDepth_ = 0;
    autocommitOn();
}

} // namespace ADODB
